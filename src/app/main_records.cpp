#include "formrecords.h"

#include "controls.h"

void TForm1::setupRecords()
{
    Records = std::make_unique<RecordsState>();
}

void TForm1::FormShow()
{
    PageControl1->setActivePage(Main);
}

void TForm1::FormClose()
{
}
