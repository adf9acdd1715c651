#include "platform/linux/Formatter.h"

#include "platform/linux/SystemDisk.h"

#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

extern char** environ;

namespace qv::linux_platform {
namespace {

std::string findTool(const std::string& program)
{
    std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    path += ":/usr/sbin:/sbin:/usr/local/sbin";
    std::stringstream folders(path);
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (folder.empty())
            continue;
        const std::string candidate = folder + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

// The util-linux tool may unmount what the user mounted where the system
// call needs privileges.
bool runUmountTool(const std::string& point)
{
    const std::string tool = findTool("umount");
    if (tool.empty())
        return false;
    char* argv[] = {const_cast<char*>(tool.c_str()), const_cast<char*>(point.c_str()), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, tool.c_str(), nullptr, nullptr, argv, environ) != 0)
        return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

std::vector<FileSystemTool> AvailableFileSystems()
{
    struct Known {
        const char* name;
        std::vector<const char*> programs;
    };
    const Known known[] = {
        {"FAT32", {"mkfs.fat", "mkfs.vfat"}},
        {"exFAT", {"mkfs.exfat"}},
        {"NTFS", {"mkfs.ntfs", "mkntfs"}},
        {"ext4", {"mkfs.ext4"}},
    };
    std::vector<FileSystemTool> found;
    for (const Known& fs : known) {
        for (const char* program : fs.programs) {
            const std::string tool = findTool(program);
            if (!tool.empty()) {
                found.push_back({fs.name, tool});
                break;
            }
        }
    }
    return found;
}

std::string FitLabel(const std::string& fileSystem, const std::string& label)
{
    if (fileSystem == "FAT32") {
        // FAT labels are short upper-case OEM text; other characters go.
        std::string out;
        for (char c : label) {
            const auto u = uint8_t(c);
            if (u < 0x80 && u >= 0x20 && !std::strchr("\"*+,./:;<=>?[\\]|", c))
                out += char(std::toupper(u));
            if (out.size() == 11)
                break;
        }
        return out;
    }
    size_t limit = 16;
    if (fileSystem == "exFAT")
        limit = 15;
    else if (fileSystem == "NTFS")
        limit = 32;
    // Cut at a character boundary of the UTF-8 text.
    size_t bytes = 0, characters = 0;
    while (bytes < label.size()) {
        size_t next = bytes + 1;
        while (next < label.size() && (uint8_t(label[next]) & 0xC0) == 0x80)
            ++next;
        const bool byBytes = fileSystem == "ext4";
        if ((byBytes ? next : characters + 1) > limit)
            break;
        bytes = next;
        ++characters;
    }
    return label.substr(0, bytes);
}

std::vector<std::string> FormatArguments(const std::string& fileSystem, const std::string& label, bool quick,
                                         const std::string& target)
{
    const std::string fitted = FitLabel(fileSystem, label);
    std::vector<std::string> args;
    if (fileSystem == "FAT32") {
        // -I: the volume may be a whole disk without a partition table.
        args = {"-F", "32", "-I"};
        if (!fitted.empty())
            args.insert(args.end(), {"-n", fitted});
        if (!quick)
            args.push_back("-c");
    } else if (fileSystem == "exFAT") {
        if (!fitted.empty())
            args.insert(args.end(), {"-L", fitted});
        if (!quick)
            args.push_back("--full-format");
    } else if (fileSystem == "NTFS") {
        // -F: an image file or a whole disk is formatted all the same.
        args = {"-F"};
        if (quick)
            args.push_back("-Q");
        if (!fitted.empty())
            args.insert(args.end(), {"-L", fitted});
    } else if (fileSystem == "ext4") {
        args = {"-F"};
        if (!fitted.empty())
            args.insert(args.end(), {"-L", fitted});
        if (!quick)
            args.push_back("-c");
    } else {
        return {};
    }
    args.push_back(target);
    return args;
}

bool UnmountVolume(const std::string& node, std::string* error)
{
    struct stat info {};
    if (stat(node.c_str(), &info) != 0) {
        if (error)
            *error = node + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISBLK(info.st_mode))
        return true;
    const std::string number = std::to_string(major(info.st_rdev)) + ":" + std::to_string(minor(info.st_rdev));
    for (const std::string& point : MountPointsOf(ReadMountInfo(), number)) {
        if (umount2(point.c_str(), 0) == 0)
            continue;
        const int code = errno;
        if (runUmountTool(point))
            continue;
        if (error)
            *error = point + ": " + std::strerror(code);
        return false;
    }
    return true;
}

}  // namespace qv::linux_platform
