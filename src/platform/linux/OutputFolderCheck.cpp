#include "platform/linux/OutputFolderCheck.h"

#include "platform/image/PathPlacement.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace qv::linux_platform {

FolderPlace PlaceOfOutputFolder(const std::string& volumePath, const std::string& out, std::string* error)
{
    struct stat volume;
    if (stat(volumePath.c_str(), &volume) != 0 || !S_ISBLK(volume.st_mode))
        return FolderPlace::Elsewhere;
    int cause = 0;
    switch (PlaceOfPath(volumePath, out, &cause)) {
    case PathPlace::Elsewhere:
        return FolderPlace::Elsewhere;
    case PathPlace::Unknown:
        *error = "cannot examine the output folder " + out + ": " + std::strerror(cause);
        return FolderPlace::Unknown;
    case PathPlace::OnDrive:
        break;
    }
    *error = "the output folder " + out + " lies on the drive being scanned (" + volumePath + ")";
    return FolderPlace::OnScannedDrive;
}

bool OverwritesImage(const std::string& volumePath, const std::string& out, const std::vector<std::string>& names,
                     std::string* error)
{
    struct stat volume;
    if (stat(volumePath.c_str(), &volume) != 0 || !S_ISREG(volume.st_mode))
        return false;
    for (const std::string& name : names) {
        struct stat st;
        const std::string path = out + "/" + name;
        if (stat(path.c_str(), &st) == 0 && st.st_dev == volume.st_dev && st.st_ino == volume.st_ino) {
            *error = "saving " + path + " would overwrite the image being scanned";
            return true;
        }
    }
    return false;
}

}  // namespace qv::linux_platform
