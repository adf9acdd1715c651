#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Reading the kernel's block-device entries under a sysfs root ("/sys" on a
// running system, a temporary tree in tests).
namespace qv::linux_platform {

// The first line of an attribute file without its line end; nullopt when
// it cannot be read.
std::optional<std::string> ReadAttribute(const std::string& path);

// Names of the entries of a folder, sorted; empty when it cannot be read.
std::vector<std::string> ListFolder(const std::string& path);

// Whole disks the kernel knows: the entries of <root>/block.
std::vector<std::string> BlockDisks(const std::string& root);

// Size of a disk or partition in 512-byte sectors (the sysfs "size"); 0
// when unknown.
uint64_t BlockSectors(const std::string& root, const std::string& name);

struct PartitionEntry {
    std::string name;     // "sdb1", "mmcblk0p1"
    int number = 0;       // the sysfs "partition" value
    uint64_t sectors = 0;
};

// The partitions of a disk (<root>/class/block/<disk>/<part>/partition).
std::vector<PartitionEntry> Partitions(const std::string& root, const std::string& disk);

// Partition number 1 of a disk, nullopt when it has none.
std::optional<PartitionEntry> FirstPartition(const std::string& root, const std::string& disk);

// The disk a partition belongs to ("sdb1" -> "sdb"); the name itself for a
// whole disk.
std::string DiskOfBlock(const std::string& root, const std::string& name);

// "major:minor" of a disk or partition (its "dev" file); empty when unknown.
std::string DeviceNumber(const std::string& root, const std::string& name);

// A disk's own name, its partitions and everything that holds them
// (device-mapper, md), followed transitively.
std::vector<std::string> BlockFamily(const std::string& root, const std::string& disk);

// True when the disk is reached through the SCSI layer (SG_IO works).
bool HasScsiPath(const std::string& root, const std::string& disk);

// Kernel name of a block device number ("8:17" -> "sdb1"), via <root>/dev/block.
std::string BlockNameOfDevice(const std::string& root, const std::string& deviceNumber);

// The INQUIRY identity built for a disk without a SCSI path.
struct TranslatedIdentity {
    std::string vendor;    // up to 8 characters
    std::string product;   // up to 16
    std::string revision;  // up to 4
    bool removable = false;
};
TranslatedIdentity IdentityFromSysfs(const std::string& root, const std::string& disk);

}  // namespace qv::linux_platform
