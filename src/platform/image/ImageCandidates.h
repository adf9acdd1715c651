#pragma once

#include "core/device/DrivePlatform.h"
#include "platform/image/FaultyVolume.h"

#include <optional>
#include <string>
#include <vector>

namespace qv {

// Image files attached as drives, named img1, img2, ... in the order they
// were attached. An image may carry a fault plan (tests, demos).
class ImageCandidates : public ImageDrives {
public:
    // Returns the name the image's slot shows.
    std::string attach(const std::string& path, std::optional<FaultPlan> faults);
    std::string attach(const std::string& path) override { return attach(path, std::nullopt); }
    std::vector<DriveCandidate> candidates() override;

    // The candidate of one attached image, for an arrival.
    DriveCandidate candidate(const std::string& name) const override;

    // Forgets an attached image; false when no image has that name.
    bool detach(const std::string& name) override;

private:
    struct Attached {
        std::string name;
        std::string path;
        std::optional<FaultPlan> faults;
    };
    DriveCandidate makeCandidate(const Attached& image) const;
    std::vector<Attached> images_;
    int attachedCount_ = 0;
};

}  // namespace qv
