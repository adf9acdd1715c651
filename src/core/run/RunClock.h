#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace qv {

// The time sources of a page's figures; tests replace them.
struct RunClock {
    std::function<double()> elapsedSeconds;  // since the last restart
    std::function<void()> restart;
    std::function<uint64_t()> tickMs;        // display pacing, durations
    std::function<std::string()> timeOfDay;  // "[%H:%M:%S]"
    static RunClock System();
};

}  // namespace qv
