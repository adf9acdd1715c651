#pragma once

#include <string>
#include <vector>

namespace qv::linux_platform {

enum class FolderPlace {
    Elsewhere,      // safe to write into
    OnScannedDrive, // on the drive being scanned (any partition of its disk)
    Unknown,        // the folder (or its nearest existing parent) cannot be examined
};

// Where an output folder lies relative to the drive being scanned. For a
// block device, a folder on any partition of its disk is on the drive; for
// an image file the answer is Elsewhere (see OverwritesImage). *error names
// the folder and the drive, or the failed examination.
FolderPlace PlaceOfOutputFolder(const std::string& volumePath, const std::string& folder, std::string* error);

// For an image file: whether saving one of names into folder would replace
// the image itself.
bool OverwritesImage(const std::string& volumePath, const std::string& folder, const std::vector<std::string>& names,
                     std::string* error);

}  // namespace qv::linux_platform
