#pragma once

#include "core/device/DrivePlatform.h"

#include <memory>

class QSocketNotifier;

namespace qv {
class DriveList;
class SlotDriveSource;
}

namespace qv::ui {

// Arrivals and removals of the kernel's disks: the udev monitor read
// through a socket notifier on the GUI thread.
class DriveWatcher : public DriveEvents {
public:
    DriveWatcher(SlotDriveSource& source, DriveList& drives);
    ~DriveWatcher() override;

    // False when no monitor could be had (the refresh button still works).
    bool active() const override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace qv::ui
