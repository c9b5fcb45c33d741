#include "main.h"

void TForm1::setupDialogs()
{
}
