#include "core/device/DriveList.h"
#include "core/text/StringIds.h"

#include "core/device/Scsi.h"
#include "core/text/StringTable.h"
#include "core/text/Units.h"

#include <cstring>

namespace qv {

bool QualifyDrive(DeviceRecord& record)
{
    if (!record.handle || !record.handle->isOpen())
        return false;
    const uint8_t inquiry[6] = {0x12, 0x00, 0x00, 0x00, 0x40, 0x00};
    uint8_t data[64];
    if (ScsiPassThrough(record.handle, inquiry, data, sizeof data) != 1)
        return false;

    std::memset(record.productText, 0, sizeof record.productText);
    std::memcpy(record.productText, data + 8, 24);
    for (int i = 23; i >= 0 && record.productText[i] == ' '; --i)
        record.productText[i] = '\0';
    std::memcpy(record.revisionText, data + 32, 4);

    record.sectorCount = ReadMediumCapacity(record.handle).sectors();

    const uint8_t peripheral = data[0];
    if (peripheral == 5)
        return false;
    if (record.sectorCount <= 16777216u)
        return true;
    return (data[1] & 0x80) != 0 && peripheral == 0;
}

std::string DriveText(const std::string& slotName, const char* productText, uint64_t sectors)
{
    if (sectors * 512 < kListedBytes)
        return {};
    // The product field is 32 characters, NUL-terminated only when shorter.
    const std::string product(productText, strnlen(productText, 32));
    return "(" + slotName + ") " + product + " (" + SizeText(sectors * 512) + ")";
}

DriveList::DriveList(SharedContext& context, DriveSource& source, DeviceSelector& selector,
                     DriveListHooks* hooks)
    : context_(context), source_(source), selector_(selector), hooks_(hooks)
{
    selectorPosition_.fill(-1);
}

bool DriveList::inUseByRun(int driveIndex) const
{
    return context_.status->busy && context_.device == &records_[driveIndex];
}

bool DriveList::DescribeDrive(int driveIndex)
{
    DeviceRecord& record = records_[driveIndex];
    const Capacity capacity = ReadMediumCapacity(record.handle);
    const uint64_t n = capacity.sectors();
    record.sectorCount = n;
    record.diskSectors = n;
    record.capacityLba = capacity.lastLba;
    if (n == 0)
        return false;
    if (auto partition = record.handle->firstPartitionBytes(); partition && *partition >= 0)
        record.sectorCount = uint64_t(*partition) / 512;
    const std::string text = DriveText(source_.slotName(driveIndex), record.productText, n);
    if (text.empty())
        return false;
    selector_.append(text);
    return true;
}

// Opens the slot's candidate and runs the qualification and description;
// leaves the record listed-to-be (handle open) on success.
bool DriveList::openAndDescribe(int driveIndex)
{
    DeviceRecord& record = records_[driveIndex];
    SlotVerdict& verdict = verdicts_[driveIndex];
    OpenResult opened = source_.open(driveIndex);
    if (!opened.handle) {
        verdict = {opened.error ? DriveVerdict::OpenFailed : DriveVerdict::NoCandidate, opened.error};
        return false;
    }
    record.handle = std::move(opened.handle);
    if (!QualifyDrive(record)) {
        // An INQUIRY that failed leaves the identity empty; one that
        // answered but was excluded has filled it.
        verdict = {record.productText[0] || record.revisionText[0] ? DriveVerdict::ExcludedByRule
                                                                    : DriveVerdict::InquiryFailed,
                   0};
        return false;
    }
    record.driveIndex = driveIndex;
    if (!DescribeDrive(driveIndex)) {
        verdict = {DriveVerdict::TooSmall, 0};
        return false;
    }
    verdict = {DriveVerdict::Listed, 0};
    return true;
}

void DriveList::dropCandidate(int driveIndex)
{
    DeviceRecord& record = records_[driveIndex];
    if (record.handle)
        record.handle->close();
    record.clear();
}

void DriveList::EnumerateDrives(int preferredDrive)
{
    RunStatus& status = *context_.status;
    status.deviceCount = 0;
    for (int i = 0; i < kDriveSlots; ++i) {
        if (records_[i].listed && records_[i].handle)
            records_[i].handle->close();
        records_[i].clear();
        selectorPosition_[i] = -1;
        verdicts_[i] = {};
        pendingArrival_[i] = false;
    }
    source_.rescan();

    int shownPosition = -1;
    for (int i = 2; i < kDriveSlots; ++i) {
        if (!openAndDescribe(i)) {
            dropCandidate(i);
            continue;
        }
        if (i == preferredDrive || selectedDrive_ == -1) {
            selectedDrive_ = i;
            shownPosition = status.deviceCount;
        }
        records_[i].listed = 1;
        selectorPosition_[i] = status.deviceCount;
        ++status.deviceCount;
    }

    if (status.deviceCount >= 1) {
        selector_.setEnabled(true);
        selector_.setCurrent(shownPosition >= 0 ? shownPosition : 0);
    } else {
        UpdateSelectorState();
    }
}

void DriveList::AddDrive(int driveIndex)
{
    if (driveIndex < 2 || driveIndex >= kDriveSlots)
        return;
    // A second arrival for a listed drive changes nothing.
    if (records_[driveIndex].listed)
        return;
    // The slot's old record still serves a running worker: make the arrival
    // once the run has ended.
    if (pendingClear_[driveIndex]) {
        pendingArrival_[driveIndex] = true;
        return;
    }
    RunStatus& status = *context_.status;
    if (status.deviceCount <= 0)
        selector_.reset();

    records_[driveIndex].clear();
    if (openAndDescribe(driveIndex)) {
        DeviceRecord& record = records_[driveIndex];
        record.listed = 1;
        selectorPosition_[driveIndex] = status.deviceCount;
        if (status.deviceCount == 0) {
            selectedDrive_ = driveIndex;
            selector_.setCurrent(0);
        }
        ++status.deviceCount;
    } else {
        dropCandidate(driveIndex);
    }

    UpdateSelectorState();
    if (status.deviceCount > 0)
        SyncSelection();
}

void DriveList::RemoveDrive(int driveIndex)
{
    if (driveIndex < 0 || driveIndex >= kDriveSlots)
        return;
    RunStatus& status = *context_.status;
    pendingArrival_[driveIndex] = false;
    DeviceRecord& record = records_[driveIndex];
    if (record.listed) {
        if (record.handle)
            record.handle->close();
        const int p = selectorPosition_[driveIndex];
        selector_.remove(p);
        for (int& position : selectorPosition_)
            if (position > p)
                --position;
        --status.deviceCount;
        if (inUseByRun(driveIndex)) {
            // The worker keeps its record until it has ended; its transfers
            // fail from now on and the handle is never reopened.
            record.listed = 0;
            record.detached = true;
            pendingClear_[driveIndex] = true;
        } else {
            record.clear();
        }
        selectorPosition_[driveIndex] = -1;
    }

    if (driveIndex == selectedDrive_) {
        selectedDrive_ = DriveAtPosition(0);
        if (selectedDrive_ != -1 && !status.busy)
            context_.device = &records_[selectedDrive_];
    }
    UpdateSelectorState();
}

int DriveList::DriveAtPosition(int position) const
{
    if (position < 0)
        return -1;
    for (int i = 0; i < kDriveSlots; ++i)
        if (records_[i].listed && selectorPosition_[i] == position)
            return i;
    return -1;
}

void DriveList::UpdateSelectorState()
{
    RunStatus& status = *context_.status;
    // Format has the run's busy flag too, and a backup starts in
    // RUN_STARTING: controls stay as the run left them until it ends.
    const bool running = status.state() == RUN_ACTIVE || status.busy;
    if (status.deviceCount > 0) {
        if (!running)
            selector_.setEnabled(true);
        if (selectedDrive_ >= 0 && selectedDrive_ < kDriveSlots)
            selector_.setCurrent(selectorPosition_[selectedDrive_]);
        SyncSelection();
    } else {
        selector_.setEnabled(false);
        if (status.formatButton)
            status.formatButton->setEnabled(false);
        selectedDrive_ = 0;
        // The no-devices item is the selector's only item, however often
        // this runs.
        selector_.reset();
        selector_.append(LoadText(str::kNoDevices));
        selector_.setCurrent(0);
        if (hooks_)
            hooks_->clearVolumeInfo();
    }
    if (!running) {
        if (status.formatButton)
            status.formatButton->setEnabled(status.deviceCount >= 1);
        if (hooks_)
            hooks_->updatePageControls(status.deviceCount > 0);
    }
}

void DriveList::SyncSelection()
{
    selectedDrive_ = DriveAtPosition(selector_.current());
    // While a run is under way its worker keeps the drive it started on.
    if (!context_.status->busy)
        context_.device = selectedDrive_ >= 0 ? &records_[selectedDrive_] : nullptr;
    if (hooks_)
        hooks_->selectionChanged();
}

void DriveList::RefreshDevices()
{
    // The list is not rebuilt under a running operation (the refresh button
    // is disabled then; this keeps the records and selector consistent).
    if (context_.status->busy)
        return;
    selector_.reset();
    const DeviceRecord* current = context_.device;
    const int preferred = current && current->listed ? current->driveIndex : -1;
    EnumerateDrives(preferred);
    if (context_.status->deviceCount > 0)
        SyncSelection();
    UpdateSelectorState();
}

void DriveList::RunEnded()
{
    for (int i = 0; i < kDriveSlots; ++i) {
        if (!pendingClear_[i])
            continue;
        pendingClear_[i] = false;
        records_[i].clear();
    }
    if (context_.status->deviceCount > 0)
        SyncSelection();
    else if (context_.device && !context_.device->listed)
        context_.device = nullptr;
    for (int i = 0; i < kDriveSlots; ++i) {
        if (!pendingArrival_[i])
            continue;
        pendingArrival_[i] = false;
        AddDrive(i);
    }
}

}  // namespace qv
