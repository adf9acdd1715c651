#pragma once

#include "core/device/DriveSource.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace qv {

struct DriveCandidate {
    std::string name;                  // "sdb", "mmcblk0", "img1"
    std::function<OpenResult()> open;  // opens the candidate's volume
};

// Something that knows drives: the kernel's disks, attached image files.
class CandidateProvider {
public:
    virtual ~CandidateProvider() = default;
    // The candidates in the order their slots are given out.
    virtual std::vector<DriveCandidate> candidates() = 0;
    virtual std::vector<SkippedCandidate> skipped() const { return {}; }
};

// Lays the candidates of its providers out over slots 2 to 25: at a rescan
// in the providers' order, an arrival in the lowest free slot.
class SlotDriveSource : public DriveSource {
public:
    void addProvider(CandidateProvider* provider) { providers_.push_back(provider); }

    void rescan() override;
    OpenResult open(int driveIndex) override;
    std::string slotName(int driveIndex) const override;
    std::vector<SkippedCandidate> skipped() const override;

    // The slot of an arriving candidate: the one it has if it is known,
    // else the lowest free one; -1 when all are taken.
    int arrive(DriveCandidate candidate);
    int slotOf(const std::string& name) const;
    // Frees the slot of a candidate that has left.
    void depart(const std::string& name);

private:
    std::vector<CandidateProvider*> providers_;
    std::array<DriveCandidate, 26> slots_{};
};

}  // namespace qv
