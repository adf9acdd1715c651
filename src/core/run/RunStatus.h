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

    int32_t state() const { return runState.load(std::memory_order_relaxed); }
    void setState(int32_t value) { runState.store(value, std::memory_order_relaxed); }
};

void DisableMainControls(RunStatus& status);
void EnableMainControls(RunStatus& status);

}  // namespace qv
