#pragma once

#include "core/device/Volume.h"
#include "core/info/UsbTree.h"

#include <functional>
#include <optional>
#include <string>

namespace qv::linux_platform {

// What the walk asks of the system besides sysfs; tests replace both.
struct UsbWalkServices {
    // "Vendor Model" of a device folder from udev's hardware database;
    // empty when it has no entry.
    std::function<std::string(const std::string& devicePath)> describe;
    // wHubCharacteristics of a hub by bus and device number (bcdUSB picks
    // the descriptor type); nullopt where the system refuses it.
    std::function<std::optional<uint32_t>(int bus, int device, uint32_t usbVersion)> hubCharacteristics;
};

// The USB tree under <sysfsRoot>/bus/usb/devices: one item per host
// controller (the parent of a root hub), its root hub, and the hubs and
// devices by port. Devices without a readable descriptor block are still
// listed from their attributes; the log gets the walk's lines and each
// device's configuration dump.
std::vector<UsbTreeItem> WalkUsbTree(const std::string& sysfsRoot, const UsbWalkServices& services,
                                     const UsbLog& log);

// The USB device ("1-1.2") a block device ("sdb", "sdb1") sits on: the
// nearest USB device among the folders above it; empty when there is none.
std::string UsbDeviceOfBlock(const std::string& sysfsRoot, const std::string& blockName);

// The ids, serial and speed of that USB device; empty when there is none.
UsbIdentity UsbIdentityOfBlock(const std::string& sysfsRoot, const std::string& blockName);

// The running system's services: libudev's hardware database and usbfs.
UsbWalkServices SystemUsbWalkServices();

}  // namespace qv::linux_platform
