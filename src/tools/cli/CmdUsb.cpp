#include "tools/cli/CommandRunner.h"

#include "core/info/InfoPresenter.h"
#include "core/text/StringTable.h"
#include "platform/linux/LinuxInfoSystem.h"

#include <cstdio>

namespace qv::cli {
namespace {

const char* kindOf(const UsbTreeItem& item)
{
    if (!item.node)
        return "controller";
    switch (item.node->type) {
    case USB_ROOT_HUB: return "root hub";
    case USB_EXTERNAL_HUB: return "hub";
    default: return "device";
    }
}

std::string hex4(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value & 0xFFFF);
    return text;
}

nlohmann::json itemJson(const UsbTreeItem& item, const std::string& selected)
{
    nlohmann::json out = {{"id", item.id}, {"kind", kindOf(item)}, {"text", InfoPresenter::ItemLook(item).text}};
    if (item.node) {
        const UsbNode& n = *item.node;
        out["port"] = item.port;
        out["description"] = item.description;
        if (n.type != USB_DEVICE) {
            out["ports"] = n.portCount;
            out["hub_characteristics"] = n.hubCharacteristics ? nlohmann::json(*n.hubCharacteristics) : nlohmann::json();
        }
        char version[8];
        std::snprintf(version, sizeof version, "%X.%02X", (n.usbVersion >> 8) & 0xFF, n.usbVersion & 0xFF);
        out["usb_version"] = version;
        out["vendor_id"] = hex4(n.vendorId);
        out["product_id"] = hex4(n.productId);
        out["device_release"] = hex4(n.deviceRelease);
        out["manufacturer"] = n.manufacturer;
        out["product"] = n.product;
        out["serial_number"] = n.serialNumber;
        out["speed_mbps"] = n.speedMbps;
        out["driver"] = n.driver;
        out["max_power_ma"] = n.maxPowerMa >= 0 ? nlohmann::json(n.maxPowerMa) : nlohmann::json();
        out["properties"] = nlohmann::json::array();
        for (const PropertyRow& row : InfoPresenter::ShowNodeProperties(&n))
            out["properties"].push_back({{"label", row.label}, {"value", row.value}});
    } else {
        out["description"] = item.description;
    }
    if (!selected.empty() && item.id == selected)
        out["selected"] = true;
    out["children"] = nlohmann::json::array();
    for (const UsbTreeItem& child : item.children)
        out["children"].push_back(itemJson(child, selected));
    return out;
}

// Indented as lsusb -t shows a tree: each level four columns deeper, "|__ "
// before everything below a controller.
void printItem(const UsbTreeItem& item, int depth, bool verbose, const std::string& selected)
{
    const std::string indent(size_t(depth) * 4, ' ');
    std::string text = InfoPresenter::ItemLook(item).text;
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    std::printf("%s%s%s  [%s]%s\n", indent.c_str(), depth > 0 ? "|__ " : "", text.c_str(), item.id.c_str(),
                !selected.empty() && item.id == selected ? "  <==" : "");
    if (verbose && item.node)
        for (const PropertyRow& row : InfoPresenter::ShowNodeProperties(&*item.node))
            std::printf("%s        %s%s\n", indent.c_str(), PadToColumns(row.label + ":", 34).c_str(),
                        row.value.c_str());
    for (const UsbTreeItem& child : item.children)
        printItem(child, depth + 1, verbose, selected);
}

int usb(CommandRun& run)
{
    const bool verbose = run.flag("--verbose");
    linux_platform::LinuxInfoSystem system([&run](int index) { return run.session().source().slotName(index); });
    InfoPresenter presenter(run.context(), system, nullptr);
    UsbLog log;
    if (verbose && !run.json())
        log = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
    const std::vector<UsbTreeItem> tree = presenter.BuildUsbTree(log).value_or(std::vector<UsbTreeItem>{});
    const DeviceRecord* record = run.context().device;
    const std::string selected = record ? system.usbDeviceOfDrive(record->driveIndex) : std::string();

    if (!run.json()) {
        if (tree.empty())
            std::printf("no USB host controllers found under /sys/bus/usb/devices\n");
        for (const UsbTreeItem& item : tree)
            printItem(item, 0, verbose, selected);
    }
    nlohmann::json controllers = nlohmann::json::array();
    for (const UsbTreeItem& item : tree)
        controllers.push_back(itemJson(item, selected));
    return run.finish({{"controllers", controllers},
                       {"selected_device", selected.empty() ? nlohmann::json() : nlohmann::json(selected)},
                       {"outcome", "completed"}},
                      kExitOk);
}

const CommandSpec kSpec = {
    "usb",
    "the USB tree: host controllers, hubs and devices by port",
    "Prints the USB host controllers with their root hubs, hubs and devices,\n"
    "indented by depth as lsusb -t does, each with its port and system id\n"
    "(1-1.2). A DRIVE named marks the device it sits on with <==.",
    {
        {"--verbose", nullptr, "the property rows of each node, and the walk's diagnostic\n"
                               "                     lines and descriptor dumps on the error output"},
    },
    false,
    "Exit code 0 when the tree was printed, 2 for bad arguments, 3 when the\n"
    "drive named could not be opened.\n",
    true,
};

int runUsb(const std::vector<std::string>& args)
{
    return RunCommand(kSpec, args, usb);
}

}  // namespace

extern const Command kUsbCommand = {kSpec.name, kSpec.synopsis, HelpText(kSpec), runUsb};

}  // namespace qv::cli
