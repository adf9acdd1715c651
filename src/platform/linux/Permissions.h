#pragma once

namespace qv::linux_platform {

// True when the process may open block devices for writing (root or
// member of the disk group).
bool MayOpenBlockDevices();

}  // namespace qv::linux_platform
