#include "core/info/InfoPresenter.h"

#include "core/text/StringTable.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace qv {
namespace {

std::string format(const char* pattern, ...)
{
    char text[1024];
    va_list args;
    va_start(args, pattern);
    std::vsnprintf(text, sizeof text, pattern, args);
    va_end(args);
    return text;
}

// The record's identity fields are fixed-size and need not end in a NUL.
template <size_t N>
std::string fieldText(const char (&field)[N])
{
    return std::string(field, strnlen(field, N));
}

std::string stringOrUnknown(const std::string& text)
{
    return text.size() > 1 ? text : LoadText(129);
}

std::string mbText(uint64_t mb, int percent)
{
    return format("%llu %s (%d %%)", static_cast<unsigned long long>(mb), LoadText(201).c_str(), percent);
}

void addHubRows(const UsbNode& node, std::vector<PropertyRow>& rows)
{
    rows.push_back({LoadText(126), format("%d", node.portCount)});
    std::string protection = LoadText(129);
    if (node.hubCharacteristics) {
        switch (*node.hubCharacteristics & 0x18) {
        case 0x00: protection = LoadText(141); break;
        case 0x08: protection = LoadText(142); break;
        default: protection = LoadText(143); break;
        }
    }
    rows.push_back({LoadText(139), protection});
}

void addDeviceRows(const UsbNode& node, std::vector<PropertyRow>& rows)
{
    rows.push_back({LoadText(127), format("%X.%02X", (node.usbVersion >> 8) & 0xFF, node.usbVersion & 0xFF)});
    rows.push_back({LoadText(130), stringOrUnknown(node.manufacturer)});
    rows.push_back({LoadText(128), stringOrUnknown(node.product)});
    rows.push_back({LoadText(131), stringOrUnknown(node.serialNumber)});
    rows.push_back({LoadText(136), format("%04X", node.vendorId)});
    rows.push_back({LoadText(137), format("%04X", node.productId)});
    rows.push_back({LoadText(138), format("%04X", node.deviceRelease)});
    if (!node.speedMbps.empty())
        rows.push_back({LoadText(40400), format(LoadText(40403).c_str(), node.speedMbps.c_str())});
    if (!node.driver.empty())
        rows.push_back({LoadText(40401), node.driver});
    if (node.maxPowerMa >= 0)
        rows.push_back({LoadText(40402), format(LoadText(40404).c_str(), node.maxPowerMa)});
}

}  // namespace

SpaceFigures ComputeSpace(uint64_t totalBytes, uint64_t freeBytes)
{
    SpaceFigures figures;
    freeBytes = std::min(freeBytes, totalBytes);
    const uint64_t totalMb = totalBytes >> 20;
    figures.freeMb = freeBytes >> 20;
    figures.usedMb = totalMb - figures.freeMb;
    // Percentages come from whole MiB, truncated; a volume under 1 MiB
    // takes them from its bytes instead, and an empty one shows 0 % each.
    if (totalMb > 0)
        figures.freePercent = int(figures.freeMb * 100 / totalMb);
    else if (totalBytes > 0)
        figures.freePercent = int(freeBytes * 100 / totalBytes);
    figures.usedPercent = totalBytes > 0 ? 100 - figures.freePercent : 0;
    return figures;
}

InfoPresenter::InfoPresenter(SharedContext& context, InfoSystem& system, const ProfileStore* store)
    : context_(context), system_(system), store_(store)
{
}

VolumeTexts InfoPresenter::ClearVolumeInfo()
{
    VolumeTexts texts;
    const std::string noData = LoadText(207);
    texts.capacityMb = texts.used = texts.free = noData;
    texts.fileSystem = texts.label = texts.name = texts.version = noData;
    return texts;
}

std::optional<VolumeFacts> InfoPresenter::QueryVolume() const
{
    const DeviceRecord* record = context_.device;
    if (!record || record->capacityLba == 0 || record->driveIndex <= 0)
        return std::nullopt;
    DeviceHandle handle = record->handle.get();
    return system_.describeVolume(record->driveIndex, handle ? handle->path() : "");
}

VolumeTexts InfoPresenter::RefreshVolumeInfo() const
{
    if (!context_.device)
        return ClearVolumeInfo();
    return TextsFor(*context_.device, QueryVolume());
}

VolumeTexts InfoPresenter::TextsFor(const DeviceRecord& record, const std::optional<VolumeFacts>& facts)
{
    if (record.capacityLba == 0)
        return ClearVolumeInfo();

    VolumeTexts texts;
    const uint64_t lba = record.capacityLba;
    texts.capacityMb = format("%llu %s", static_cast<unsigned long long>(lba / 2048), LoadText(201).c_str());
    texts.capacityBytes = format("%llu %s", static_cast<unsigned long long>(lba * 512), LoadText(205).c_str());
    texts.capacitySectors = format("%llu %s", static_cast<unsigned long long>(lba), LoadText(208).c_str());

    const std::string noData = LoadText(207);
    texts.fileSystem = texts.label = texts.used = texts.free = noData;
    if (facts && record.driveIndex > 0) {
        // Without a medium the file system is not looked at.
        if (record.sectorCount != 0 && facts->identified) {
            texts.fileSystem = facts->fileSystem;
            texts.label = facts->label;
        }
        if (facts->mounted) {
            const SpaceFigures space = ComputeSpace(facts->totalBytes, facts->freeBytes);
            texts.free = mbText(space.freeMb, space.freePercent);
            texts.used = mbText(space.usedMb, space.usedPercent);
        }
    }
    texts.name = fieldText(record.productText);
    texts.version = fieldText(record.revisionText);
    return texts;
}

std::optional<std::vector<UsbTreeItem>> InfoPresenter::BuildUsbTree(const UsbLog& log) const
{
    if (store_ && IsUsbScanDisabled(*store_) != 0)
        return std::nullopt;
    return system_.usbTree(log);
}

std::vector<int> InfoPresenter::SelectedDriveItem(const std::vector<UsbTreeItem>& tree) const
{
    const DeviceRecord* record = context_.device;
    if (!record || !record->listed || record->driveIndex <= 0)
        return {};
    const std::string id = system_.usbDeviceOfDrive(record->driveIndex);
    return id.empty() ? std::vector<int>{} : FindUsbItem(tree, id);
}

std::string InfoPresenter::DescribeOs() const
{
    return system_.describeOs();
}

UsbItemLook InfoPresenter::ItemLook(const UsbTreeItem& item)
{
    if (!item.node)
        return {item.description, 4};
    switch (item.node->type) {
    case USB_ROOT_HUB: return {LoadText(123), 3};
    case USB_EXTERNAL_HUB:
        return {format("[%s %d]: %s", LoadText(124).c_str(), item.port, item.description.c_str()), 3};
    default:
        return {format("[%s %d]: %s ", LoadText(124).c_str(), item.port, item.description.c_str()), 0};
    }
}

std::vector<PropertyRow> InfoPresenter::ShowNodeProperties(const UsbNode* node)
{
    std::vector<PropertyRow> rows;
    if (!node)
        return rows;
    if (node->type == USB_ROOT_HUB || node->type == USB_EXTERNAL_HUB)
        addHubRows(*node, rows);
    if (node->type == USB_DEVICE || node->type == USB_EXTERNAL_HUB)
        addDeviceRows(*node, rows);
    return rows;
}

}  // namespace qv
