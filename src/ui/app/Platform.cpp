#include "ui/app/Platform.h"

#include "platform/image/ImageCandidates.h"
#include "platform/linux/Formatter.h"
#include "platform/linux/LinuxInfoSystem.h"
#include "platform/linux/SystemDrives.h"
#include "ui/app/DriveWatcher.h"

namespace qv::ui {

std::unique_ptr<MainPlatform> MakeMainPlatform(const MainOptions& options)
{
    auto platform = std::make_unique<MainPlatform>();
    if (options.systemDrives) {
        platform->systemDrives = linux_platform::MakeSystemDriveProvider();
        platform->watchDrives = [](SlotDriveSource& source, DriveList& drives) -> std::unique_ptr<DriveEvents> {
            return std::make_unique<DriveWatcher>(source, drives);
        };
    }
    platform->images = std::make_unique<ImageCandidates>();
    for (const std::string& path : options.images)
        platform->images->attach(path);
    platform->formatter = std::make_unique<linux_platform::LinuxFormatter>();
    platform->infoSystem = options.infoSystem ? options.infoSystem : [](std::function<std::string(int)> slotName) {
        return std::unique_ptr<InfoSystem>(std::make_unique<linux_platform::LinuxInfoSystem>(std::move(slotName)));
    };
    platform->languages = options.languages;
    platform->restart = options.restart;
    return platform;
}

}  // namespace qv::ui
