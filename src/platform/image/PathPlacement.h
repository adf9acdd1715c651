#pragma once

#include <string>
#include <vector>

namespace qv {

enum class PathPlace { Elsewhere, OnDrive, Unknown };

// Where a file or folder (existing or still to be created) lies with
// respect to one input of a run: a block device (any partition of its
// disk; for a loop device also the file behind it) or a file (the image
// drive, the image a restore reads). A path lies on it when it is it, or
// when the file system that holds it sits on it, followed down through
// partitions, loop devices and their backing files, and device-mapper or
// md layers: a folder in a loop-mounted image lies on that image. Unknown,
// with errno in *error, when the path's file system cannot be examined.
PathPlace PlaceOfPath(const std::string& input, const std::string& path, int* error);

// The mount points of the file systems that stand on an input, followed
// down the same way: a partition of the disk, a loop device over the image
// file. Empty when nothing on it is mounted.
std::vector<std::string> MountsOver(const std::string& input);

}  // namespace qv
