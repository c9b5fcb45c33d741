#pragma once

#include "linkreceiver.h"
#include "main.h"

// State of the bench link kept by the main window: the framer with its buffer, the
// packet counters and the interval clock.
struct TForm1::LinkState {
    LinkReceiver receiver;
};
