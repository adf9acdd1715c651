#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qv {

enum UsbNodeType : int32_t {
    USB_ROOT_HUB = 1,
    USB_EXTERNAL_HUB = 2,
    USB_DEVICE = 3,
};

// What is known of one hub or device of the USB tree.
struct UsbNode {
    int32_t type = USB_DEVICE;
    // Hubs only: the number of downstream ports and wHubCharacteristics,
    // nullopt where the system refused the hub descriptor.
    int32_t portCount = 0;
    std::optional<uint32_t> hubCharacteristics;
    // The device descriptor (hubs other than root hubs and devices).
    uint32_t usbVersion = 0;  // bcdUSB
    std::string manufacturer;  // empty when the descriptor names no string
    std::string product;
    std::string serialNumber;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t deviceRelease = 0;  // bcdDevice
    // What the kernel adds: the negotiated speed in Mbit/s as it writes it
    // ("480", "1.5"), the drivers bound to the interfaces, bMaxPower in mA;
    // empty or -1 when unknown.
    std::string speedMbps;
    std::string driver;
    int maxPowerMa = -1;
};

// One item of the tree: a host controller (no node) or a hub or device
// with the port it hangs on.
struct UsbTreeItem {
    std::optional<UsbNode> node;
    int port = 0;
    // A controller's own description; for hubs and devices, the description
    // of what is connected (shown after the port number).
    std::string description;
    // The system's name for the item ("usb1", "1-1.2"), by which the
    // selected drive's device is found.
    std::string id;
    std::vector<UsbTreeItem> children;
};

// Receives the walk's diagnostic lines and descriptor dumps.
using UsbLog = std::function<void(const std::string& line)>;

// The indices, from the top level down, of the item with the given id;
// empty when no item has it.
std::vector<int> FindUsbItem(const std::vector<UsbTreeItem>& tree, const std::string& id);

// The lines of a dump of the configuration descriptors in a raw
// descriptor block (a device descriptor followed by its configurations);
// stops at a descriptor that is truncated or of length 0.
std::vector<std::string> DumpConfigurationDescriptors(const std::vector<uint8_t>& raw);

}  // namespace qv
