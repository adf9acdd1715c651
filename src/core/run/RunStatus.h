#pragma once

#include "core/run/ProgressSink.h"
#include "core/run/RunFailure.h"
#include "core/run/RunState.h"

#include <atomic>
#include <cstdint>

namespace qv {

class FoundFileList;

// A main-window control that a run disables (the device selector, Format,
// refresh).
class Control {
public:
    virtual ~Control() = default;
    virtual void setEnabled(bool enabled) = 0;
};

// The state of the one operation that may run at a time.
struct RunStatus {
    int32_t deviceCount = 0;
    Control* deviceSelector = nullptr;
    Control* formatButton = nullptr;
    Control* refreshButton = nullptr;
    FoundFileList* listControl = nullptr;
    ProgressSink* progressWindow = nullptr;
    std::atomic<int32_t> runState{RUN_DONE};
    std::atomic<uint8_t> redrawPending{0};
    uint8_t busy = 0;
    // Why the run ended with RUN_FAILED; cleared when a run begins.
    RunFailure failure;
    // How far the run's work on the medium got, for the words a stop ends
    // with: kept up by the worker after each block (sectors done, and the
    // worker's own phase), cleared when a run begins.
    std::atomic<uint64_t> doneSectors{0};
    std::atomic<int32_t> donePhase{0};

    void setDone(int32_t phase, uint64_t sectors)
    {
        donePhase.store(phase, std::memory_order_relaxed);
        doneSectors.store(sectors, std::memory_order_relaxed);
    }

    int32_t state() const { return runState.load(std::memory_order_relaxed); }
    void setState(int32_t value) { runState.store(value, std::memory_order_relaxed); }
    // The worker's move to a new state, unless the page has asked for a stop
    // meanwhile: then the stop stays (a plain store would lose it) and the
    // answer is false.
    bool enterUnlessStopped(int32_t value)
    {
        int32_t current = state();
        do {
            if (current == RUN_STOP)
                return false;
        } while (!runState.compare_exchange_weak(current, value, std::memory_order_relaxed));
        return true;
    }
};

void DisableMainControls(RunStatus& status);
void EnableMainControls(RunStatus& status);

}  // namespace qv
