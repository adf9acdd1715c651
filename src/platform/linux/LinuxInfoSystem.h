#pragma once

#include "core/info/InfoSystem.h"

#include <functional>
#include <string>

namespace qv::linux_platform {

// The information page's view of a Linux system: libblkid and statvfs for
// volumes, sysfs and usbfs for the USB tree, os-release and uname for the
// system line.
class LinuxInfoSystem : public InfoSystem {
public:
    // slotName: the drive slot's name ("sdb", "img1"), as the drive source
    // gives it.
    explicit LinuxInfoSystem(std::function<std::string(int)> slotName, std::string sysfsRoot = "/sys",
                             std::string procRoot = "/proc");

    VolumeFacts describeVolume(int driveIndex, const std::string& openPath) override;
    std::vector<UsbTreeItem> usbTree(const UsbLog& log) override;
    std::string usbDeviceOfDrive(int driveIndex) override;
    std::string describeOs() override;

private:
    std::function<std::string(int)> slotName_;
    std::string sysfs_;
    std::string proc_;
};

}  // namespace qv::linux_platform
