#include "cnumbers.h"

#include <clocale>

void keepCNumbers()
{
    std::setlocale(LC_NUMERIC, "C");
}
