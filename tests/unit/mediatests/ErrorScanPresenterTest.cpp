#include "core/mediatests/ErrorScanWorker.h"
#include "support/ScanRig.h"

#include <gtest/gtest.h>

namespace qv::test {
namespace {

// Drives the presenter with a scripted worker: each step sets the record,
// the clock and the state, then reports, exactly as the worker thread would.
class ErrorScanPresenterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseEnglishTexts(true);
        record.sectorCount = 100000;
        record.handle = ImageVolume::open(image.path());
    }
    void TearDown() override { UseEnglishTexts(false); }

    struct Step {
        int32_t state;
        int64_t phase;
        uint64_t position;
        double elapsed;
        int32_t writeErrors = 0;
        std::function<void(const ErrorScanTexts&)> check = {};
    };

    // Runs one scripted pass and checks the texts after each step.
    void script(ScanRig& rig, std::vector<Step> steps, int32_t testType = kScanReadTest | kScanWriteTest)
    {
        rig.presenter.setWorker([&rig, steps](SharedContext& context, int32_t) {
            for (const Step& step : steps) {
                context.device->position = step.position;
                context.device->errorCounters[0] = step.writeErrors;
                rig.clock.elapsed = step.elapsed;
                context.status->setState(step.state);
                context.status->progressWindow->report(OP_ERROR_SCAN, step.phase);
                if (step.check)
                    step.check(rig.presenter.texts());
            }
            return 1;
        });
        ASSERT_TRUE(rig.run(1, testType));
    }

    ScratchImage image{64};
    DeviceRecord record;
};

TEST_F(ErrorScanPresenterTest, RefreshesAreThrottledAndSpeedNeedsAPreviousPosition)
{
    ScanRig rig(&record);
    int restartsAtStart = -1;
    std::vector<Step> steps = {
        // Within 0.25 s of the pass start: ignored.
        {RUN_ACTIVE, SCAN_WRITE_CHUNK, 0, 0.1, 0,
         [&](const ErrorScanTexts& t) {
             EXPECT_EQ(t.writePosition, "");
             restartsAtStart = rig.clock.restarts;
         }},
        // First refresh at position 0: texts but no speed.
        {RUN_ACTIVE, SCAN_WRITE_CHUNK, 0, 0.3, 0,
         [](const ErrorScanTexts& t) {
             EXPECT_EQ(t.writePosition, "0 MB");
             EXPECT_EQ(t.writePercent, "0 %");
             EXPECT_EQ(t.writeErrors, "0.000 %");
             EXPECT_EQ(t.writeSpeed, "");
         }},
        // The previous refresh was at 0: still no speed.
        {RUN_ACTIVE, SCAN_WRITE_CHUNK, 20480, 0.5, 0,
         [](const ErrorScanTexts& t) {
             EXPECT_EQ(t.writePosition, "10 MB");
             EXPECT_EQ(t.writePercent, "20 %");
             EXPECT_EQ(t.writeBar, 20);
             EXPECT_EQ(t.writeSpeed, "");
         }},
        // Third refresh: 20480 sectors in 0.5 s = 20 MB/s; one failed chunk of 782.
        {RUN_ACTIVE, SCAN_WRITE_CHUNK, 40960, 0.5, 1,
         [&](const ErrorScanTexts& t) {
             EXPECT_EQ(t.writeSpeed, "20.0 MB/s");
             EXPECT_EQ(t.writeErrors, "0.128 %");
             EXPECT_EQ(rig.clock.restarts, restartsAtStart + 1);
         }},
        {RUN_ACTIVE, SCAN_WRITE_CHUNK, 50000, 0.1, 1,
         [](const ErrorScanTexts& t) { EXPECT_EQ(t.writePosition, "20 MB"); }},
        // Within 64 sectors of the end the write percentage is 100.
        {RUN_ACTIVE, SCAN_WRITE_CHUNK, 99950, 1.0, 1,
         [](const ErrorScanTexts& t) {
             EXPECT_EQ(t.writePercent, "100 %");
             EXPECT_EQ(t.writeBar, 100);
             EXPECT_EQ(t.writeSpeed, "28.8 MB/s");  // 58990 sectors in 1 s
         }},
        {RUN_DONE, SCAN_WRITE_CHUNK, 100000, 0.1, 1, {}},
        // The boundary is never ignored and restarts the measurement.
        {RUN_ACTIVE, SCAN_BOUNDARY, 0, 0.01, 1,
         [&](const ErrorScanTexts& t) {
             EXPECT_EQ(t.writeErrors, "0.128 %");
             EXPECT_EQ(t.readPosition, "");
             EXPECT_EQ(rig.clock.restarts, restartsAtStart + 3);
         }},
        // The read percentage has no 100 rule.
        {RUN_ACTIVE, SCAN_READ_CHUNK, 99950, 0.3, 1,
         [](const ErrorScanTexts& t) {
             EXPECT_EQ(t.readPercent, "99 %");
             EXPECT_EQ(t.readSpeed, "");
             EXPECT_EQ(t.readErrors, "0.000 %");
         }},
        {RUN_DONE, SCAN_READ_CHUNK, 100000, 0.3, 1,
         [](const ErrorScanTexts& t) { EXPECT_EQ(t.readPercent, "100 %"); }},
        {RUN_ACTIVE, SCAN_BOUNDARY, 100000, 0.3, 1, {}},
        {RUN_DONE, SCAN_BOUNDARY, 100000, 0.3, 1, {}},
    };
    rig.clock.tickStep = 125000;  // every phase lasts 2:05
    script(rig, steps);
    EXPECT_EQ(rig.view.texts_of_log(),
              (std::vector<std::string>{"Stage: 1 - Write test", "Write errors: 1", "Average write speed: 0.4 MB/s",
                                        "Time taken: 2:05", "Stage: 1 - Read test", "Read errors: 0",
                                        "Check for errors: 0", "Average read speed: 0.4 MB/s", "Time taken: 2:05"}));
    EXPECT_EQ(rig.view.log[1].image, LOG_ERROR);
    EXPECT_FALSE(rig.view.running);
}

