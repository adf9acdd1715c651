#include "platform/image/PathPlacement.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <linux/loop.h>
#include <set>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <utility>

namespace qv {
namespace {

// Loop devices over files on loop devices, device-mapper over md: deeper
// stacks than this are not followed.
constexpr int kMaxDepth = 8;

using FileId = std::pair<dev_t, ino_t>;

// What a path or an input stands on: whole disks (by their sysfs paths),
// files (by device and inode), and the names of files not made yet.
struct Footing {
    std::set<std::string> disks;
    std::set<FileId> files;
    std::set<std::string> names;

    template <typename T>
    static bool overlap(const std::set<T>& a, const std::set<T>& b)
    {
        for (const T& item : a)
            if (b.count(item))
                return true;
        return false;
    }
    bool meets(const Footing& other) const
    {
        return overlap(disks, other.disks) || overlap(files, other.files) || overlap(names, other.names);
    }
};

std::string firstLine(const std::string& file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// The sysfs folder of a block device number; empty for a device that is
// not a block device (tmpfs, btrfs' anonymous devices, FUSE).
std::string sysfsBlock(dev_t device)
{
    char link[64];
    std::snprintf(link, sizeof link, "/sys/dev/block/%u:%u", major(device), minor(device));
    char resolved[PATH_MAX];
    return realpath(link, resolved) ? std::string(resolved) : std::string();
}

std::string wholeDisk(const std::string& block)
{
    struct stat st;
    if (stat((block + "/partition").c_str(), &st) == 0)
        return block.substr(0, block.rfind('/'));
    return block;
}

bool deviceNumber(const std::string& text, dev_t* device)
{
    unsigned a = 0, b = 0;
    if (std::sscanf(text.c_str(), "%u:%u", &a, &b) != 2)
        return false;
    *device = makedev(a, b);
    return true;
}

// The file behind a loop device: from the device itself where it may be
// opened (device and inode as the kernel holds them, right also for a file
// renamed since), else from the path sysfs shows.
bool loopBacking(const std::string& disk, FileId* id)
{
    const std::string name = disk.substr(disk.rfind('/') + 1);
    if (name.rfind("loop", 0) != 0)
        return false;
    const int fd = ::open(("/dev/" + name).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd >= 0) {
        loop_info64 info = {};
        const bool bound = ioctl(fd, LOOP_GET_STATUS64, &info) == 0;
        ::close(fd);
        if (bound) {
            *id = {dev_t(info.lo_device), ino_t(info.lo_inode)};
            return true;
        }
    }
    std::string path = firstLine(disk + "/loop/backing_file");
    const std::string deleted = " (deleted)";
    if (path.size() > deleted.size() && path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
        return false;
    struct stat st;
    if (path.empty() || stat(path.c_str(), &st) != 0)
        return false;
    *id = {st.st_dev, st.st_ino};
    return true;
}

std::string unescapeMountField(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size()) {
            const std::string octal = text.substr(i + 1, 3);
            if (octal.find_first_not_of("01234567") == std::string::npos) {
                out += char(std::strtol(octal.c_str(), nullptr, 8));
                i += 3;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// The source a file system without a block device of its own was mounted
// from (btrfs shows files on an anonymous device number), from mountinfo.
std::string mountSource(dev_t device)
{
    char wanted[32];
    std::snprintf(wanted, sizeof wanted, "%u:%u", major(device), minor(device));
    std::ifstream in("/proc/self/mountinfo");
    std::string line;
    while (std::getline(in, line)) {
        // id parent major:minor root point options [optional...] - type source super
        std::istringstream fields(line);
        std::string id, parent, numbers;
        fields >> id >> parent >> numbers;
        const size_t dash = line.find(" - ");
        if (numbers != wanted || dash == std::string::npos)
            continue;
        std::istringstream tail(line.substr(dash + 3));
        std::string type, source;
        tail >> type >> source;
        return unescapeMountField(source);
    }
    return {};
}

// Adds what a block device number stands on: its whole disk, the file
// behind a loop device and what that file lies on, the devices under a
// device-mapper or md device.
void descend(dev_t device, Footing* footing, int depth)
{
    if (depth > kMaxDepth)
        return;
    const std::string block = sysfsBlock(device);
    if (block.empty()) {
        const std::string source = mountSource(device);
        struct stat st;
        if (source.empty() || source[0] != '/' || stat(source.c_str(), &st) != 0)
            return;
        if (S_ISBLK(st.st_mode)) {
            descend(st.st_rdev, footing, depth + 1);
        } else if (S_ISREG(st.st_mode)) {
            footing->files.insert({st.st_dev, st.st_ino});
            descend(st.st_dev, footing, depth + 1);
        }
        return;
    }
    const std::string disk = wholeDisk(block);
    if (!footing->disks.insert(disk).second)
        return;
    FileId backing;
    if (loopBacking(disk, &backing) && footing->files.insert(backing).second)
        descend(backing.first, footing, depth + 1);
    for (const std::string& holder : {block, disk}) {
        DIR* slaves = opendir((holder + "/slaves").c_str());
        if (!slaves)
            continue;
        while (const dirent* entry = readdir(slaves)) {
            dev_t under;
            if (entry->d_name[0] != '.' &&
                deviceNumber(firstLine(holder + "/slaves/" + entry->d_name + "/dev"), &under))
                descend(under, footing, depth + 1);
        }
        closedir(slaves);
    }
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

// A name for a file that does not exist yet, the same however the path
// was written: its folder resolved, then its last component.
std::string canonicalName(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    char resolved[PATH_MAX];
    if (realpath(folder.c_str(), resolved))
        return std::string(resolved) + "/" + base;
    return path;
}

Footing inputFooting(const std::string& input)
{
    Footing footing;
    struct stat st;
    if (stat(input.c_str(), &st) != 0) {
        footing.names.insert(canonicalName(input));
    } else if (S_ISREG(st.st_mode)) {
        footing.files.insert({st.st_dev, st.st_ino});
    } else if (S_ISBLK(st.st_mode)) {
        const std::string block = sysfsBlock(st.st_rdev);
        if (!block.empty()) {
            const std::string disk = wholeDisk(block);
            footing.disks.insert(disk);
            FileId backing;
            if (loopBacking(disk, &backing))
                footing.files.insert(backing);
        }
    }
    return footing;
}

}  // namespace

PathPlace PlaceOfPath(const std::string& input, const std::string& path, int* error)
{
    const Footing protectedFooting = inputFooting(input);
    struct stat st;
    bool exists = false;
    if (!nearestStat(path, &st, &exists)) {
        if (error)
            *error = errno;
        return PathPlace::Unknown;
    }
    Footing footing;
    if (!exists)
        footing.names.insert(canonicalName(path));
    else if (S_ISREG(st.st_mode))
        footing.files.insert({st.st_dev, st.st_ino});
    else if (S_ISBLK(st.st_mode))
        descend(st.st_rdev, &footing, 0);
    descend(st.st_dev, &footing, 0);
    return footing.meets(protectedFooting) ? PathPlace::OnDrive : PathPlace::Elsewhere;
}

std::vector<std::string> MountsOver(const std::string& input)
{
    std::vector<std::string> points;
    const Footing protectedFooting = inputFooting(input);
    if (protectedFooting.disks.empty() && protectedFooting.files.empty())
        return points;
    std::ifstream in("/proc/self/mountinfo");
    std::string line;
    while (std::getline(in, line)) {
        // id parent major:minor root point ...
        std::istringstream fields(line);
        std::string id, parent, numbers, root, point;
        fields >> id >> parent >> numbers >> root >> point;
        dev_t device;
        if (!deviceNumber(numbers, &device))
            continue;
        Footing footing;
        descend(device, &footing, 0);
        if (footing.meets(protectedFooting))
            points.push_back(unescapeMountField(point));
    }
    return points;
}

}  // namespace qv
