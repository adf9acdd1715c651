#include "platform/image/PathPlacement.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace qv {
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

// The status of path, or of its nearest existing ancestor when it does not
// exist yet; *exists tells which.
bool nearestStat(std::string path, struct stat* st, bool* exists)
{
    *exists = true;
    for (;;) {
        if (stat(path.c_str(), st) == 0)
            return true;
        if (errno != ENOENT && errno != ENOTDIR)
            return false;
        *exists = false;
        const size_t slash = path.find_last_of('/');
        if (slash == std::string::npos)
            path = ".";
        else if (slash == 0)
            path = "/";
        else
            path.resize(slash);
        if (path == "." && stat(".", st) != 0)
            return false;
    }
}

}  // namespace

PathPlace PlaceOfPath(const std::string& volumePath, const std::string& path, int* error)
{
    struct stat volume;
    if (stat(volumePath.c_str(), &volume) != 0)
        return PathPlace::Elsewhere;
    struct stat st;
    bool exists = false;
    if (!nearestStat(path, &st, &exists)) {
        if (error)
            *error = errno;
        return PathPlace::Unknown;
    }
    if (S_ISREG(volume.st_mode))
        return exists && st.st_dev == volume.st_dev && st.st_ino == volume.st_ino ? PathPlace::OnDrive
                                                                                   : PathPlace::Elsewhere;
    if (!S_ISBLK(volume.st_mode))
        return PathPlace::Elsewhere;
    // The path is the device node itself, or a node of the same disk.
    if (exists && S_ISBLK(st.st_mode)) {
        const std::string disk = diskOf(volume.st_rdev);
        return st.st_rdev == volume.st_rdev || (!disk.empty() && diskOf(st.st_rdev) == disk) ? PathPlace::OnDrive
                                                                                              : PathPlace::Elsewhere;
    }
    const std::string disk = diskOf(volume.st_rdev);
    if (st.st_dev == volume.st_rdev || (!disk.empty() && diskOf(st.st_dev) == disk))
        return PathPlace::OnDrive;
    return PathPlace::Elsewhere;
}

}  // namespace qv
