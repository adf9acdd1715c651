#pragma once

#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace qv::linux_platform {

// One line of /proc/self/mountinfo.
struct MountEntry {
    std::string number;      // "major:minor" of the mounted device
    std::string mountPoint;  // unescaped
    std::string type;
    std::string source;      // unescaped; "/dev/sdb1", or a name for virtual file systems
};

// The lines of a mountinfo text; malformed lines are skipped.
std::vector<MountEntry> ParseMountInfo(std::string_view mountinfo);
// <procRoot>/self/mountinfo; empty when it cannot be read.
std::vector<MountEntry> ReadMountInfo(const std::string& procRoot = "/proc");
// Where the device "major:minor" is mounted, in mount order.
std::vector<std::string> MountPointsOf(const std::vector<MountEntry>& mounts, const std::string& number);

// The block devices the running system stands on: those mounted at /,
// /boot, /boot/efi or /usr, and those swapped to.
struct SystemDevices {
    std::set<std::string> numbers;  // "major:minor"
    std::set<std::string> names;    // kernel names ("vda1", "dm-0")
};

// Gives "major:minor" for a path in /proc/swaps: the device itself for a
// swap partition, the file system holding it for a swap file; empty when
// unknown.
using SwapDeviceResolver = std::function<std::string(const std::string& path, bool isFile)>;

// From the texts of /proc/self/mountinfo and /proc/swaps.
SystemDevices ParseSystemDevices(std::string_view mountinfo, std::string_view swaps,
                                 const SwapDeviceResolver& resolve);

// The same, read from <procRoot>/self/mountinfo and <procRoot>/swaps.
SystemDevices ReadSystemDevices(const std::string& procRoot = "/proc");

// True when any member of a disk's family (its name, partitions and
// holders; see BlockFamily) holds what the system stands on.
bool IsSystemDisk(const std::vector<std::string>& familyNames,
                  const std::vector<std::string>& familyNumbers, const SystemDevices& system);

}  // namespace qv::linux_platform
