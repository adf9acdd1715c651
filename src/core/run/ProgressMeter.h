#pragma once

#include "core/run/RunClock.h"

#include <cstdint>
#include <string>

namespace qv {

// The figures of a page's transfer: position, sector, percentage, speed,
// elapsed and remaining time. The timed figures (speed, elapsed, remaining)
// are recomputed at most once a second, and at the first refresh.
//
// The variants of the pages: the erase divides by sectorCount - 1 (pass
// that as the total); the backup shows no speed at the first refresh
// (speedAtFirstRefresh = false); the restore's worker stores the first
// sector of the chunk before the one just written, so its position lags a
// chunk: feed the meter what the record holds.
class ProgressMeter {
public:
    struct Figures {
        std::string position;   // "%d MB"
        std::string sector;     // "сектор %d": position + 126
        std::string percent;    // "%d %%"
        std::string speed;      // "%.1f MБ/сек"
        std::string elapsed;    // "%d:%02d"
        std::string remaining;  // "%d:%02d", or "-:--" until known
        int bar = 0;
    };

    explicit ProgressMeter(RunClock clock, bool speedAtFirstRefresh = true);

    // The start of a run: the clock's tick now; every figure emptied.
    void start();
    // A refresh at position sectors of total (both in sectors).
    void update(uint64_t position, uint64_t total);
    // The end of a completed run: "100 %", bar 100, remaining "0:00".
    void finish();

    const Figures& figures() const { return figures_; }

private:
    RunClock clock_;
    bool speedAtFirstRefresh_;
    Figures figures_;
    uint64_t startTick_ = 0;
    uint64_t lastElapsed_ = 0;
    uint64_t lastPosition_ = 0;
};

}  // namespace qv
