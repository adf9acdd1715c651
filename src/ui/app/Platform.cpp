#include "ui/app/Platform.h"

#include "platform/image/ImageCandidates.h"
#include "platform/image/PosixImageFiles.h"
#include "platform/image/PosixOutputFiles.h"
#include "platform/linux/Formatter.h"
#include "platform/linux/LinuxInfoSystem.h"
#include "platform/linux/LinuxBenchFileSystem.h"
#include "platform/linux/SystemDrives.h"
#include "platform/udisks/UDisksService.h"
#include "ui/app/DriveWatcher.h"

#include <map>

namespace qv::ui {
namespace {

// The system's tools, and udisks2 for drives the user may not open.
class DesktopFormatter : public linux_platform::LinuxFormatter {
public:
    bool formatThroughService(const std::string& node, const std::string& fileSystem, const std::string& label,
                              bool quick, Done done) override
    {
        // udisks2 runs the same tools; its vfat lets mkfs choose the FAT
        // size by the medium's size.
        static const std::map<std::string, std::string> types = {
            {"FAT32", "vfat"}, {"exFAT", "exfat"}, {"NTFS", "ntfs"}, {"ext4", "ext4"}};
        const auto type = types.find(fileSystem);
        auto service = std::dynamic_pointer_cast<udisks::UDisksService>(linux_platform::CurrentDiskService());
        if (type == types.end() || !service)
            return false;
        service->format(node, type->second, linux_platform::FitLabel(fileSystem, label), !quick, std::move(done));
        return true;
    }
};

}  // namespace

std::unique_ptr<MainPlatform> MakeMainPlatform(const MainOptions& options)
{
    auto platform = std::make_unique<MainPlatform>();
    if (options.systemDrives) {
        // Sticks the user may not open directly are listed all the same and
        // opened through udisks2, which may ask for a password through the
        // desktop's agent.
        udisks::InstallDiskService(true);
        platform->systemDrives = linux_platform::MakeSystemDriveProvider();
        platform->watchDrives = [](SlotDriveSource& source, DriveList& drives) -> std::unique_ptr<DriveEvents> {
            return std::make_unique<DriveWatcher>(source, drives);
        };
    }
    platform->images = std::make_unique<ImageCandidates>();
    for (const std::string& path : options.images)
        platform->images->attach(path);
    platform->formatter = std::make_unique<DesktopFormatter>();
    platform->imageFiles = std::make_unique<PosixImageFiles>();
    platform->outputFiles = std::make_unique<PosixOutputFiles>();
    platform->infoSystem = options.infoSystem ? options.infoSystem : [](std::function<std::string(int)> slotName) {
        return std::unique_ptr<InfoSystem>(std::make_unique<linux_platform::LinuxInfoSystem>(std::move(slotName)));
    };
    platform->benchFiles = std::make_unique<linux_platform::LinuxBenchFileSystem>();
    platform->languages = options.languages;
    platform->restart = options.restart;
    return platform;
}

}  // namespace qv::ui
