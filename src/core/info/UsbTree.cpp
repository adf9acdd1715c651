#include "core/info/UsbTree.h"

#include <cstdio>

namespace qv {
namespace {

bool findIn(const std::vector<UsbTreeItem>& items, const std::string& id, std::vector<int>& path)
{
    for (size_t i = 0; i < items.size(); ++i) {
        path.push_back(int(i));
        if (items[i].id == id || findIn(items[i].children, id, path))
            return true;
        path.pop_back();
    }
    return false;
}

std::string hex2(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%2.2x", value & 0xFF);
    return text;
}

std::string hex4(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%4.4x", value & 0xFFFF);
    return text;
}

unsigned word(const uint8_t* d, int at)
{
    return d[at] | (d[at + 1] << 8);
}

void dumpOne(const uint8_t* d, std::vector<std::string>& lines)
{
    const unsigned length = d[0];
    const unsigned type = d[1];
    auto row = [&](const std::string& text) { lines.push_back(text); };
    if (type == 2 && length >= 9) {
        row(" bLength " + hex2(d[0]));
        row(" bDescriptorType " + hex2(d[1]) + " = Configuration Header");
        row(" wTotalLength " + hex4(word(d, 2)));
        row(" bNumInterfaces " + hex2(d[4]));
        row(" bConfigValue " + hex2(d[5]));
        row(" iConfiguration " + hex2(d[6]));
        row(" bmAttributes " + hex2(d[7]));
        row(" bMaxPower " + hex2(d[8]) + " = " + std::to_string(2 * d[8]) + " mA");
    } else if (type == 4 && length >= 9) {
        row(" bLength " + hex2(d[0]));
        row(" bDescriptorType " + hex2(d[1]) + " = Interface Descriptor");
        row(" bInterfaceNum " + hex2(d[2]));
        row(" bAlternateSetting " + hex2(d[3]));
        row(" bNumEndpoints " + hex2(d[4]));
        row(" bSubClass " + hex2(d[6]));
        row(" bProtocol " + hex2(d[7]));
        row(" iInterface " + hex2(d[8]));
    } else if (type == 5 && length >= 7) {
        row(" bLength " + hex2(d[0]));
        row(" bDescriptorType " + hex2(d[1]) + " = Endpoint Descriptor");
        row(" bEndpointAddress " + hex2(d[2]));
        row(" bmAttributes " + hex2(d[3]));
        row(" wMaxPacketSize " + hex4(word(d, 4)));
        row(" bInterval " + hex2(d[6]));
    } else if (type == 0x21 && length >= 9) {
        row(" bLength " + hex2(d[0]));
        row(" bDescriptorType " + hex2(d[1]) + " = HID Descriptor");
        row(" wHIDversion " + hex4(word(d, 2)));
        row(" bCountryCode " + hex2(d[4]));
        row(" bHIDDescriptorCount " + hex2(d[5]));
        row(" bHIDReportType " + hex2(d[6]));
        row(" wHIDReportLength " + hex4(word(d, 7)));
    } else {
        row("Unknown descriptor with Length = " + hex2(length) + "H and Type = " + hex2(type) + "H");
        std::string bytes;
        for (unsigned i = 0; i < length; ++i) {
            if (i > 0 && i % 16 == 0) {
                row(bytes);
                bytes.clear();
            }
            bytes += hex2(d[i]) + " ";
        }
        row(bytes);
    }
}

}  // namespace

std::vector<int> FindUsbItem(const std::vector<UsbTreeItem>& tree, const std::string& id)
{
    std::vector<int> path;
    if (id.empty() || !findIn(tree, id, path))
        path.clear();
    return path;
}

std::vector<std::string> DumpConfigurationDescriptors(const std::vector<uint8_t>& raw)
{
    std::vector<std::string> lines{"Configuration Descriptor"};
    // The device descriptor comes first; its own length says where the
    // configurations begin.
    size_t at = raw.empty() ? 0 : raw[0];
    while (at + 2 <= raw.size()) {
        const size_t length = raw[at];
        if (length < 2 || at + length > raw.size())
            break;
        dumpOne(raw.data() + at, lines);
        at += length;
    }
    return lines;
}

}  // namespace qv
