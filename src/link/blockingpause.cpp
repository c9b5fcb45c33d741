#include "blockingpause.h"

#include <thread>

void blockingPause(std::chrono::milliseconds duration)
{
    const auto deadline = std::chrono::steady_clock::now() + duration;
    // sleep_until may return early on a signal; keep going until the deadline.
    while (std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_until(deadline);
}
