#include "core/device/SlotDriveSource.h"

namespace qv {

void SlotDriveSource::rescan()
{
    slots_ = {};
    int next = 2;
    for (CandidateProvider* provider : providers_)
        for (DriveCandidate& candidate : provider->candidates())
            // A disk named twice (listed by the kernel and named on the
            // command line) gets one slot.
            if (next < int(slots_.size()) && slotOf(candidate.name) < 0)
                slots_[next++] = std::move(candidate);
}

OpenResult SlotDriveSource::open(int driveIndex)
{
    if (driveIndex < 0 || driveIndex >= int(slots_.size()) || !slots_[driveIndex].open)
        return {};
    return slots_[driveIndex].open();
}

std::string SlotDriveSource::slotName(int driveIndex) const
{
    if (driveIndex < 0 || driveIndex >= int(slots_.size()))
        return {};
    return slots_[driveIndex].name;
}

std::vector<SkippedCandidate> SlotDriveSource::skipped() const
{
    std::vector<SkippedCandidate> all;
    for (CandidateProvider* provider : providers_)
        for (SkippedCandidate& s : provider->skipped())
            all.push_back(std::move(s));
    return all;
}

int SlotDriveSource::arrive(DriveCandidate candidate)
{
    if (int known = slotOf(candidate.name); known >= 0) {
        slots_[known] = std::move(candidate);
        return known;
    }
    for (int i = 2; i < int(slots_.size()); ++i) {
        if (slots_[i].name.empty()) {
            slots_[i] = std::move(candidate);
            return i;
        }
    }
    return -1;
}

int SlotDriveSource::slotOf(const std::string& name) const
{
    if (name.empty())
        return -1;
    for (int i = 2; i < int(slots_.size()); ++i)
        if (slots_[i].name == name)
            return i;
    return -1;
}

void SlotDriveSource::depart(const std::string& name)
{
    if (int slot = slotOf(name); slot >= 0)
        slots_[slot] = {};
}

}  // namespace qv
