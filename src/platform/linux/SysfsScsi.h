#pragma once

#include "core/device/Volume.h"
#include "platform/linux/LinuxVolume.h"

#include <cstdint>
#include <optional>
#include <string>

namespace qv::linux_platform {

// TEST UNIT READY, INQUIRY and READ CAPACITY (10) and (16) answered from a disk's
// sysfs entries, for disks without a SCSI path (cards, loop devices) and
// for disks the user may not send SCSI commands to: the identity is what
// the kernel read from the device, the capacity its size in 512-byte
// blocks. Other commands end in CHECK CONDITION.
ScsiResult AnswerFromSysfs(const std::string& sysfsRoot, const std::string& disk, const ScsiRequest& request);

// Length in bytes of the volume when it is a partition named on its own,
// else of the disk's partition number 1; nullopt without a partition.
std::optional<int64_t> FirstPartitionBytes(const VolumeTarget& target);

}  // namespace qv::linux_platform
