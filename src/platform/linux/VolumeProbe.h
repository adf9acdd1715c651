#pragma once

#include <cstdint>
#include <string>

namespace qv::linux_platform {

// The file system on a volume node or image file, as libblkid finds it.
struct FileSystemProbe {
    bool found = false;
    std::string name;   // as shown: "FAT32", "exFAT", "NTFS", "ext4"
    std::string label;  // empty when the volume has none
    int error = 0;      // errno when the node could not be read
};

FileSystemProbe ProbeFileSystem(const std::string& path);

// The same from what udevd recorded for a block device ("sdb1"), for a
// node the user may not read.
FileSystemProbe FileSystemFromUdev(const std::string& blockName);

// The name shown for a libblkid TYPE and VERSION: FAT volumes by their
// FAT width, the others by their usual spelling.
std::string FileSystemName(const std::string& type, const std::string& version);

struct SpaceProbe {
    bool mounted = false;
    uint64_t totalBytes = 0;      // f_blocks
    uint64_t freeBytes = 0;       // f_bfree
    uint64_t availableBytes = 0;  // f_bavail
};

// Size and free space of the file system on device "major:minor", from
// statvfs on its first mount point in <procRoot>/self/mountinfo.
SpaceProbe ProbeSpace(const std::string& deviceNumber, const std::string& procRoot = "/proc");

}  // namespace qv::linux_platform
