#pragma once

#include "core/device/DriveList.h"
#include "core/device/SlotDriveSource.h"
#include "platform/linux/UdevMonitor.h"

namespace qv::linux_platform {

// Turns the monitor's disk events into AddDrive/RemoveDrive calls with the
// disk's slot: an arriving disk takes the lowest free slot, a leaving one
// frees it. Runs on the thread that dispatches the monitor (the GUI thread).
class SystemDriveEvents : public DriveEvents {
public:
    SystemDriveEvents(SlotDriveSource& source, DriveList& drives) : source_(source), drives_(drives) {}
    void diskArrived(const std::string& kernelName) override;
    void diskRemoved(const std::string& kernelName) override;
    void mediaChanged(const std::string& kernelName) override;

private:
    SlotDriveSource& source_;
    DriveList& drives_;
};

}  // namespace qv::linux_platform
