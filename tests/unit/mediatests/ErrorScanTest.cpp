#include "core/device/SectorIO.h"
#include "core/mediatests/ChunkTransfers.h"
#include "core/mediatests/ErrorScanWorker.h"
#include "core/mediatests/SectorPattern.h"
#include "platform/image/FaultyVolume.h"
#include "support/ScanRig.h"

#include <cerrno>
#include <cstdio>
#include <gtest/gtest.h>

#include <cstring>

namespace qv::test {
namespace {

constexpr int kBoth = kScanReadTest | kScanWriteTest;

std::vector<uint8_t> patternOf(uint32_t sector)
{
    std::vector<uint8_t> data(512);
    FillSectorPattern(sector, data.data());
    return data;
}

bool isZero(const std::vector<uint8_t>& data)
{
    for (uint8_t b : data)
        if (b)
            return false;
    return true;
}

class ErrorScanTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetSettleDelayMs(0);
        UseEnglishTexts(true);
    }
    void TearDown() override { UseEnglishTexts(false); }

    // A record over an image, optionally behind a fault plan.
    void attach(const ScratchImage& image, uint32_t sectorCount, std::optional<FaultPlan> plan = std::nullopt)
    {
        DeviceHandle volume = ImageVolume::open(image.path());
        ASSERT_TRUE(volume);
        if (plan) {
            auto faulty = std::make_shared<FaultyVolume>(volume, *plan);
            faults = faulty->stateShared();
            volume = faulty;
        }
        record.handle = volume;
        record.listed = 1;
        record.sectorCount = sectorCount;
    }

    DeviceRecord record;
    std::shared_ptr<FaultState> faults;
};

TEST_F(ErrorScanTest, CleanMediumTwoPassesLogsEveryLineAndLeavesThePattern)
{
    ScratchImage image(8192, 0xAB);
    attach(image, 8192);
    ScanRig rig(&record);
    ASSERT_TRUE(rig.run(2, kBoth));

    // tick advances 500 ms per reading: every phase takes 500 ms.
    const std::vector<std::string> onePass = {
        "Write errors: 0",
        "Average write speed: 8.0 MB/s",
        "Time taken: 0:00",
        "Read errors: 0",
        "Check for errors: 0",
        "Average read speed: 8.0 MB/s",
        "Time taken: 0:00",
    };
    std::vector<std::string> expected;
    for (int pass = 1; pass <= 2; ++pass) {
        expected.push_back("Stage: " + std::to_string(pass) + " - Write test");
        expected.insert(expected.end(), onePass.begin(), onePass.begin() + 3);
        expected.push_back("Stage: " + std::to_string(pass) + " - Read test");
        expected.insert(expected.end(), onePass.begin() + 3, onePass.end());
    }
    EXPECT_EQ(rig.view.texts_of_log(), expected);
    const std::vector<int> imagesOfPass = {LOG_INFORMATION, LOG_NO_IMAGE, LOG_NO_IMAGE, LOG_NO_IMAGE,
                                           LOG_INFORMATION, LOG_NO_IMAGE, LOG_NO_IMAGE, LOG_NO_IMAGE,
                                           LOG_NO_IMAGE};
    ASSERT_EQ(rig.view.log.size(), 18u);
    for (size_t i = 0; i < 18; ++i)
        EXPECT_EQ(rig.view.log[i].image, imagesOfPass[i % 9]) << i;
    EXPECT_EQ(rig.view.log[0].time, "[12:34:56]");

    EXPECT_EQ(record.errorCounters[0], 0);
    EXPECT_EQ(record.errorCounters[1], 0);
    EXPECT_EQ(record.errorCounters[2], 0);
    EXPECT_EQ(rig.writeMap.count(CELL_GOOD), kBlockMapCells);
    EXPECT_EQ(rig.readMap.count(CELL_GOOD), kBlockMapCells);
    EXPECT_EQ(rig.view.texts.writePercent, "100 %");
    EXPECT_EQ(rig.view.texts.readPercent, "100 %");
    EXPECT_EQ(rig.presenter.passesLeft(), 0);

    // Back to idle: start enabled, main controls enabled, drive reopened.
    EXPECT_FALSE(rig.view.running);
    EXPECT_TRUE(rig.view.startEnabled);
    EXPECT_TRUE(rig.mainControlsEnabled());
    EXPECT_EQ(rig.status.busy, 0);
    ASSERT_TRUE(record.handle);
    EXPECT_TRUE(record.handle->isOpen());

    // The pattern stays, except the zeroed start.
    EXPECT_TRUE(isZero(image.sector(0)));
    EXPECT_TRUE(isZero(image.sector(4095)));
    EXPECT_EQ(image.sector(4096), patternOf(4096));
    EXPECT_EQ(image.sector(8191), patternOf(8191));
}

