#include "platform/linux/UsbSysfsTree.h"
#include "linux/TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace qv::linux_platform {
namespace {

using Attributes = std::map<std::string, std::string>;

// A USB device folder at devices/<path> (its last component is the id),
// reached through bus/usb/devices/<id> as on a running system.
void usbDevice(const test::TempTree& sys, const std::string& path, Attributes attributes)
{
    const std::string id = path.substr(path.find_last_of('/') + 1);
    Attributes defaults = {{"idVendor", "46f4"}, {"idProduct", "0001"}, {"bcdDevice", "0000"},
                           {"version", " 2.00"}, {"speed", "480"},      {"maxchild", "0"},
                           {"busnum", "1"},      {"devnum", "1"},       {"bMaxPower", "100mA"}};
    for (const auto& [name, value] : defaults)
        attributes.emplace(name, value);
    for (const auto& [name, value] : attributes)
        if (value != "-")
            sys.write("devices/" + path + "/" + name, value + "\n");
    sys.link("../../../devices/" + path, "bus/usb/devices/" + id);
}

// An interface of a device with a bound driver.
void usbInterface(const test::TempTree& sys, const std::string& devicePath, const std::string& name,
                  const std::string& driver)
{
    sys.link("../../../../../bus/usb/drivers/" + driver, "devices/" + devicePath + "/" + name + "/driver");
}

// Configuration of a mass-storage device behind its 18-byte device descriptor.
std::string massStorageDescriptors()
{
    std::string raw(18, '\0');
    raw[0] = 18;
    raw[1] = 1;
    const char config[] = {9, 2, 32, 0, 1, 1, 0, char(0x80), 50, 9, 4, 0, 0, 2, 8, 6, 0x50, 0};
    return raw + std::string(config, sizeof config);
}

struct Walked {
    std::vector<UsbTreeItem> tree;
    std::vector<std::string> log;
    bool logged(const std::string& text) const
    {
        return std::any_of(log.begin(), log.end(), [&](const std::string& l) { return l.find(text) != l.npos; });
    }
};

// The hardware database knows the EHCI controller and one device; the
// system gives the hub descriptor of bus 1 device 1 and device 2 only.
Walked walk(const test::TempTree& sys)
{
    UsbWalkServices services;
    services.describe = [](const std::string& path) -> std::string {
        if (path.size() >= 12 && path.substr(path.size() - 12) == "0000:00:1d.7")
            return "Intel Corporation 82801DB USB2 EHCI Controller";
        if (path.size() >= 6 && path.substr(path.size() - 6) == "/1-1.4")
            return "Generic Card Reader";
        return {};
    };
    services.hubCharacteristics = [](int bus, int device, uint32_t) -> std::optional<uint32_t> {
        if (bus == 1 && device == 1)
            return 0x0009;
        if (bus == 1 && device == 2)
            return 0x00E9;
        return std::nullopt;
    };
    Walked result;
    result.tree = WalkUsbTree(sys.root(), services, [&](const std::string& line) { result.log.push_back(line); });
    return result;
}

const std::string kEhci = "pci0000:00/0000:00:1d.7/usb1";
const std::string kXhci = "pci0000:00/0000:00:14.0";

// EHCI root hub (2 ports): port 1 a 4-port hub holding a stick on port 1,
// a 2-port hub on port 3 with a stick on its port 2, a reader without
// strings on port 4; port 2 of the root hub empty. An xHCI controller with
// its two root hubs and nothing plugged in.
void makeTree(const test::TempTree& sys)
{
    usbDevice(sys, kEhci, {{"maxchild", "2"}, {"product", "EHCI Host Controller"}, {"manufacturer", "Linux"}});
    usbDevice(sys, kEhci + "/1-1", {{"maxchild", "4"}, {"devnum", "2"}, {"product", "USB2.0 Hub"}, {"bcdDevice", "0111"}});
    usbDevice(sys, kEhci + "/1-1/1-1.1",
              {{"devnum", "3"}, {"idVendor", "0781"}, {"idProduct", "5567"}, {"bcdDevice", "0126"},
               {"manufacturer", "SanDisk"}, {"product", "Cruzer Blade"}, {"serial", "4C530001"},
               {"descriptors", massStorageDescriptors()}, {"bMaxPower", "200mA"}});
    usbInterface(sys, kEhci + "/1-1/1-1.1", "1-1.1:1.0", "usb-storage");
    usbDevice(sys, kEhci + "/1-1/1-1.3", {{"maxchild", "2"}, {"devnum", "4"}, {"version", " 1.10"}, {"speed", "12"}});
    usbDevice(sys, kEhci + "/1-1/1-1.3/1-1.3.2",
              {{"devnum", "5"}, {"product", "Inner Stick"}, {"speed", "12"}, {"version", " 1.10"}});
    usbDevice(sys, kEhci + "/1-1/1-1.4", {{"devnum", "6"}, {"idVendor", "05e3"}, {"idProduct", "0723"}});
    usbDevice(sys, kXhci + "/usb2", {{"maxchild", "4"}, {"busnum", "2"}, {"product", "xHCI Host Controller"}});
    usbDevice(sys, kXhci + "/usb3", {{"maxchild", "4"}, {"busnum", "3"}, {"version", " 3.00"}, {"speed", "5000"},
                                     {"product", "xHCI Host Controller"}});
    sys.folder("devices/" + kEhci + "/1-0:1.0");  // the root hub's interface is no device
    sys.link("../../../devices/" + kEhci + "/1-0:1.0", "bus/usb/devices/1-0:1.0");
}

TEST(UsbSysfsTree, HubsInHubsWithPortsIdsAndStrings)
{
    test::TempTree sys;
    makeTree(sys);
    const Walked result = walk(sys);
    const auto& tree = result.tree;

    ASSERT_EQ(tree.size(), 2u);
    EXPECT_EQ(tree[0].description, "Intel Corporation 82801DB USB2 EHCI Controller");
    EXPECT_FALSE(tree[0].node);
    ASSERT_EQ(tree[0].children.size(), 1u);
    const UsbTreeItem& root = tree[0].children[0];
    ASSERT_TRUE(root.node);
    EXPECT_EQ(root.node->type, USB_ROOT_HUB);
    EXPECT_EQ(root.node->portCount, 2);
    EXPECT_EQ(root.node->hubCharacteristics, 0x0009u);
    ASSERT_EQ(root.children.size(), 1u);  // port 2 is empty

    const UsbTreeItem& hub = root.children[0];
    EXPECT_EQ(hub.id, "1-1");
    EXPECT_EQ(hub.port, 1);
    EXPECT_EQ(hub.node->type, USB_EXTERNAL_HUB);
    EXPECT_EQ(hub.node->portCount, 4);
    EXPECT_EQ(hub.node->hubCharacteristics, 0x00E9u);
    EXPECT_EQ(hub.node->deviceRelease, 0x0111);
    EXPECT_EQ(hub.description, "USB2.0 Hub");
    ASSERT_EQ(hub.children.size(), 3u);

    const UsbTreeItem& stick = hub.children[0];
    EXPECT_EQ(stick.id, "1-1.1");
    EXPECT_EQ(stick.port, 1);
    EXPECT_EQ(stick.node->type, USB_DEVICE);
    EXPECT_EQ(stick.node->vendorId, 0x0781);
    EXPECT_EQ(stick.node->productId, 0x5567);
    EXPECT_EQ(stick.node->deviceRelease, 0x0126);
    EXPECT_EQ(stick.node->usbVersion, 0x0200u);
    EXPECT_EQ(stick.node->manufacturer, "SanDisk");
    EXPECT_EQ(stick.node->serialNumber, "4C530001");
    EXPECT_EQ(stick.node->speedMbps, "480");
    EXPECT_EQ(stick.node->driver, "usb-storage");
    EXPECT_EQ(stick.node->maxPowerMa, 200);
    EXPECT_EQ(stick.description, "Cruzer Blade");

    const UsbTreeItem& inner = hub.children[1];
    EXPECT_EQ(inner.port, 3);
    EXPECT_EQ(inner.node->type, USB_EXTERNAL_HUB);
    EXPECT_EQ(inner.node->usbVersion, 0x0110u);
    EXPECT_FALSE(inner.node->hubCharacteristics);  // refused: unknown, walk goes on
    ASSERT_EQ(inner.children.size(), 1u);
    EXPECT_EQ(inner.children[0].id, "1-1.3.2");
    EXPECT_EQ(inner.children[0].port, 2);
    EXPECT_EQ(inner.children[0].description, "Inner Stick");

    // Without strings: the hardware database names it, else its ids.
    const UsbTreeItem& reader = hub.children[2];
    EXPECT_EQ(reader.port, 4);
    EXPECT_EQ(reader.node->manufacturer, "");
    EXPECT_EQ(reader.node->product, "");
    EXPECT_EQ(reader.node->serialNumber, "");
    EXPECT_EQ(reader.description, "Generic Card Reader");
    EXPECT_EQ(inner.description, "46f4:0001");

    // Both root hubs of the xHCI controller under one item, in bus order;
    // without a database entry the root hub's product names it.
    EXPECT_EQ(tree[1].description, "xHCI Host Controller");
    ASSERT_EQ(tree[1].children.size(), 2u);
    EXPECT_EQ(tree[1].children[0].id, "usb2");
    EXPECT_EQ(tree[1].children[1].id, "usb3");
    EXPECT_TRUE(tree[1].children[1].children.empty());

    EXPECT_TRUE(result.logged(" bMaxPower 32 = 100 mA"));
    EXPECT_TRUE(result.logged("+1 Port[3] = Hub connected"));
    EXPECT_TRUE(result.logged("+1+1 Port[1] = no device"));
}

TEST(UsbSysfsTree, UnreadableDescriptorsKeepTheDeviceListed)
{
    test::TempTree sys;
    usbDevice(sys, kEhci, {{"maxchild", "2"}});
    usbDevice(sys, kEhci + "/1-1", {{"product", "Broken"}, {"devnum", "2"}});
    sys.folder("devices/" + kEhci + "/1-1/descriptors");  // reads fail
    usbDevice(sys, kEhci + "/1-2", {{"product", "Bare"}, {"devnum", "3"}, {"idVendor", "-"}, {"version", "-"}});
    const Walked result = walk(sys);
    ASSERT_EQ(result.tree.size(), 1u);
    const auto& ports = result.tree[0].children[0].children;
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0].description, "Broken");
    EXPECT_EQ(ports[0].node->vendorId, 0x46F4);
    EXPECT_EQ(ports[1].description, "Bare");
    EXPECT_EQ(ports[1].node->vendorId, 0);  // missing attributes read as unknown
    EXPECT_EQ(ports[1].node->usbVersion, 0u);
    EXPECT_TRUE(result.logged("Descriptors of 1-1 not returned"));
    EXPECT_TRUE(result.logged("Descriptors of 1-2 not returned"));
}

