#include "platform/linux/VolumeProbe.h"

#include "platform/linux/SystemDisk.h"

#include <blkid/blkid.h>
#include <libudev.h>
#include <sys/statvfs.h>

#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace qv::linux_platform {
namespace {

std::string probeValue(blkid_probe probe, const char* name)
{
    const char* value = nullptr;
    size_t length = 0;
    if (blkid_probe_lookup_value(probe, name, &value, &length) != 0 || !value)
        return {};
    // The length counts the terminating NUL.
    return std::string(value, length > 0 ? length - 1 : 0);
}

// udev writes unsafe bytes of a label as \xNN in ID_FS_LABEL_ENC.
std::string decodeUdevText(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' && std::isxdigit(uint8_t(text[i + 2])) &&
            std::isxdigit(uint8_t(text[i + 3]))) {
            out += char(std::stoi(text.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace

std::string FileSystemName(const std::string& type, const std::string& version)
{
    if (type == "vfat")
        return version.empty() ? "FAT" : version;
    if (type == "exfat")
        return "exFAT";
    if (type == "ntfs")
        return "NTFS";
    return type;
}

FileSystemProbe ProbeFileSystem(const std::string& path)
{
    FileSystemProbe result;
    // Opened here rather than by libblkid so that a refusal keeps its errno.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        result.error = errno;
        return result;
    }
    blkid_probe probe = blkid_new_probe();
    if (!probe || blkid_probe_set_device(probe, fd, 0, 0) != 0) {
        result.error = errno ? errno : EIO;
        if (probe)
            blkid_free_probe(probe);
        close(fd);
        return result;
    }
    blkid_probe_enable_superblocks(probe, 1);
    blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_TYPE | BLKID_SUBLKS_LABEL | BLKID_SUBLKS_VERSION);
    if (blkid_do_safeprobe(probe) == 0) {
        const std::string type = probeValue(probe, "TYPE");
        if (!type.empty()) {
            result.found = true;
            result.name = FileSystemName(type, probeValue(probe, "VERSION"));
            result.label = probeValue(probe, "LABEL");
        }
    }
    blkid_free_probe(probe);
    close(fd);
    return result;
}

FileSystemProbe FileSystemFromUdev(const std::string& blockName)
{
    FileSystemProbe result;
    udev* context = udev_new();
    if (!context)
        return result;
    if (udev_device* device = udev_device_new_from_subsystem_sysname(context, "block", blockName.c_str())) {
        const char* type = udev_device_get_property_value(device, "ID_FS_TYPE");
        if (type && *type) {
            const char* version = udev_device_get_property_value(device, "ID_FS_VERSION");
            const char* label = udev_device_get_property_value(device, "ID_FS_LABEL_ENC");
            result.found = true;
            result.name = FileSystemName(type, version ? version : "");
            result.label = label ? decodeUdevText(label) : "";
        }
        udev_device_unref(device);
    }
    udev_unref(context);
    return result;
}

SpaceProbe ProbeSpace(const std::string& deviceNumber, const std::string& procRoot)
{
    SpaceProbe result;
    if (deviceNumber.empty())
        return result;
    for (const std::string& point : MountPointsOf(ReadMountInfo(procRoot), deviceNumber)) {
        struct statvfs info {};
        if (statvfs(point.c_str(), &info) != 0)
            continue;
        result.mounted = true;
        result.totalBytes = uint64_t(info.f_blocks) * info.f_frsize;
        result.freeBytes = uint64_t(info.f_bfree) * info.f_frsize;
        result.availableBytes = uint64_t(info.f_bavail) * info.f_frsize;
        break;
    }
    return result;
}

}  // namespace qv::linux_platform
