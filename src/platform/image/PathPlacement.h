#pragma once

#include <string>

namespace qv {

enum class PathPlace { Elsewhere, OnDrive, Unknown };

// Where a file or folder (existing or still to be created) lies with
// respect to the drive opened as volumePath: on a block device, anywhere on
// any partition of its disk; on an image file, the file itself. Unknown,
// with errno in *error, when the file system of path cannot be examined.
PathPlace PlaceOfPath(const std::string& volumePath, const std::string& path, int* error);

}  // namespace qv
