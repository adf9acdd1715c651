#include "platform/linux/SystemDrives.h"

#include "platform/linux/DeferredVolume.h"
#include "platform/linux/LinuxVolume.h"
#include "platform/linux/UsbSysfsTree.h"
#include "platform/linux/Sysfs.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace qv::linux_platform {
namespace {

bool allOf(const std::string& text, size_t from, int (*test)(int))
{
    if (from >= text.size())
        return false;
    return std::all_of(text.begin() + long(from), text.end(),
                       [test](char c) { return test(static_cast<unsigned char>(c)) != 0; });
}

bool isScsiDisk(const std::string& name)
{
    return name.rfind("sd", 0) == 0 && allOf(name, 2, [](int c) { return int(c >= 'a' && c <= 'z'); });
}

bool isCard(const std::string& name)
{
    return name.rfind("mmcblk", 0) == 0 && allOf(name, 6, isdigit);
}

// The system disk is never a candidate; every open refuses it again, also
// when it is named explicitly or became one (swapon, mount) after the list
// was made.
bool holdsTheSystem(const std::string& sysfsRoot, const std::string& disk, const SystemDevices& system)
{
    const std::vector<std::string> family = BlockFamily(sysfsRoot, disk);
    std::vector<std::string> numbers;
    for (const std::string& member : family)
        numbers.push_back(DeviceNumber(sysfsRoot, member));
    return IsSystemDisk(family, numbers, system);
}

// Opens a volume directly where the user may; where the system refuses, a
// disk with a kernel record is listed from it and opened through the disk
// service once a run needs it.
OpenResult openTarget(VolumeTarget target)
{
    target.usb = UsbIdentityOfBlock(target.sysfsRoot, target.diskName);
    int error = 0;
    if (auto volume = LinuxVolume::open(target, &error))
        return {volume, 0};
    if ((error == EACCES || error == EPERM) && !target.diskName.empty())
        if (auto service = CurrentDiskService())
            return {std::make_shared<DeferredVolume>(target, service), 0};
    return {nullptr, error};
}

class SystemDriveProvider : public CandidateProvider {
public:
    SystemDriveProvider(std::string sysfsRoot, std::string procRoot)
        : sysfsRoot_(std::move(sysfsRoot)), procRoot_(std::move(procRoot))
    {
    }

    std::vector<DriveCandidate> candidates() override
    {
        const SystemDevices system = ReadSystemDevices(procRoot_);
        std::vector<std::string> names;
        for (const std::string& name : BlockDisks(sysfsRoot_))
            if (IsCandidateDiskName(name))
                names.push_back(name);
        std::sort(names.begin(), names.end(), DiskNameBefore);

        skipped_.clear();
        std::vector<DriveCandidate> list;
        for (const std::string& name : names) {
            switch (ClassifyDisk(sysfsRoot_, name, system)) {
            case DiskStatus::Candidate: {
                const std::string root = sysfsRoot_;
                list.push_back({name, [name, root] { return OpenSystemDisk(name, root); }});
                break;
            }
            case DiskStatus::SystemDisk:
                skipped_.push_back({name, "system disk"});
                break;
            case DiskStatus::NoMedium:
                skipped_.push_back({name, "no medium"});
                break;
            case DiskStatus::NotACandidate:
                break;
            }
        }
        return list;
    }

    std::vector<SkippedCandidate> skipped() const override { return skipped_; }

private:
    std::string sysfsRoot_;
    std::string procRoot_;
    std::vector<SkippedCandidate> skipped_;
};

}  // namespace

bool IsCandidateDiskName(const std::string& name)
{
    return isScsiDisk(name) || isCard(name);
}

bool DiskNameBefore(const std::string& a, const std::string& b)
{
    const bool cardA = isCard(a);
    const bool cardB = isCard(b);
    if (cardA != cardB)
        return cardB;
    // sdz < sdaa and mmcblk9 < mmcblk10: shorter names first, then by letters.
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}

DiskStatus ClassifyDisk(const std::string& sysfsRoot, const std::string& name, const SystemDevices& system)
{
    if (!IsCandidateDiskName(name) || !ReadAttribute(sysfsRoot + "/block/" + name + "/size"))
        return DiskStatus::NotACandidate;
    if (holdsTheSystem(sysfsRoot, name, system))
        return DiskStatus::SystemDisk;
    if (BlockSectors(sysfsRoot, name) == 0)
        return DiskStatus::NoMedium;
    return DiskStatus::Candidate;
}

std::unique_ptr<CandidateProvider> MakeSystemDriveProvider(const std::string& sysfsRoot,
                                                           const std::string& procRoot)
{
    return std::make_unique<SystemDriveProvider>(sysfsRoot, procRoot);
}

DriveCandidate SystemDriveCandidate(const std::string& kernelName)
{
    if (ClassifyDisk("/sys", kernelName, ReadSystemDevices()) != DiskStatus::Candidate)
        return {};
    return {kernelName, [kernelName] { return OpenSystemDisk(kernelName); }};
}

bool ProbeMedium(const std::string& kernelName)
{
    if (!IsCandidateDiskName(kernelName))
        return false;
    const std::string node = "/dev/" + kernelName;
    int fd = ::open(node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return BlockSectors("/sys", kernelName) > 0;
    uint64_t bytes = 0;
    const bool present = ioctl(fd, BLKGETSIZE64, &bytes) == 0 && bytes > 0;
    ::close(fd);
    return present;
}

OpenResult OpenSystemDisk(const std::string& kernelName, const std::string& sysfsRoot)
{
    if (holdsTheSystem(sysfsRoot, kernelName, ReadSystemDevices()))
        return {nullptr, EBUSY};
    VolumeTarget target;
    target.diskNode = "/dev/" + kernelName;
    target.diskName = kernelName;
    target.sysfsRoot = sysfsRoot;
    target.volumeNode = target.diskNode;
    target.volumeName = kernelName;
    if (auto first = FirstPartition(sysfsRoot, kernelName)) {
        target.volumeNode = "/dev/" + first->name;
        target.volumeName = first->name;
    }
    return openTarget(target);
}

OpenResult OpenBlockDevice(const std::string& node)
{
    struct stat st;
    if (stat(node.c_str(), &st) != 0)
        return {nullptr, errno};
    if (!S_ISBLK(st.st_mode))
        return {nullptr, ENOTBLK};
    const std::string number = std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev));
    const std::string name = BlockNameOfDevice("/sys", number);

    VolumeTarget target;
    target.volumeNode = node;
    target.diskNode = node;
    if (!name.empty()) {
        const std::string disk = DiskOfBlock("/sys", name);
        if (holdsTheSystem("/sys", disk, ReadSystemDevices()))
            return {nullptr, EBUSY};
        target.diskName = disk;
        target.volumeName = name;
        if (disk != name) {
            target.diskNode = "/dev/" + disk;
        } else if (auto first = FirstPartition("/sys", disk)) {
            target.volumeNode = "/dev/" + first->name;
            target.volumeName = first->name;
        }
    }
    return openTarget(target);
}

}  // namespace qv::linux_platform