TEST_F(ErrorScanTest, ReportsFollowTheProtocolOfOnePass)
{
    ScratchImage image(1024);
    attach(image, 1024);  // 8 chunks
    ScanRig rig(&record);
    ASSERT_TRUE(rig.run(1, kBoth));
    std::vector<std::pair<int32_t, int64_t>> expected;
    for (int i = 0; i < 8; ++i)
        expected.push_back({RUN_ACTIVE, SCAN_WRITE_CHUNK});
    expected.push_back({RUN_DONE, SCAN_WRITE_CHUNK});
    expected.push_back({RUN_ACTIVE, SCAN_BOUNDARY});
    for (int i = 0; i < 8; ++i)
        expected.push_back({RUN_ACTIVE, SCAN_READ_CHUNK});
    expected.push_back({RUN_DONE, SCAN_READ_CHUNK});
    expected.push_back({RUN_ACTIVE, SCAN_BOUNDARY});
    expected.push_back({RUN_DONE, SCAN_BOUNDARY});
    EXPECT_EQ(rig.reports, expected);
}

TEST_F(ErrorScanTest, ReadFailuresAreCountedMarkedRedAndTheScanGoesOn)
{
    ScratchImage image(8192);
    FaultPlan plan;
    plan.failingReads.push_back({1000, 300});  // chunks 7 to 10
    attach(image, 8192, plan);
    ScanRig rig(&record);
    ASSERT_TRUE(rig.run(1, kBoth));
    EXPECT_EQ(record.errorCounters[0], 0);
    EXPECT_EQ(record.errorCounters[1], 4);
    EXPECT_EQ(record.errorCounters[2], 0);  // failed reads are not compared
    // 8192 sectors over 3000 cells: chunks 7..10 are sectors 896..1407.
    EXPECT_EQ(rig.readMap.state(896 * 3000 / 8192), CELL_FAILED);
    EXPECT_EQ(rig.readMap.state(1407 * 3000 / 8192), CELL_FAILED);
    EXPECT_EQ(rig.readMap.state(1500 * 3000 / 8192), CELL_GOOD);
    EXPECT_EQ(rig.readMap.state(kBlockMapCells - 1), CELL_GOOD);
    EXPECT_EQ(rig.writeMap.count(CELL_GOOD), kBlockMapCells);
    const auto log = rig.view.log;
    ASSERT_EQ(log.size(), 9u);
    EXPECT_EQ(log[5].text, "Read errors: 4");
    EXPECT_EQ(log[5].image, LOG_ERROR);
    EXPECT_EQ(rig.view.texts.readErrors, "6.250 %");  // 4 of 64 chunks
}

TEST_F(ErrorScanTest, WriteFailuresAreCountedAndShown)
{
    ScratchImage image(8192);
    FaultPlan plan;
    plan.failingWrites.push_back({4200, 1});  // chunk 32 (4096..4223)
    attach(image, 8192, plan);
    ScanRig rig(&record);
    ASSERT_TRUE(rig.run(1, kBoth));
    EXPECT_EQ(record.errorCounters[0], 1);
    EXPECT_EQ(rig.writeMap.state(4100 * 3000 / 8192), CELL_FAILED);
    EXPECT_EQ(rig.view.log[1].text, "Write errors: 1");
    EXPECT_EQ(rig.view.log[1].image, LOG_ERROR);
    // The chunk that was never written reads back as something else.
    EXPECT_GT(record.errorCounters[2], 0);
    EXPECT_EQ(rig.readMap.state(4100 * 3000 / 8192), CELL_DIFFERS);
}

