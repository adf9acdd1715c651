#include "platform/linux/SystemDrives.h"

#include "platform/image/ImageVolume.h"

namespace qv::linux_platform {
namespace {

// Placeholder until the sysfs walk lands: no kernel disks are offered.
class NoSystemDrives : public CandidateProvider {
public:
    std::vector<DriveCandidate> candidates() override { return {}; }
};

}  // namespace

std::unique_ptr<CandidateProvider> MakeSystemDriveProvider()
{
    return std::make_unique<NoSystemDrives>();
}

DriveCandidate SystemDriveCandidate(const std::string&)
{
    return {};
}

OpenResult OpenBlockDevice(const std::string& node)
{
    int error = 0;
    auto volume = ImageVolume::open(node, &error);
    return {volume, volume ? 0 : error};
}

}  // namespace qv::linux_platform
