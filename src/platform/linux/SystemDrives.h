#pragma once

#include "core/device/SlotDriveSource.h"

#include <memory>
#include <string>

namespace qv::linux_platform {

// The kernel's whole disks that may be drives (sd*, mmcblk*, ...), sorted
// sda, sdb, ..., mmcblk0; the system disk (mounted root, /boot, /usr or
// swap) is never a candidate and is reported as skipped.
std::unique_ptr<CandidateProvider> MakeSystemDriveProvider();

// The candidate of one whole disk by kernel name ("sdb"), for an arrival.
DriveCandidate SystemDriveCandidate(const std::string& kernelName);

// Opens the volume of a block device given by node ("/dev/sdb", "/dev/loop0"):
// its first partition when it has one, else the whole disk.
OpenResult OpenBlockDevice(const std::string& node);

}  // namespace qv::linux_platform