TEST_F(ErrorScanTest, FullHostFileSystemEndsTheScanAsFailedWithoutAWriteError)
{
    ScratchImage image(8192);
    FaultPlan plan;
    plan.failingWrites.push_back({4096, 4096});
    plan.writeError = ENOSPC;  // the image file's own file system is full
    attach(image, 8192, plan);
    ScanRig rig(&record);
    ASSERT_TRUE(rig.run(1, kBoth));
    EXPECT_EQ(rig.presenter.outcome(), RunOutcome::Failed);
    EXPECT_EQ(record.errorCounters[0], 0);
    EXPECT_EQ(rig.writeMap.count(CELL_FAILED), 0);
    ASSERT_EQ(rig.view.details.size(), 1u);
    EXPECT_EQ(rig.view.details[0], "cannot write the host file " + image.path() +
                                       ": No space left on device; this is a fault of the host, not of the medium");
}

TEST_F(ErrorScanTest, SilentCorruptionCountsBytesAndMarksBlue)
{
    ScratchImage image(8192);
    FaultPlan plan;
    plan.corruptReads.push_back({2000, 10});
    attach(image, 8192, plan);
    ScanRig rig(&record);
    ASSERT_TRUE(rig.run(1, kBoth));
    EXPECT_EQ(record.errorCounters[1], 0);
    EXPECT_EQ(record.errorCounters[2], 10 * 512);
    EXPECT_EQ(rig.readMap.state(2000 * 3000 / 8192), CELL_DIFFERS);
    EXPECT_EQ(rig.readMap.count(CELL_FAILED), 0);
    EXPECT_EQ(rig.view.log[6].text, "Check for errors: 5120");
    EXPECT_EQ(rig.view.log[6].image, LOG_ERROR);
}

TEST_F(ErrorScanTest, WrapAroundFakeCapacityIsFoundByTheReadTest)
{
    // 6144 sectors claimed, 4096 real: sectors 4096.. land on 0..2047.
    ScratchImage image(4096);
    FaultPlan plan;
    plan.wrapSectors = 4096;
    attach(image, 6144, plan);
    ScanRig rig(&record);
    ASSERT_TRUE(rig.run(1, kBoth));
    EXPECT_EQ(record.errorCounters[0], 0);
    EXPECT_EQ(record.errorCounters[1], 0);
    EXPECT_GT(record.errorCounters[2], 0);
    // The overwritten sectors differ, the rest read back right.
    for (uint64_t s = 0; s < 2048; s += 128)
        EXPECT_EQ(rig.readMap.state(int(s * 3000 / 6144)), CELL_DIFFERS) << s;
    for (uint64_t s = 2048; s < 6144; s += 128)
        EXPECT_EQ(rig.readMap.state(int((s + 127) * 3000 / 6144)), CELL_GOOD) << s;
}

// The same faults under one request per chunk and under large requests: a
// failed request is done again chunk by chunk and the reads come ahead, yet
// every report, count, mark and log line is the same.
TEST_F(ErrorScanTest, LargeRequestsCountMarkAndReportLikeOneRequestPerChunk)
{
    FaultPlan plan;
    plan.failingWrites = {{1000, 1}};  // chunk 7, inside the first 1 MiB request
    plan.failingReads = {{2040, 20}};  // chunks 15 and 16, across two of them
    plan.corruptReads = {{5000, 3}};   // chunk 39
    struct Seen {
        std::vector<std::pair<int32_t, int64_t>> reports;
        std::vector<int32_t> counters;
        std::vector<int> writeCells, readCells;
        std::vector<std::string> log;
        bool operator==(const Seen&) const = default;
    };
    const auto scan = [&](size_t requestBytes) {
        ScratchImage image(8192);
        attach(image, 8192, plan);
        ScanRig rig(&record);
        SetTransferRequestBytes(requestBytes);
        EXPECT_TRUE(rig.run(1, kBoth));
        Seen seen{rig.reports, {record.errorCounters, record.errorCounters + 3}, {}, {}, rig.view.texts_of_log()};
        for (int cell = 0; cell < kBlockMapCells; ++cell) {
            seen.writeCells.push_back(rig.writeMap.state(cell));
            seen.readCells.push_back(rig.readMap.state(cell));
        }
        return seen;
    };
    const Seen chunkwise = scan(64 << 10);
    EXPECT_EQ(chunkwise.counters[0], 1);
    EXPECT_EQ(chunkwise.counters[1], 2);
    // The corrupt sectors, and the chunk that was never written.
    EXPECT_GT(chunkwise.counters[2], 3 * 512);
    for (const size_t requestBytes : {size_t(1) << 20, size_t(4) << 20}) {
        SCOPED_TRACE(requestBytes);
        const Seen large = scan(requestBytes);
        EXPECT_EQ(large.counters, chunkwise.counters);
        EXPECT_TRUE(large == chunkwise);
    }
}

