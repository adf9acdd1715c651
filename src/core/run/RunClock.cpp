#include "core/run/RunClock.h"

#include "core/device/SectorIO.h"

#include <chrono>
#include <ctime>

namespace qv {

RunClock RunClock::System()
{
    RunClock clock;
    clock.elapsedSeconds = [] { return double(TimerElapsedSeconds()); };
    clock.restart = [] { TimerStart(); };
    clock.tickMs = [] {
        using namespace std::chrono;
        return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    };
    clock.timeOfDay = [] {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        char text[32];
        std::strftime(text, sizeof text, "[%H:%M:%S]", &local);
        return std::string(text);
    };
    return clock;
}

}  // namespace qv
