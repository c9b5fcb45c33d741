#pragma once

#include "main.h"

// State of the bench link kept by the main window.
struct TForm1::LinkState {
};