TEST_F(ErrorScanTest, RemovalDuringTheWriteTestFailsEveryLaterChunkAndEnds)
{
    ScratchImage image(8192);
    FaultPlan plan;
    // Boot sector read, nine wipe writes, then one request of 16 chunks.
    plan.removeAfter = 11;
    attach(image, 8192, plan);
    ScanRig rig(&record);
    ASSERT_TRUE(rig.run(3, kBoth));
    EXPECT_EQ(record.errorCounters[0], 64 - 16);
    EXPECT_EQ(record.errorCounters[1], 64);
    EXPECT_EQ(rig.writeMap.state(kBlockMapCells - 1), CELL_FAILED);
    EXPECT_EQ(rig.writeMap.state(0), CELL_GOOD);
    EXPECT_EQ(rig.readMap.count(CELL_FAILED), kBlockMapCells);
    // No further pass on a drive that is gone; back to idle.
    EXPECT_EQ(rig.view.log.size(), 9u);
    EXPECT_FALSE(rig.view.running);
    EXPECT_TRUE(rig.view.startEnabled);
    EXPECT_TRUE(rig.mainControlsEnabled());
    EXPECT_FALSE(record.handle);
}

TEST_F(ErrorScanTest, StopDuringTheWriteTestSkipsTheClosingZeroing)
{
    ScratchImage image(8192, 0x55);
    attach(image, 8192);
    ScanRig rig(&record);
    bool stopped = false;
    rig.onReport = [&](int64_t phase) {
        if (phase == SCAN_WRITE_CHUNK && record.position >= 2048 && !stopped) {
            stopped = true;
            // The click arrives between two reports.
            rig.queue.post([&] {
                rig.presenter.Stop();
                // Idle at once, but Start stays off until the worker ended.
                EXPECT_FALSE(rig.view.running);
                EXPECT_FALSE(rig.view.startEnabled);
                EXPECT_FALSE(rig.presenter.Start(1, kBoth));
            });
        }
    };
    ASSERT_TRUE(rig.run(2, kBoth));
    EXPECT_TRUE(stopped);
    EXPECT_EQ(rig.reports.back(), (std::pair<int32_t, int64_t>{RUN_STOP, SCAN_ENDED_EARLY}));
    // The stage line, then what the stop left: the last sector it names
    // holds the pattern and the one after it still its old bytes.
    ASSERT_EQ(rig.view.log.size(), 2u);
    unsigned long long last = 0, total = 0;
    ASSERT_EQ(std::sscanf(rig.view.log[1].text.c_str(), "Stopped. Sectors 0 to %llu of %llu hold the test pattern",
                          &last, &total),
              2)
        << rig.view.log[1].text;
    EXPECT_EQ(total, 8192u);
    EXPECT_GE(last, 2048u);
    EXPECT_EQ(image.sector(last), patternOf(last));
    EXPECT_EQ(image.sector(last + 1), std::vector<uint8_t>(512, 0x55));
    EXPECT_TRUE(rig.view.startEnabled);
    EXPECT_TRUE(rig.mainControlsEnabled());
    // Written by the test and not zeroed again afterwards.
    EXPECT_EQ(image.sector(0), patternOf(0));
    EXPECT_EQ(image.sector(1500), patternOf(1500));
    EXPECT_EQ(image.sector(8000), std::vector<uint8_t>(512, 0x55));  // never reached
    // A new scan may start now.
    EXPECT_TRUE(rig.presenter.Start(1, kScanReadTest));
    rig.queue.runUntil([&] { return !rig.presenter.active(); });
    EXPECT_EQ(record.errorCounters[1], 0);
}

