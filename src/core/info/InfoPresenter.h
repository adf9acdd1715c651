#pragma once

#include "core/info/InfoSystem.h"
#include "core/run/SharedContext.h"
#include "core/settings/Settings.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qv {

// The value texts of the page's volume and drive sections.
struct VolumeTexts {
    std::string capacityMb, capacityBytes, capacitySectors;
    std::string used, free;
    std::string fileSystem, label;
    std::string name, version;
};

struct PropertyRow {
    std::string label;
    std::string value;
};

// A tree item as it is shown: its text and image (0 device, 3 hub or root
// hub, 4 host controller).
struct UsbItemLook {
    std::string text;
    int image = 4;
};

// The information page without its widgets: every text it shows, from the
// selected drive's record and what the system reports.
class InfoPresenter {
public:
    // store: where "Disable USB Scan" is read; null reads it as off.
    InfoPresenter(SharedContext& context, InfoSystem& system, const ProfileStore* store);

    // The volume texts of the selected drive; the no-data display when it
    // has no capacity.
    VolumeTexts RefreshVolumeInfo() const;
    static VolumeTexts ClearVolumeInfo();
    // What the system says of the selected drive's volume; nullopt where it
    // is not asked (no capacity, or the first slot).
    std::optional<VolumeFacts> QueryVolume() const;
    // The texts of a record with those facts.
    static VolumeTexts TextsFor(const DeviceRecord& record, const std::optional<VolumeFacts>& facts);

    // The USB tree; nullopt while the "Disable USB Scan" setting is on (the
    // page then keeps what it shows).
    std::optional<std::vector<UsbTreeItem>> BuildUsbTree(const UsbLog& log) const;
    // Where in a tree the selected drive's own device is; empty when absent.
    std::vector<int> SelectedDriveItem(const std::vector<UsbTreeItem>& tree) const;

    std::string DescribeOs() const;

    static UsbItemLook ItemLook(const UsbTreeItem& item);
    // The property rows of a node; none for a controller.
    static std::vector<PropertyRow> ShowNodeProperties(const UsbNode* node);

private:
    SharedContext& context_;
    InfoSystem& system_;
    const ProfileStore* store_;
};

// The figures behind the texts, shared with the command line's JSON.
// As df computes them: used = total - free, shown free = available, the
// used percentage of used + available rounded up, the free one the rest.
struct SpaceFigures {
    uint64_t usedBytes = 0, availableBytes = 0;
    int freePercent = 0, usedPercent = 0;
};
SpaceFigures ComputeSpace(uint64_t totalBytes, uint64_t freeBytes, uint64_t availableBytes);

}  // namespace qv
