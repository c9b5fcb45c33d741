#pragma once

#include "main.h"

// State of the records kept by the main window.
struct TForm1::RecordsState {
    // Set while the program itself changes the text of `Name`, which must not load a type.
    bool settingName = false;
};
