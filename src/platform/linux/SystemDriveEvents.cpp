#include "platform/linux/SystemDriveEvents.h"

#include "platform/linux/SystemDrives.h"

namespace qv::linux_platform {

SystemDriveEvents::SystemDriveEvents(SlotDriveSource& source, DriveList& drives)
    : SystemDriveEvents(source, drives, SystemDriveCandidate, ProbeMedium)
{
}

void SystemDriveEvents::diskArrived(const std::string& kernelName)
{
    // System disks and names that are no drive never get a slot.
    DriveCandidate candidate = candidateFor_(kernelName);
    if (candidate.name.empty())
        return;
    const int slot = source_.arrive(std::move(candidate));
    if (slot >= 0)
        drives_.AddDrive(slot);
}

void SystemDriveEvents::diskRemoved(const std::string& kernelName)
{
    const int slot = source_.slotOf(kernelName);
    if (slot < 0)
        return;
    drives_.RemoveDrive(slot);
    source_.depart(kernelName);
}

void SystemDriveEvents::mediaChanged(const std::string& kernelName)
{
    // The old medium's handle goes in every case; a new one is listed
    // afresh, with its own identity and size.
    diskRemoved(kernelName);
    if (hasMedium_(kernelName))
        diskArrived(kernelName);
}

}  // namespace qv::linux_platform
