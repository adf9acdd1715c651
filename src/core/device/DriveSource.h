#pragma once

#include "core/device/Volume.h"

#include <string>
#include <vector>

namespace qv {

struct OpenResult {
    DeviceHandle handle;  // null when the open failed or the slot is empty
    int error = 0;        // errno of a failed open; 0 when the slot is empty
};

// A candidate that never got a slot, with the reason (the system disk).
struct SkippedCandidate {
    std::string name;
    std::string reason;
};

// Where the drive list finds the volumes of its 26 slots. Slots 2 to 25 are
// given to candidate disks; the name of a slot stands where a drive letter
// stood ("sdb", "mmcblk0").
class DriveSource {
public:
    virtual ~DriveSource() = default;
    // Before a full enumeration: look at the system again and lay out the
    // slots afresh.
    virtual void rescan() = 0;
    virtual OpenResult open(int driveIndex) = 0;
    virtual std::string slotName(int driveIndex) const = 0;
    virtual std::vector<SkippedCandidate> skipped() const { return {}; }
};

}  // namespace qv
