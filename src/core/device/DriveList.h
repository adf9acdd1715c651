#pragma once

#include "core/device/DeviceRecord.h"
#include "core/device/DeviceSelector.h"
#include "core/device/DriveSource.h"
#include "core/run/SharedContext.h"

#include <array>
#include <string>

namespace qv {

// What the main window does when the list changes.
class DriveListHooks {
public:
    virtual ~DriveListHooks() = default;
    // The selection moved to another drive (the information page refreshes).
    virtual void selectionChanged() {}
    // No drive is left (the information page shows its no-data display).
    virtual void clearVolumeInfo() {}
    // Format and the pages' start controls are available exactly when a
    // drive is listed.
    virtual void updatePageControls(bool haveDevices) { (void)haveDevices; }
};

// Why a slot's candidate is or is not listed, for the command-line tool.
enum class DriveVerdict {
    NoCandidate,
    OpenFailed,
    InquiryFailed,
    ExcludedByRule,
    TooSmall,
    Listed,
};

struct SlotVerdict {
    DriveVerdict verdict = DriveVerdict::NoCandidate;
    int error = 0;  // errno of a failed open
};

// INQUIRY, identity fields and the qualification rule. A record without an
// open handle never qualifies.
bool QualifyDrive(DeviceRecord& record);

// The smallest drive listed: 1 MB (1,954 sectors and up).
inline constexpr uint64_t kListedBytes = 1000000;

// The selector text of a drive of `sectors` 512-byte sectors:
// "(name) product (size unit)", or empty when it is under 1 MB.
std::string DriveText(const std::string& slotName, const char* productText, uint64_t sectors);

// The 26 drive slots, the selector kept in step with them, and the selected
// drive. Everything here runs on the GUI thread.
class DriveList {
public:
    DriveList(SharedContext& context, DriveSource& source, DeviceSelector& selector,
              DriveListHooks* hooks = nullptr);

    bool DescribeDrive(int driveIndex);
    void EnumerateDrives(int preferredDrive);
    void AddDrive(int driveIndex);
    void RemoveDrive(int driveIndex);
    int DriveAtPosition(int position) const;
    void UpdateSelectorState();
    void SyncSelection();
    void RefreshDevices();

    // Called when a run has ended and its worker thread is gone: records of
    // drives that left meanwhile are cleared, arrivals held back are made.
    void RunEnded();

    DeviceRecord& record(int driveIndex) { return records_[driveIndex]; }
    const DeviceRecord& record(int driveIndex) const { return records_[driveIndex]; }
    int selectorPosition(int driveIndex) const { return selectorPosition_[driveIndex]; }
    int selectedDrive() const { return selectedDrive_; }
    int deviceCount() const { return context_.status->deviceCount; }
    const SlotVerdict& verdict(int driveIndex) const { return verdicts_[driveIndex]; }
    DriveSource& source() { return source_; }

private:
    bool openAndDescribe(int driveIndex);
    void dropCandidate(int driveIndex);
    bool inUseByRun(int driveIndex) const;

    SharedContext& context_;
    DriveSource& source_;
    DeviceSelector& selector_;
    DriveListHooks* hooks_;
    std::array<DeviceRecord, kDriveSlots> records_{};
    std::array<int, kDriveSlots> selectorPosition_{};
    std::array<SlotVerdict, kDriveSlots> verdicts_{};
    std::array<bool, kDriveSlots> pendingClear_{};
    std::array<bool, kDriveSlots> pendingArrival_{};
    int selectedDrive_ = -1;
};

}  // namespace qv
