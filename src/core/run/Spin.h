#pragma once

#include <chrono>
#include <thread>

namespace qv {

// Polls `ready` for a short while, yielding the processor between polls
// (the thread that is to make it true may need this very core). True when
// it became true in time; the caller then need not sleep on a condition.
template <typename Ready>
bool SpinUntil(Ready ready, std::chrono::microseconds limit = std::chrono::microseconds(50))
{
    const auto end = std::chrono::steady_clock::now() + limit;
    do {
        if (ready())
            return true;
        std::this_thread::yield();
    } while (std::chrono::steady_clock::now() < end);
    return ready();
}

}  // namespace qv