// A 17 TiB medium: positions, percentages and cells past every 32-bit
// figure, as the worker reports them halfway through the write test.
TEST_F(ErrorScanPresenterTest, FiguresAndMapsStayRightOnSeventeenTebibytes)
{
    record.sectorCount = 36507222016ull;
    ScanRig rig(&record);
    const uint64_t half = record.sectorCount / 2;
    script(rig, {{RUN_ACTIVE, SCAN_WRITE_CHUNK, 0, 0.3},
                 {RUN_ACTIVE, SCAN_WRITE_CHUNK, half - 128, 0.6, 0,
                  [&](const ErrorScanTexts& t) {
                      EXPECT_EQ(t.writePosition, "8912895 MB");
                      EXPECT_EQ(t.writePercent, "49 %");
                      rig.writeMap.MarkRange(int64_t(half) - 1, CELL_GOOD);
                      EXPECT_EQ(rig.writeMap.count(CELL_GOOD), kBlockMapCells / 2);
                  }},
                 {RUN_ACTIVE, SCAN_WRITE_CHUNK, record.sectorCount - 64, 0.9, 0,
                  [](const ErrorScanTexts& t) { EXPECT_EQ(t.writePercent, "100 %"); }}},
           kScanWriteTest);
}

TEST_F(ErrorScanPresenterTest, FailureShowsOneMessageAndReturnsToIdle)
{
    ScanRig rig(&record);
    script(rig, {{RUN_FAILED, SCAN_ENDED_EARLY, 0, 1.0}});
    EXPECT_EQ(rig.view.failures, (std::vector<std::string>{"Error! Test cancelled."}));
    EXPECT_FALSE(rig.view.running);
    EXPECT_TRUE(rig.view.startEnabled);
    EXPECT_TRUE(rig.mainControlsEnabled());
    EXPECT_EQ(rig.status.busy, 0);
}

TEST_F(ErrorScanPresenterTest, WorkerEndingWithoutItsLastReportStillEndsTheScan)
{
    ScanRig rig(&record);
    script(rig, {{RUN_ACTIVE, SCAN_WRITE_CHUNK, 0, 1.0}});
    EXPECT_FALSE(rig.presenter.active());
    EXPECT_TRUE(rig.mainControlsEnabled());
}

TEST_F(ErrorScanPresenterTest, ResetClearsTextsAndMaps)
{
    ScanRig rig(&record);
    rig.writeMap.SetUnits(3000, 0);
    rig.writeMap.MarkRange(10, CELL_FAILED);
    rig.presenter.ResetScanDisplay();
    EXPECT_EQ(rig.writeMap.count(CELL_UNTESTED), kBlockMapCells);
    EXPECT_EQ(rig.view.texts.writeBar, 0);
    rig.presenter.AddLogLine("x", LOG_WARNING);
    ASSERT_EQ(rig.view.log.size(), 1u);
    EXPECT_EQ(rig.view.log[0].time, "[12:34:56]");
    EXPECT_EQ(rig.view.log[0].image, LOG_WARNING);
}

TEST(ErrorScanClockTest, TimeOfDayIsBracketedHoursMinutesSeconds)
{
    const std::string t = RunClock::System().timeOfDay();
    ASSERT_EQ(t.size(), 10u);
    EXPECT_EQ(t[0], '[');
    EXPECT_EQ(t[3], ':');
    EXPECT_EQ(t[6], ':');
    EXPECT_EQ(t[9], ']');
}

}  // namespace
}  // namespace qv::test
