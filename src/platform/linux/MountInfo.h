#pragma once

#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace qv::linux_platform {

// The kernel writes blanks and backslashes in mountinfo paths as octal
// escapes (\040); this gives the path back.
std::string UnescapeMountField(const std::string& text);

// One mount of a device: the folder of the file system that is mounted
// ("/" for the whole file system, a sub-folder for a bind mount) and where.
struct DeviceMount {
    std::string root;
    std::string point;
};

// The mounts of a device, in the order of the mountinfo text.
std::vector<DeviceMount> ParseMounts(std::string_view mountinfo, dev_t device);

// The same from /proc/self/mountinfo.
std::vector<DeviceMount> MountsOf(dev_t device);

}  // namespace qv::linux_platform
