#include "platform/image/ImageCandidates.h"

#include "platform/image/ImageVolume.h"

namespace qv {

std::string ImageCandidates::attach(const std::string& path, std::optional<FaultPlan> faults)
{
    // Names are never reused, so a detached image's slot name stays its own.
    Attached image{"img" + std::to_string(++attachedCount_), path, std::move(faults)};
    images_.push_back(image);
    return image.name;
}

DriveCandidate ImageCandidates::makeCandidate(const Attached& image) const
{
    return {image.name, [path = image.path, faults = image.faults]() -> OpenResult {
                int error = 0;
                auto volume = ImageVolume::open(path, &error);
                if (!volume)
                    return {nullptr, error};
                if (faults)
                    return {std::make_shared<FaultyVolume>(volume, *faults), 0};
                return {volume, 0};
            }};
}

std::vector<DriveCandidate> ImageCandidates::candidates()
{
    std::vector<DriveCandidate> all;
    for (const Attached& image : images_)
        all.push_back(makeCandidate(image));
    return all;
}

DriveCandidate ImageCandidates::candidate(const std::string& name) const
{
    for (const Attached& image : images_)
        if (image.name == name)
            return makeCandidate(image);
    return {};
}

bool ImageCandidates::detach(const std::string& name)
{
    for (auto it = images_.begin(); it != images_.end(); ++it) {
        if (it->name == name) {
            images_.erase(it);
            return true;
        }
    }
    return false;
}

}  // namespace qv
