#pragma once

#include "core/device/DrivePlatform.h"

#include <string>
#include <vector>

namespace qv::linux_platform {

using qv::FileSystemTool;

// The file systems whose tool is installed, in the order FAT32, exFAT,
// NTFS, ext4; searched in PATH and the sbin folders.
std::vector<FileSystemTool> AvailableFileSystems();

// The label as the file system can hold it (FAT: 11 characters, upper
// case; exFAT 15; NTFS 32; ext4 16 bytes).
std::string FitLabel(const std::string& fileSystem, const std::string& label);

// The tool's arguments (without the program) to format target.
// A full format checks or clears the surface where the tool can.
std::vector<std::string> FormatArguments(const std::string& fileSystem, const std::string& label, bool quick,
                                         const std::string& target);

// Unmounts every mount of the block device at node (no-op for a regular
// file). False with a message naming the mount point when one stays.
bool UnmountVolume(const std::string& node, std::string* error);

// The functions above as the format dialog's formatter.
class LinuxFormatter : public VolumeFormatter {
public:
    std::vector<FileSystemTool> available() override { return AvailableFileSystems(); }
    std::vector<std::string> arguments(const std::string& fileSystem, const std::string& label, bool quick,
                                       const std::string& target) override
    {
        return FormatArguments(fileSystem, label, quick, target);
    }
    bool unmount(const std::string& node, std::string* error) override { return UnmountVolume(node, error); }
};

}  // namespace qv::linux_platform
