#include "platform/linux/UsbSysfsTree.h"

#include "platform/linux/Sysfs.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>

namespace qv::linux_platform {
namespace {

namespace fs = std::filesystem;

std::optional<unsigned long> hexAttribute(const std::string& folder, const std::string& name)
{
    const auto text = ReadAttribute(folder + "/" + name);
    if (!text || text->empty())
        return std::nullopt;
    try {
        size_t used = 0;
        const unsigned long value = std::stoul(*text, &used, 16);
        return used == text->size() ? std::optional(value) : std::nullopt;
    } catch (...) {
        return std::nullopt;
    }
}

int intAttribute(const std::string& folder, const std::string& name, int fallback)
{
    try {
        return std::stoi(ReadAttribute(folder + "/" + name).value_or(""));
    } catch (...) {
        return fallback;
    }
}

// "version" holds bcdUSB as " 2.00", " 1.10", " 3.20".
uint32_t usbVersionOf(const std::string& folder)
{
    const std::string text = ReadAttribute(folder + "/version").value_or("");
    const size_t dot = text.find('.');
    if (dot == std::string::npos)
        return 0;
    try {
        return (std::stoul(text.substr(0, dot), nullptr, 16) & 0xFF) << 8 |
               (std::stoul(text.substr(dot + 1), nullptr, 16) & 0xFF);
    } catch (...) {
        return 0;
    }
}

// The drivers bound to the device's interfaces ("1-1:1.0/driver").
std::string driversOf(const std::string& folder, const std::string& id)
{
    std::string drivers;
    std::set<std::string> seen;
    for (const std::string& entry : ListFolder(folder)) {
        if (entry.rfind(id + ":", 0) != 0)
            continue;
        std::error_code ec;
        const fs::path target = fs::read_symlink(folder + "/" + entry + "/driver", ec);
        if (ec)
            continue;
        const std::string name = target.filename().string();
        if (seen.insert(name).second)
            drivers += (drivers.empty() ? "" : ", ") + name;
    }
    return drivers;
}

// The whole of a binary attribute; 0 or the errno of the failed read.
int readBytes(const std::string& path, std::vector<uint8_t>& bytes)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    uint8_t chunk[4096];
    for (;;) {
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            const int error = got < 0 ? errno : 0;
            close(fd);
            return error;
        }
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
}

struct Walk {
    std::string root;
    const UsbWalkServices& services;
    const UsbLog& log;
    std::map<std::string, std::string> folders;  // id -> folder

    void say(const std::string& line) const
    {
        if (log)
            log(line);
    }

    UsbNode readNode(const std::string& folder, const std::string& id, int32_t type) const
    {
        UsbNode node;
        node.type = type;
        node.usbVersion = usbVersionOf(folder);
        node.vendorId = uint16_t(hexAttribute(folder, "idVendor").value_or(0));
        node.productId = uint16_t(hexAttribute(folder, "idProduct").value_or(0));
        node.deviceRelease = uint16_t(hexAttribute(folder, "bcdDevice").value_or(0));
        node.manufacturer = ReadAttribute(folder + "/manufacturer").value_or("");
        node.product = ReadAttribute(folder + "/product").value_or("");
        node.serialNumber = ReadAttribute(folder + "/serial").value_or("");
        node.speedMbps = ReadAttribute(folder + "/speed").value_or("");
        node.driver = driversOf(folder, id);
        node.maxPowerMa = intAttribute(folder, "bMaxPower", -1);
        const int ports = intAttribute(folder, "maxchild", 0);
        if (type != USB_DEVICE) {
            node.portCount = ports;
            if (services.hubCharacteristics)
                node.hubCharacteristics = services.hubCharacteristics(
                    intAttribute(folder, "busnum", 0), intAttribute(folder, "devnum", 0), node.usbVersion);
            if (!node.hubCharacteristics)
                say(" *** ERROR *** Hub descriptor of " + id + " not returned");
        }
        return node;
    }

    std::string describe(const std::string& folder, const UsbNode& node) const
    {
        if (!node.product.empty())
            return node.product;
        std::string text = services.describe ? services.describe(folder) : "";
        if (text.empty()) {
            char ids[16];
            std::snprintf(ids, sizeof ids, "%04x:%04x", node.vendorId, node.productId);
            text = ids;
        }
        return text;
    }

    void dumpDescriptors(const std::string& folder, const std::string& id) const
    {
        if (!log)
            return;
        std::vector<uint8_t> raw;
        const int error = readBytes(folder + "/descriptors", raw);
        if (error != 0) {
            say(" *** ERROR *** Descriptors of " + id + " not returned: " + std::strerror(error));
            return;
        }
        if (raw.empty()) {
            say(" *** ERROR *** Descriptors of " + id + " not returned");
            return;
        }
        for (const std::string& line : DumpConfigurationDescriptors(raw))
            say(line);
    }

