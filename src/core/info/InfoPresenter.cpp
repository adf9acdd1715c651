#include "core/info/InfoPresenter.h"

#include "core/text/StringIds.h"
#include "core/text/StringTable.h"
#include "core/text/Units.h"

#include <algorithm>
#include <cstring>

namespace qv {
namespace {

// The record's identity fields are fixed-size and need not end in a NUL.
template <size_t N>
std::string fieldText(const char (&field)[N])
{
    return std::string(field, strnlen(field, N));
}

std::string stringOrUnknown(const std::string& text)
{
    return text.size() > 1 ? text : LoadText(str::kUnknown);
}

std::string spaceText(uint64_t bytes, int percent)
{
    return SizeText(bytes) + Format(" (%d %%)", percent);
}

// "[Порт 2]: " before a connection's description (which may be longer
// than a formatted text holds).
std::string portText(const UsbTreeItem& item)
{
    return "[" + LoadText(str::kPort) + " " + std::to_string(item.port) + "]: ";
}

void addHubRows(const UsbNode& node, std::vector<PropertyRow>& rows)
{
    rows.push_back({LoadText(str::kPorts), Format("%d", node.portCount)});
    std::string protection = LoadText(str::kUnknown);
    if (node.hubCharacteristics) {
        switch (*node.hubCharacteristics & 0x18) {
        case 0x00: protection = LoadText(str::kProtectionGlobal); break;
        case 0x08: protection = LoadText(str::kProtectionIndividual); break;
        default: protection = LoadText(str::kProtectionNone); break;
        }
    }
    rows.push_back({LoadText(str::kOverCurrentProtection), protection});
}

void addDeviceRows(const UsbNode& node, std::vector<PropertyRow>& rows)
{
    rows.push_back({LoadText(str::kUsbVersion), Format("%X.%02X", (node.usbVersion >> 8) & 0xFF, node.usbVersion & 0xFF)});
    rows.push_back({LoadText(str::kManufacturer), stringOrUnknown(node.manufacturer)});
    rows.push_back({LoadText(str::kProduct), stringOrUnknown(node.product)});
    rows.push_back({LoadText(str::kSerialNumber), stringOrUnknown(node.serialNumber)});
    rows.push_back({LoadText(str::kVendorId), Format("%04X", node.vendorId)});
    rows.push_back({LoadText(str::kProductId), Format("%04X", node.productId)});
    rows.push_back({LoadText(str::kDeviceRelease), Format("%04X", node.deviceRelease)});
    if (!node.speedMbps.empty())
        rows.push_back({LoadText(str::kUsbSpeed), Format(LoadText(str::kMegabitsPerSecond).c_str(), node.speedMbps.c_str())});
    if (!node.driver.empty())
        rows.push_back({LoadText(str::kUsbDriver), node.driver});
    if (node.maxPowerMa >= 0)
        rows.push_back({LoadText(str::kUsbMaxPower), Format(LoadText(str::kMilliamperes).c_str(), node.maxPowerMa)});
}

}  // namespace

SpaceFigures ComputeSpace(uint64_t totalBytes, uint64_t freeBytes, uint64_t availableBytes)
{
    SpaceFigures figures;
    figures.usedBytes = totalBytes > freeBytes ? totalBytes - freeBytes : 0;
    figures.availableBytes = availableBytes;
    const uint64_t room = figures.usedBytes + availableBytes;
    if (room == 0)
        return figures;
    const unsigned __int128 hundredfold = (unsigned __int128)figures.usedBytes * 100;
    figures.usedPercent = int((hundredfold + room - 1) / room);
    figures.freePercent = 100 - figures.usedPercent;
    return figures;
}

InfoPresenter::InfoPresenter(SharedContext& context, InfoSystem& system, const ProfileStore* store)
    : context_(context), system_(system), store_(store)
{
}

VolumeTexts InfoPresenter::ClearVolumeInfo()
{
    VolumeTexts texts;
    const std::string noData = LoadText(str::kNoData);
    texts.capacityMb = texts.used = texts.free = noData;
    texts.fileSystem = texts.label = texts.name = texts.version = noData;
    return texts;
}

std::optional<VolumeFacts> InfoPresenter::QueryVolume() const
{
    const DeviceRecord* record = context_.device;
    if (!record || record->diskSectors == 0 || record->driveIndex <= 0)
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
    if (record.diskSectors == 0)
        return ClearVolumeInfo();

    VolumeTexts texts;
    const uint64_t sectors = record.diskSectors;
    texts.capacityMb = SizeText(sectors * 512);
    texts.capacityBytes = Format("%llu %s", static_cast<unsigned long long>(sectors * 512), LoadText(str::kBytes).c_str());
    texts.capacitySectors = Format("%llu %s", static_cast<unsigned long long>(sectors), LoadText(str::kSectors).c_str());

    const std::string noData = LoadText(str::kNoData);
    texts.fileSystem = texts.label = texts.used = texts.free = noData;
    if (facts && record.driveIndex > 0) {
        // Without a medium the file system is not looked at.
        if (record.sectorCount != 0 && facts->identified) {
            texts.fileSystem = facts->fileSystem;
            texts.label = facts->label;
        }
        if (facts->mounted) {
            const SpaceFigures space = ComputeSpace(facts->totalBytes, facts->freeBytes, facts->availableBytes);
            texts.free = spaceText(space.availableBytes, space.freePercent);
            texts.used = spaceText(space.usedBytes, space.usedPercent);
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
    case USB_ROOT_HUB: return {LoadText(str::kRootHub), 3};
    case USB_EXTERNAL_HUB:
        return {portText(item) + item.description, 3};
    default:
        return {portText(item) + item.description + " ", 0};
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
