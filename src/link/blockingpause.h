#pragma once

#include <chrono>

// Blocks the calling thread for at least `duration` by sleeping, not spinning: the
// bench needs the pause between a command byte and its arguments, and the events that
// arrive meanwhile are meant to wait.
void blockingPause(std::chrono::milliseconds duration);