TEST_F(ErrorScanTest, NeitherTestLogsOnlyStageLinesAndCountsPassesDown)
{
    ScratchImage image(2048, 0x11);
    FaultPlan plan;
    attach(image, 2048, plan);
    ScanRig rig(&record);
    ASSERT_TRUE(rig.run(2, 0));
    EXPECT_EQ(rig.view.texts_of_log(), (std::vector<std::string>{"Stage: 1 - Read test", "Stage: 2 - Read test"}));
    EXPECT_EQ(rig.presenter.passesLeft(), 0);
    // Only the boot sector of each pass was read.
    EXPECT_EQ(faults->transfers.load(), 2u);
    EXPECT_EQ(image.sector(0), std::vector<uint8_t>(512, 0x11));
}

TEST_F(ErrorScanTest, ReadOnlyTestComparesNothingAndWritesNothing)
{
    ScratchImage image(4096, 0x77);
    attach(image, 4096);
    ScanRig rig(&record);
    ASSERT_TRUE(rig.run(1, kScanReadTest));
    EXPECT_EQ(record.errorCounters[2], 0);
    EXPECT_EQ(rig.readMap.count(CELL_GOOD), kBlockMapCells);
    EXPECT_EQ(rig.view.texts_of_log(),
              (std::vector<std::string>{"Stage: 1 - Read test", "Read errors: 0", "Average read speed: 4.0 MB/s",
                                        "Time taken: 0:00"}));
    EXPECT_EQ(image.sector(0), std::vector<uint8_t>(512, 0x77));
}

TEST_F(ErrorScanTest, WriteOnlyTestStillZeroesTheStart)
{
    ScratchImage image(8192, 0x77);
    attach(image, 8192);
    ScanRig rig(&record);
    ASSERT_TRUE(rig.run(1, kScanWriteTest));
    EXPECT_EQ(rig.view.log.size(), 4u);
    EXPECT_TRUE(isZero(image.sector(3000)));
    EXPECT_EQ(image.sector(5000), patternOf(5000));
    EXPECT_EQ(rig.readMap.count(CELL_UNTESTED), kBlockMapCells);
}

TEST_F(ErrorScanTest, LastChunkHoldsTheRemainder)
{
    ScratchImage image(8192 + 77 + 50, 0x33);
    attach(image, 8192 + 77);
    ScanRig rig(&record);
    ASSERT_TRUE(rig.run(1, kBoth));
    EXPECT_EQ(record.errorCounters[0] + record.errorCounters[1] + record.errorCounters[2], 0);
    int writeReports = 0;
    for (const auto& r : rig.reports)
        writeReports += r.first == RUN_ACTIVE && r.second == SCAN_WRITE_CHUNK;
    EXPECT_EQ(writeReports, 65);
    EXPECT_EQ(image.sector(8192 + 76), patternOf(8192 + 76));
    EXPECT_EQ(image.sector(8192 + 77), std::vector<uint8_t>(512, 0x33));  // past sectorCount
    EXPECT_EQ(rig.writeMap.count(CELL_GOOD), kBlockMapCells);
}

TEST_F(ErrorScanTest, PassCountOfZeroRunsOnePass)
{
    ScratchImage image(1024);
    attach(image, 1024);
    ScanRig rig(&record);
    ASSERT_TRUE(rig.run(0, kScanReadTest));
    EXPECT_EQ(rig.view.texts_of_log().front(), "Stage: 1 - Read test");
    EXPECT_EQ(rig.view.log.size(), 4u);
}

TEST_F(ErrorScanTest, StartIsRefusedWithoutADrive)
{
    ScanRig rig(nullptr);
    EXPECT_FALSE(rig.run(1, kBoth));
    EXPECT_TRUE(rig.view.log.empty());
}

}  // namespace
}  // namespace qv::test
