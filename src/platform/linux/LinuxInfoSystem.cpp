#include "platform/linux/LinuxInfoSystem.h"

#include "platform/linux/OsRelease.h"
#include "platform/linux/Sysfs.h"
#include "platform/linux/UsbSysfsTree.h"
#include "platform/linux/VolumeProbe.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>

namespace qv::linux_platform {

LinuxInfoSystem::LinuxInfoSystem(std::function<std::string(int)> slotName, std::string sysfsRoot,
                                 std::string procRoot)
    : slotName_(std::move(slotName)), sysfs_(std::move(sysfsRoot)), proc_(std::move(procRoot))
{
}

VolumeFacts LinuxInfoSystem::describeVolume(int driveIndex, const std::string& openPath)
{
    const std::string slot = slotName_ ? slotName_(driveIndex) : std::string();
    std::string node = openPath;
    std::string blockName;
    std::string number;
    if (!slot.empty() && !DeviceNumber(sysfs_, slot).empty()) {
        // A kernel disk: its volume is the first partition, else the disk.
        const auto first = FirstPartition(sysfs_, slot);
        blockName = first ? first->name : slot;
        node = "/dev/" + blockName;
        number = DeviceNumber(sysfs_, blockName);
    } else if (!openPath.empty()) {
        // An image file is mounted only through a loop device, which is
        // another drive; a block node opened by path has its own number.
        struct stat info {};
        if (stat(openPath.c_str(), &info) == 0 && S_ISBLK(info.st_mode))
            number = std::to_string(major(info.st_rdev)) + ":" + std::to_string(minor(info.st_rdev));
    }

    VolumeFacts facts;
    if (!node.empty()) {
        FileSystemProbe probe = ProbeFileSystem(node);
        if (!probe.found && probe.error != 0 && !blockName.empty())
            probe = FileSystemFromUdev(blockName);
        facts.identified = probe.found;
        facts.fileSystem = probe.name;
        facts.label = probe.label;
    }
    const SpaceProbe space = ProbeSpace(number, proc_);
    facts.mounted = space.mounted;
    facts.totalBytes = space.totalBytes;
    facts.freeBytes = space.freeBytes;
    facts.availableBytes = space.availableBytes;
    return facts;
}

std::vector<UsbTreeItem> LinuxInfoSystem::usbTree(const UsbLog& log)
{
    return WalkUsbTree(sysfs_, SystemUsbWalkServices(), log);
}

std::string LinuxInfoSystem::usbDeviceOfDrive(int driveIndex)
{
    const std::string slot = slotName_ ? slotName_(driveIndex) : std::string();
    return slot.empty() ? std::string() : UsbDeviceOfBlock(sysfs_, slot);
}

std::string LinuxInfoSystem::describeOs()
{
    return DescribeLinux();
}

}  // namespace qv::linux_platform