TEST(UsbSysfsTree, BlockDeviceFindsItsOwnUsbDevice)
{
    test::TempTree sys;
    makeTree(sys);
    const std::string disk = "devices/" + kEhci + "/1-1/1-1.3/1-1.3.2/1-1.3.2:1.0/host3/target3:0:0/3:0:0:0/block/sdb";
    sys.write(disk + "/dev", "8:16\n");
    sys.write(disk + "/sdb1/partition", "1\n");
    sys.link("../../" + disk, "class/block/sdb");
    sys.link("../../" + disk + "/sdb1", "class/block/sdb1");
    sys.write("devices/pci0000:00/0000:00:1f.2/ata1/host0/target0:0:0/0:0:0:0/block/sda/dev", "8:0\n");
    sys.link("../../devices/pci0000:00/0000:00:1f.2/ata1/host0/target0:0:0/0:0:0:0/block/sda", "class/block/sda");

    EXPECT_EQ(UsbDeviceOfBlock(sys.root(), "sdb"), "1-1.3.2");
    EXPECT_EQ(UsbDeviceOfBlock(sys.root(), "sdb1"), "1-1.3.2");
    EXPECT_EQ(UsbDeviceOfBlock(sys.root(), "sda"), "");
    EXPECT_EQ(UsbDeviceOfBlock(sys.root(), "sdz"), "");
    EXPECT_EQ(FindUsbItem(walk(sys).tree, "1-1.3.2"), (std::vector<int>{0, 0, 0, 1, 0}));

    // What a report says of the drive: that device's ids and speed; nothing
    // for a disk on another bus.
    const UsbIdentity usb = UsbIdentityOfBlock(sys.root(), "sdb");
    EXPECT_EQ(usb.vendorId, 0x46F4);
    EXPECT_EQ(usb.productId, 0x0001);
    EXPECT_EQ(usb.speedMbps, "12");
    EXPECT_FALSE(UsbIdentityOfBlock(sys.root(), "sda").known());
}

}  // namespace
}  // namespace qv::linux_platform
