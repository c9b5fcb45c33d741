#pragma once

#include "main.h"

// State of the bench tests kept by the main window.
struct TForm1::TestsState {
};
