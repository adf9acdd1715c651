#pragma once

#include "platform/linux/DiskService.h"

#include <functional>
#include <memory>

namespace qv::udisks {

// The desktop's disk service udisks2, reached over the system bus: opens
// block nodes (Block.OpenDevice, O_DIRECT, exclusive for writing), unmounts
// (Filesystem.Unmount) and formats (Block.Format). With `interactive` the
// system's policy may ask the user through an authentication agent; without
// it, a question counts as a refusal.
class UDisksService : public linux_platform::DiskService {
public:
    explicit UDisksService(bool interactive);

    Opened openDevice(const std::string& node, bool write) override;
    bool unmount(const std::string& node, VolumeFailure* failure) override;
    std::string name() const override { return "udisks2"; }

    // Starts making a file system on a node: type "vfat", "exfat", "ntfs" or
    // "ext4"; `erase` overwrites the medium with zeros first. `done` runs on
    // the calling thread's event loop with the outcome.
    void format(const std::string& node, const std::string& type, const std::string& label, bool erase,
                std::function<void(bool ok, const VolumeFailure& failure)> done);

private:
    bool interactive_;
};

// Installs the udisks2 route for drives the user may not open directly. The
// command-line tool calls it before anything else (it needs the Qt core
// object that the bus connection runs on, and makes one when none exists).
void InstallDiskService(bool interactive);

// The failure a bus error stands for (errno and the text id that says what
// to do), for the service's error names.
VolumeFailure ClassifyBusError(const std::string& errorName, const std::string& message);

}  // namespace qv::udisks
