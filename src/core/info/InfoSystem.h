#pragma once

#include "core/info/UsbTree.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace qv {

// What the system says of a drive's volume.
struct VolumeFacts {
    bool identified = false;  // the file system was recognised
    std::string fileSystem;
    std::string label;
    bool mounted = false;  // the space figures are known
    // As statvfs gives them: f_blocks, f_bfree (reserved blocks included)
    // and f_bavail (what an ordinary user may still write), in bytes.
    uint64_t totalBytes = 0;
    uint64_t freeBytes = 0;
    uint64_t availableBytes = 0;
};

// Where the information page gets what is not in the drive's record.
class InfoSystem {
public:
    virtual ~InfoSystem() = default;
    // The volume of a drive slot; openPath is the path of the drive's open
    // volume, empty when it is not open.
    virtual VolumeFacts describeVolume(int driveIndex, const std::string& openPath) = 0;
    // Host controllers with their root hubs, hubs and devices.
    virtual std::vector<UsbTreeItem> usbTree(const UsbLog& log) = 0;
    // The id of the USB device a drive slot sits on; empty when it is not
    // on USB or unknown.
    virtual std::string usbDeviceOfDrive(int driveIndex) = 0;
    // One line naming the operating system.
    virtual std::string describeOs() = 0;
};

// Makes the information page's system for a drive list whose slot names
// the function gives.
using InfoSystemFactory =
    std::function<std::unique_ptr<InfoSystem>(std::function<std::string(int driveIndex)> slotName)>;

}  // namespace qv
