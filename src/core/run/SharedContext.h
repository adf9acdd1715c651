#pragma once

#include "core/device/DeviceRecord.h"
#include "core/run/RunStatus.h"

namespace qv {

struct Settings;

// The block through which pages and workers reach the caption, the
// settings, the selected drive and the run state.
struct SharedContext {
    char appTitle[256] = {};
    Settings* settings = nullptr;
    DeviceRecord* device = nullptr;
    RunStatus* status = nullptr;
};

}  // namespace qv
