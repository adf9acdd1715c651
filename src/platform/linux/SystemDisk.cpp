#include "platform/linux/SystemDisk.h"

#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdlib>

namespace qv::linux_platform {
namespace {

// The kernel writes blanks and backslashes in paths as octal escapes.
std::string unescape(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size()) {
            const std::string digits = text.substr(i + 1, 3);
            if (digits.size() == 3 && digits.find_first_not_of("01234567") == std::string::npos) {
                out += char(std::stoi(digits, nullptr, 8));
                i += 3;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// Kernel name of a device path: /dev/mapper/root resolves to dm-0 where
// the link exists, otherwise the last path component is taken.
std::string kernelName(const std::string& path)
{
    std::string resolved = path;
    if (char* real = realpath(path.c_str(), nullptr)) {
        resolved = real;
        std::free(real);
    }
    return resolved.substr(resolved.find_last_of('/') + 1);
}

bool isSystemMountPoint(const std::string& mountPoint)
{
    return mountPoint == "/" || mountPoint == "/boot" || mountPoint == "/boot/efi" || mountPoint == "/usr";
}

std::string readWhole(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string numberOf(dev_t device)
{
    return std::to_string(major(device)) + ":" + std::to_string(minor(device));
}

}  // namespace

std::vector<MountEntry> ParseMountInfo(std::string_view mountinfo)
{
    std::vector<MountEntry> mounts;
    std::istringstream lines{std::string(mountinfo)};
    for (std::string line; std::getline(lines, line);) {
        // id parent major:minor root mount-point options [optional...] - type source ...
        std::istringstream fields(line);
        std::string id, parent, root;
        MountEntry entry;
        if (!(fields >> id >> parent >> entry.number >> root >> entry.mountPoint))
            continue;
        entry.mountPoint = unescape(entry.mountPoint);
        std::string word;
        while (fields >> word && word != "-") {
        }
        if (fields >> entry.type >> entry.source)
            entry.source = unescape(entry.source);
        mounts.push_back(std::move(entry));
    }
    return mounts;
}

std::vector<MountEntry> ReadMountInfo(const std::string& procRoot)
{
    return ParseMountInfo(readWhole(procRoot + "/self/mountinfo"));
}

std::vector<std::string> MountPointsOf(const std::vector<MountEntry>& mounts, const std::string& number)
{
    std::vector<std::string> points;
    for (const MountEntry& entry : mounts)
        if (entry.number == number)
            points.push_back(entry.mountPoint);
    return points;
}

SystemDevices ParseSystemDevices(std::string_view mountinfo, std::string_view swaps,
                                 const SwapDeviceResolver& resolve)
{
    SystemDevices system;
    for (const MountEntry& mount : ParseMountInfo(mountinfo)) {
        if (!isSystemMountPoint(mount.mountPoint))
            continue;
        system.numbers.insert(mount.number);
        // Sources of file systems without a device (overlay, 9p) name
        // nothing under /dev.
        if (mount.source.rfind("/dev/", 0) == 0)
            system.names.insert(kernelName(mount.source));
    }

    std::istringstream swapLines{std::string(swaps)};
    std::string line;
    std::getline(swapLines, line);  // column titles
    while (std::getline(swapLines, line)) {
        std::istringstream fields(line);
        std::string path, type;
        if (!(fields >> path >> type))
            continue;
        path = unescape(path);
        const bool isFile = type == "file";
        if (!isFile && path.rfind("/dev/", 0) == 0)
            system.names.insert(kernelName(path));
        if (resolve) {
            const std::string number = resolve(path, isFile);
            if (!number.empty())
                system.numbers.insert(number);
        }
    }
    return system;
}

SystemDevices ReadSystemDevices(const std::string& procRoot)
{
    const SwapDeviceResolver resolve = [](const std::string& path, bool isFile) -> std::string {
        struct stat st;
        if (stat(path.c_str(), &st) != 0)
            return {};
        if (isFile)
            return numberOf(st.st_dev);
        return S_ISBLK(st.st_mode) ? numberOf(st.st_rdev) : std::string();
    };
    return ParseSystemDevices(readWhole(procRoot + "/self/mountinfo"), readWhole(procRoot + "/swaps"),
                              resolve);
}

bool IsSystemDisk(const std::vector<std::string>& familyNames,
                  const std::vector<std::string>& familyNumbers, const SystemDevices& system)
{
    for (const std::string& name : familyNames)
        if (system.names.count(name))
            return true;
    for (const std::string& number : familyNumbers)
        if (!number.empty() && system.numbers.count(number))
            return true;
    return false;
}

}  // namespace qv::linux_platform
