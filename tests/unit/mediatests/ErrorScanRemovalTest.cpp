#include "core/device/DriveList.h"
#include "core/device/SectorIO.h"
#include "core/device/SlotDriveSource.h"
#include "core/mediatests/ErrorScanWorker.h"
#include "platform/image/ImageCandidates.h"
#include "support/ScanRig.h"

#include <gtest/gtest.h>

namespace qv::test {
namespace {

// The stick leaves while the read test runs: the drive list closes its
// handle on the owner thread, as the udev monitor would.
TEST(ErrorScanRemoval, DriveLeavingDuringTheReadTestFailsEveryLaterChunk)
{
    SetSettleDelayMs(0);
    ScratchImage image(8192);
    ImageCandidates images;
    FaultPlan noFaults;  // counts the transfers
    const std::string name = images.attach(image.path(), noFaults);
    SlotDriveSource source;
    source.addProvider(&images);
    MemorySelector selector;

    ScanRig rig(nullptr);
    DriveList drives(rig.context, source, selector);
    drives.EnumerateDrives(-1);
    const int slot = source.slotOf(name);
    ASSERT_GE(slot, 2);
    ASSERT_TRUE(drives.record(slot).listed);
    selector.setCurrent(drives.selectorPosition(slot));
    drives.SyncSelection();
    DeviceRecord& record = drives.record(slot);
    ASSERT_EQ(rig.context.device, &record);
    ASSERT_EQ(record.sectorCount, 8192u);

    std::shared_ptr<FaultState> transfers;
    bool removed = false;
    int chunksBefore = 0;
    rig.onReport = [&](int64_t phase) {
        if (phase == SCAN_READ_CHUNK && record.position >= 4096 && !removed) {
            removed = true;
            chunksBefore = int(record.position / 128) + 1;  // this chunk was read
            transfers = std::dynamic_pointer_cast<FaultyVolume>(record.handle.get())->stateShared();
            drives.RemoveDrive(slot);
        }
    };
    uint64_t transfersAtRemoval = 0;
    int32_t counters[3] = {};
    rig.presenter.onIdle = [&] {
        transfersAtRemoval = transfers ? transfers->transfers.load() : 0;
        std::copy(record.errorCounters, record.errorCounters + 3, counters);
        drives.RunEnded();
    };
    ASSERT_TRUE(rig.run(2, kScanReadTest | kScanWriteTest));
    ASSERT_TRUE(removed);

    EXPECT_EQ(counters[0], 0);
    EXPECT_EQ(counters[1], 64 - chunksBefore);
    EXPECT_EQ(counters[2], 0);
    EXPECT_EQ(rig.readMap.state(0), CELL_GOOD);
    EXPECT_EQ(rig.readMap.state(kBlockMapCells - 1), CELL_FAILED);
    EXPECT_EQ(rig.readMap.state(4300 * 3000 / 8192), CELL_FAILED);
    // One pass only, then idle with the main controls back.
    EXPECT_EQ(rig.view.log.size(), 9u);
    EXPECT_FALSE(rig.view.running);
    EXPECT_TRUE(rig.view.startEnabled);
    EXPECT_TRUE(rig.mainControlsEnabled());
    EXPECT_EQ(rig.status.busy, 0);
    // Nothing went through the closed handle: every transfer after the
    // removal failed before reaching the image.
    ASSERT_TRUE(transfers);
    EXPECT_EQ(transfersAtRemoval, transfers->transfers.load());
    // Boot, wipe, four write requests of 1 MiB, the read requests up to the
    // chunk whose report saw the removal, and at most the one read ahead.
    const uint64_t readsBefore = 1 + 9 + 4 + (uint64_t(chunksBefore) + 15) / 16;
    EXPECT_GE(transfers->transfers.load(), readsBefore);
    EXPECT_LE(transfers->transfers.load(), readsBefore + 1);
    // The record of the drive that left is cleared once the run is over.
    EXPECT_FALSE(record.listed);
    EXPECT_FALSE(record.handle);
}

// The same removal arriving while the worker runs on (not inside a report),
// as a udev event on the GUI thread would: the handle is closed under the
// worker's transfers.
TEST(ErrorScanRemoval, DriveLeavingWhileTheWorkerTransfersEndsTheScan)
{
    SetSettleDelayMs(0);
    ScratchImage image(8193);
    ImageCandidates images;
    const std::string name = images.attach(image.path());
    SlotDriveSource source;
    source.addProvider(&images);
    MemorySelector selector;
    ScanRig rig(nullptr);
    DriveList drives(rig.context, source, selector);
    drives.EnumerateDrives(-1);
    const int slot = source.slotOf(name);
    ASSERT_GE(slot, 2);
    selector.setCurrent(drives.selectorPosition(slot));
    drives.SyncSelection();
    DeviceRecord& record = drives.record(slot);

    bool posted = false;
    rig.onReport = [&](int64_t phase) {
        if (phase == SCAN_WRITE_CHUNK && !posted) {
            posted = true;
            rig.queue.post([&] { drives.RemoveDrive(slot); });
        }
    };
    int32_t failures = 0;
    rig.presenter.onIdle = [&] {
        failures = record.errorCounters[0] + record.errorCounters[1];
        drives.RunEnded();
    };
    ASSERT_TRUE(rig.run(2, kScanReadTest | kScanWriteTest));
    EXPECT_GT(failures, 0);
    EXPECT_EQ(rig.readMap.state(kBlockMapCells - 1), CELL_FAILED);
    EXPECT_FALSE(rig.presenter.active());
    EXPECT_TRUE(rig.mainControlsEnabled());
    EXPECT_FALSE(record.listed);
}

}  // namespace
}  // namespace qv::test
