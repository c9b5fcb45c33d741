#include "formtests.h"

void TForm1::setupTests()
{
    Tests = std::make_unique<TestsState>();
}
