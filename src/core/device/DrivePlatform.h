#pragma once

#include "core/device/SlotDriveSource.h"
#include "core/device/Volume.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qv {

class DriveList;

// Image files attached as drives (img1, img2, ...).
class ImageDrives : public CandidateProvider {
public:
    // Returns the name the image's slot shows.
    virtual std::string attach(const std::string& path) = 0;
    // The candidate of one attached image, for an arrival.
    virtual DriveCandidate candidate(const std::string& name) const = 0;
    // Forgets an attached image; false when no image has that name.
    virtual bool detach(const std::string& name) = 0;
};

// Arrivals and removals of drives, delivered to the drive list while the
// object lives.
class DriveEvents {
public:
    virtual ~DriveEvents() = default;
    // False when no monitor could be had (the refresh button still works).
    virtual bool active() const = 0;
};

// A file system the format dialog offers, with the tool that makes it.
struct FileSystemTool {
    std::string name;  // "FAT32", "exFAT", "NTFS", "ext4"
    std::string tool;  // full path of the program
};

// Formatting a volume with the system's tools.
class VolumeFormatter {
public:
    virtual ~VolumeFormatter() = default;
    // The file systems whose tool is installed.
    virtual std::vector<FileSystemTool> available() = 0;
    // The tool's arguments (without the program) to format target.
    virtual std::vector<std::string> arguments(const std::string& fileSystem, const std::string& label, bool quick,
                                               const std::string& target) = 0;
    // Unmounts every mount of the volume; false with a message when one stays.
    virtual bool unmount(const std::string& node, std::string* error) = 0;

    // Formats a volume through the desktop's disk service instead of running
    // the tool (for a drive the user may not open directly); the service
    // unmounts it first. `done` is called later on the caller's thread.
    // False, with nothing started, where there is no such service.
    using Done = std::function<void(bool ok, const VolumeFailure& failure)>;
    virtual bool formatThroughService(const std::string& node, const std::string& fileSystem,
                                      const std::string& label, bool quick, Done done)
    {
        (void)node, (void)fileSystem, (void)label, (void)quick, (void)done;
        return false;
    }
};

}  // namespace qv
