#include "formlink.h"

void TForm1::setupLink()
{
    Link = std::make_unique<LinkState>();
}
