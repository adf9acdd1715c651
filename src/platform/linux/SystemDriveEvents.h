#pragma once

#include "core/device/DriveList.h"
#include "core/device/SlotDriveSource.h"
#include "platform/linux/UdevMonitor.h"

#include <functional>
#include <string>

namespace qv::linux_platform {

// Turns the monitor's disk events into AddDrive/RemoveDrive calls with the
// disk's slot: an arriving disk takes the lowest free slot, a leaving one
// frees it. Runs on the thread that dispatches the monitor (the GUI thread).
class SystemDriveEvents : public DriveEvents {
public:
    using CandidateFactory = std::function<DriveCandidate(const std::string& kernelName)>;
    using MediumProbe = std::function<bool(const std::string& kernelName)>;

    // Candidates from the running system (SystemDriveCandidate, ProbeMedium).
    SystemDriveEvents(SlotDriveSource& source, DriveList& drives);
    // Candidates and medium presence from elsewhere (tests).
    SystemDriveEvents(SlotDriveSource& source, DriveList& drives, CandidateFactory candidateFor,
                      MediumProbe hasMedium)
        : source_(source), drives_(drives), candidateFor_(std::move(candidateFor)),
          hasMedium_(std::move(hasMedium))
    {
    }
    void diskArrived(const std::string& kernelName) override;
    void diskRemoved(const std::string& kernelName) override;
    void mediaChanged(const std::string& kernelName) override;

private:
    SlotDriveSource& source_;
    DriveList& drives_;
    CandidateFactory candidateFor_;
    MediumProbe hasMedium_;
};

}  // namespace qv::linux_platform
