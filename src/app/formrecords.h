#pragma once

#include "main.h"

// State of the records kept by the main window.
struct TForm1::RecordsState {
};
