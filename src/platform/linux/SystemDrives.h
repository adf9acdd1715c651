#pragma once

#include "core/device/SlotDriveSource.h"
#include "platform/linux/SystemDisk.h"

#include <memory>
#include <string>
#include <vector>

namespace qv::linux_platform {

// Kernel names that may be sticks or cards: sd* (USB, SCSI, SATA card
// readers) and mmcblkN (built-in card readers; not their boot and RPMB
// areas). Loop, RAM, device-mapper, md, optical, NBD, virtio and NVMe disks
// are never offered.
bool IsCandidateDiskName(const std::string& name);

// The order slots are given out in: sda, sdb, ..., sdz, sdaa, ..., then
// mmcblk0, mmcblk1, ..., mmcblk10.
bool DiskNameBefore(const std::string& a, const std::string& b);

enum class DiskStatus { Candidate, NotACandidate, SystemDisk, NoMedium };

// What the list makes of one whole disk under a sysfs root.
DiskStatus ClassifyDisk(const std::string& sysfsRoot, const std::string& name, const SystemDevices& system);

// The kernel's whole disks that may be drives, sorted as above; the system
// disk (mounted root, /boot, /usr or swap) is never a candidate and is
// reported as skipped ("system disk"), as is a card reader without a medium
// ("no medium").
std::unique_ptr<CandidateProvider> MakeSystemDriveProvider(const std::string& sysfsRoot = "/sys",
                                                           const std::string& procRoot = "/proc");

// The candidate of one whole disk by kernel name ("sdb"), for an arrival;
// a candidate without a name when the disk may not be a drive.
DriveCandidate SystemDriveCandidate(const std::string& kernelName);

// Whether a disk holds a medium now. Opening the node makes the kernel look
// at the medium again (after a media change sysfs still shows the old
// size); where the node cannot be opened, the sysfs size answers.
bool ProbeMedium(const std::string& kernelName);

// Opens the volume of a whole disk by kernel name: its first partition when
// it has one, else the disk. The system disk is refused with EBUSY.
OpenResult OpenSystemDisk(const std::string& kernelName, const std::string& sysfsRoot = "/sys");

// Opens the volume of a block device given by node ("/dev/sdb", "/dev/loop0"):
// its first partition when it has one, else the whole disk; a partition
// node is opened as it is. A node on the system disk is refused with EBUSY
// before anything is opened.
OpenResult OpenBlockDevice(const std::string& node);

}  // namespace qv::linux_platform
