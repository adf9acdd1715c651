#include "platform/linux/OutputFolderCheck.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace qv::linux_platform {
namespace {

// The whole disk a block device number belongs to, as its sysfs path.
std::string diskOf(dev_t device)
{
    char link[64];
    std::snprintf(link, sizeof link, "/sys/dev/block/%u:%u", major(device), minor(device));
    char resolved[PATH_MAX];
    if (!realpath(link, resolved))
        return {};
    std::string path = resolved;
    struct stat st;
    if (stat((path + "/partition").c_str(), &st) == 0)
        path = path.substr(0, path.rfind('/'));
    return path;
}

// The device number of the file system holding path, or of its nearest
// existing ancestor when it does not exist yet.
bool folderDevice(std::string path, dev_t* device)
{
    for (;;) {
        struct stat st;
        if (stat(path.c_str(), &st) == 0) {
            *device = st.st_dev;
            return true;
        }
        const size_t slash = path.find_last_of('/');
        if (slash == std::string::npos)
            path = ".";
        else if (slash == 0)
            path = "/";
        else
            path.resize(slash);
        if (path == "." && stat(".", &st) != 0)
            return false;
    }
}

}  // namespace

FolderPlace PlaceOfOutputFolder(const std::string& volumePath, const std::string& out, std::string* error)
{
    struct stat volume;
    if (stat(volumePath.c_str(), &volume) != 0 || !S_ISBLK(volume.st_mode))
        return FolderPlace::Elsewhere;
    dev_t folder;
    if (!folderDevice(out, &folder)) {
        *error = "cannot examine the output folder " + out + ": " + std::strerror(errno);
        return FolderPlace::Unknown;
    }
    const std::string disk = diskOf(volume.st_rdev);
    if (folder == volume.st_rdev || (!disk.empty() && diskOf(folder) == disk)) {
        *error = "the output folder " + out + " lies on the drive being scanned (" + volumePath + ")";
        return FolderPlace::OnScannedDrive;
    }
    return FolderPlace::Elsewhere;
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
