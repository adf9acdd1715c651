#include "tools/cli/CliSession.h"
#include "tools/cli/Command.h"

#include "core/info/InfoPresenter.h"
#include "core/text/StringTable.h"
#include "platform/linux/LinuxInfoSystem.h"

#include <nlohmann/json.hpp>

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
            out["hubCharacteristics"] = n.hubCharacteristics ? nlohmann::json(*n.hubCharacteristics) : nlohmann::json();
        }
        char version[8];
        std::snprintf(version, sizeof version, "%X.%02X", (n.usbVersion >> 8) & 0xFF, n.usbVersion & 0xFF);
        out["usbVersion"] = version;
        out["vendorId"] = hex4(n.vendorId);
        out["productId"] = hex4(n.productId);
        out["deviceRelease"] = hex4(n.deviceRelease);
        out["manufacturer"] = n.manufacturer;
        out["product"] = n.product;
        out["serialNumber"] = n.serialNumber;
        out["speedMbps"] = n.speedMbps;
        out["driver"] = n.driver;
        out["maxPowerMa"] = n.maxPowerMa >= 0 ? nlohmann::json(n.maxPowerMa) : nlohmann::json();
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

int runUsb(const std::vector<std::string>& argsIn)
{
    UseEnglishTexts(EnglishLocale());
    std::vector<std::string> args;
    bool json = false, verbose = false;
    for (const std::string& arg : argsIn) {
        if (arg == "--json")
            json = true;
        else if (arg == "--verbose" || arg == "-v")
            verbose = true;
        else
            args.push_back(arg);
    }
    CliSession session;
    linux_platform::LinuxInfoSystem system([&session](int index) { return session.source().slotName(index); });
    InfoPresenter presenter(session.context(), system, nullptr);
    std::string selected;
    if (!args.empty()) {
        std::string error;
        if (!OpenCommandDrive(args, session, &error)) {
            std::fprintf(stderr, "quorvane-cli usb: %s\n", error.c_str());
            return kExitFailed;
        }
        if (!args.empty()) {
            std::fprintf(stderr, "quorvane-cli usb: unknown argument '%s'\n", args.front().c_str());
            return kExitUsage;
        }
    }
    UsbLog log;
    if (verbose && !json)
        log = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
    const auto tree = presenter.BuildUsbTree(log);
    if (session.context().device)
        selected = system.usbDeviceOfDrive(session.context().device->driveIndex);

    if (json) {
        nlohmann::json out = {{"controllers", nlohmann::json::array()},
                              {"selectedDevice", selected.empty() ? nlohmann::json() : nlohmann::json(selected)}};
        for (const UsbTreeItem& item : *tree)
            out["controllers"].push_back(itemJson(item, selected));
        std::printf("%s\n", out.dump(2).c_str());
        return kExitOk;
    }
    if (tree->empty())
        std::printf("no USB host controllers found under /sys/bus/usb/devices\n");
    for (const UsbTreeItem& item : *tree)
        printItem(item, 0, verbose, selected);
    return kExitOk;
}

}  // namespace

extern const Command kUsbCommand = {
    "usb",
    "the USB tree: host controllers, hubs and devices by port",
    "usage: quorvane-cli usb [DRIVE] [--verbose] [--json]\n"
    "\n"
    "Prints the USB host controllers with their root hubs, hubs and devices,\n"
    "indented by depth, each with its port and system id (1-1.2).\n"
    "  DRIVE          mark the device this drive (sdb, /dev/sdb) sits on with <==\n"
    "  --verbose, -v  the property rows of each node (USB version, strings,\n"
    "                 ids, speed, driver, power; ports and over-current\n"
    "                 protection of hubs), and the walk's diagnostic lines\n"
    "                 and descriptor dumps on the error output\n"
    "  --json         the tree as one JSON object\n",
    runUsb,
};

}  // namespace qv::cli
