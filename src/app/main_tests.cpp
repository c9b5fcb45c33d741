#include "main.h"

void TForm1::setupTests()
{
}