    // Ports 1..N of a hub; a child of the root hub of bus B on port p is
    // "B-p", one of hub "B-x.y" is "B-x.y.p".
    void walkPorts(const std::string& childPrefix, int ports, int depth, UsbTreeItem& parent) const
    {
        for (int port = 1; port <= ports; ++port) {
            const std::string id = childPrefix + std::to_string(port);
            std::string line;
            for (int i = 0; i < depth; ++i)
                line += "+1";
            line += " Port[" + std::to_string(port) + "] = ";
            auto found = folders.find(id);
            if (found == folders.end()) {
                say(line + "no device");
                continue;
            }
            const std::string& folder = found->second;
            const int childPorts = intAttribute(folder, "maxchild", 0);
            UsbTreeItem item;
            item.id = id;
            item.port = port;
            if (childPorts > 0) {
                say(line + "Hub connected");
                item.node = readNode(folder, id, USB_EXTERNAL_HUB);
                item.description = describe(folder, *item.node);
                walkPorts(id + ".", childPorts, depth + 1, item);
            } else {
                say(line + "Device connected");
                item.node = readNode(folder, id, USB_DEVICE);
                item.description = describe(folder, *item.node);
                dumpDescriptors(folder, id);
            }
            parent.children.push_back(std::move(item));
        }
    }
};

bool rootHubBefore(const std::string& a, const std::string& b)
{
    // usb2 before usb10
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

}  // namespace

std::vector<UsbTreeItem> WalkUsbTree(const std::string& sysfsRoot, const UsbWalkServices& services,
                                     const UsbLog& log)
{
    Walk walk{sysfsRoot, services, log, {}};
    const std::string devices = sysfsRoot + "/bus/usb/devices";
    std::vector<std::string> rootHubs;
    for (const std::string& name : ListFolder(devices)) {
        if (name.find(':') != std::string::npos)
            continue;  // interfaces
        walk.folders[name] = devices + "/" + name;
        if (name.rfind("usb", 0) == 0)
            rootHubs.push_back(name);
    }
    std::sort(rootHubs.begin(), rootHubs.end(), rootHubBefore);

    // An xHCI controller has two root hubs (USB 2 and USB 3 buses); both
    // hang under one controller item.
    std::vector<UsbTreeItem> tree;
    for (const std::string& hub : rootHubs) {
        const std::string& folder = walk.folders[hub];
        std::error_code ec;
        const fs::path real = fs::canonical(folder, ec);
        const std::string controllerId = ec ? hub : real.parent_path().filename().string();

        UsbTreeItem rootHub;
        rootHub.id = hub;
        rootHub.node = walk.readNode(folder, hub, USB_ROOT_HUB);
        walk.say("Root hub " + hub + " of " + controllerId);
        walk.walkPorts(hub.substr(3) + "-", rootHub.node->portCount, 0, rootHub);

        auto controller = std::find_if(tree.begin(), tree.end(),
                                       [&](const UsbTreeItem& item) { return item.id == controllerId; });
        if (controller == tree.end()) {
            UsbTreeItem item;
            item.id = controllerId;
            if (!ec && services.describe)
                item.description = services.describe(real.parent_path().string());
            if (item.description.empty())
                item.description = rootHub.node->product.empty() ? hub : rootHub.node->product;
            tree.push_back(std::move(item));
            controller = tree.end() - 1;
        }
        controller->children.push_back(std::move(rootHub));
    }
    return tree;
}

namespace {

// The folder of the nearest USB device above a block device; empty when
// there is none.
fs::path usbFolderOfBlock(const std::string& sysfsRoot, const std::string& blockName)
{
    std::error_code ec;
    fs::path folder = fs::canonical(sysfsRoot + "/class/block/" + blockName, ec);
    if (ec)
        return {};
    for (; folder.has_relative_path(); folder = folder.parent_path()) {
        if (fs::exists(folder / "idVendor", ec) && fs::exists(folder / "busnum", ec))
            return folder;
    }
    return {};
}

}  // namespace

std::string UsbDeviceOfBlock(const std::string& sysfsRoot, const std::string& blockName)
{
    return usbFolderOfBlock(sysfsRoot, blockName).filename().string();
}

UsbIdentity UsbIdentityOfBlock(const std::string& sysfsRoot, const std::string& blockName)
{
    UsbIdentity usb;
    if (blockName.empty())
        return usb;
    const std::string folder = usbFolderOfBlock(sysfsRoot, blockName).string();
    if (folder.empty())
        return usb;
    usb.vendorId = uint16_t(hexAttribute(folder, "idVendor").value_or(0));
    usb.productId = uint16_t(hexAttribute(folder, "idProduct").value_or(0));
    usb.serial = ReadAttribute(folder + "/serial").value_or("");
    usb.speedMbps = ReadAttribute(folder + "/speed").value_or("");
    return usb;
}

}  // namespace qv::linux_platform
