#include "main.h"

#include "controls.h"

void TForm1::setupRecords()
{
}

void TForm1::FormShow()
{
    PageControl1->setActivePage(Main);
}

void TForm1::FormClose()
{
}
