#include "core/run/ProgressMeter.h"
#include "core/run/PostedSink.h"
#include "core/run/RunFailure.h"
#include "core/text/StringIds.h"
#include "core/text/StringTable.h"
#include "support/EventLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <thread>

namespace qv {
namespace {

class ProgressMeterTest : public ::testing::Test {
protected:
    void SetUp() override { UseEnglishTexts(true); }
    void TearDown() override { UseEnglishTexts(false); }

    RunClock clock()
    {
        RunClock c = RunClock::System();
        c.tickMs = [this] { return now; };
        return c;
    }
    uint64_t now = 50000;
};

TEST_F(ProgressMeterTest, FirstRefreshAtZeroShowsZeroSpeedAndUnknownRemaining)
{
    ProgressMeter meter(clock());
    meter.start();
    meter.update(0, 1000000 - 1);  // a full erase divides by sectorCount - 1
    const auto& f = meter.figures();
    EXPECT_EQ(f.position, "0 MB");
    EXPECT_EQ(f.sector, "sector 126");
    EXPECT_EQ(f.percent, "0 %");
    EXPECT_EQ(f.speed, "0.0 MB/s");
    EXPECT_EQ(f.elapsed, "0:00");
    EXPECT_EQ(f.remaining, "-:--");
}

TEST_F(ProgressMeterTest, TimedFiguresChangeAtMostOnceASecond)
{
    ProgressMeter meter(clock());
    meter.start();
    now += 2000;
    meter.update(20480, 204800);  // 10 MB in 2 s, a tenth done
    EXPECT_EQ(meter.figures().speed, "5.0 MB/s");
    EXPECT_EQ(meter.figures().elapsed, "0:02");
    EXPECT_EQ(meter.figures().remaining, "0:18");
    now += 999;
    meter.update(40960, 204800);
    EXPECT_EQ(meter.figures().percent, "20 %");  // position figures follow every refresh
    EXPECT_EQ(meter.figures().speed, "5.0 MB/s");
    EXPECT_EQ(meter.figures().elapsed, "0:02");
    now += 1;
    meter.update(40960, 204800);  // 10 MB more in the 1000 ms since the last timed refresh
    EXPECT_EQ(meter.figures().speed, "10.0 MB/s");
    EXPECT_EQ(meter.figures().elapsed, "0:03");
    meter.finish();
    EXPECT_EQ(meter.figures().percent, "100 %");
    EXPECT_EQ(meter.figures().bar, 100);
    EXPECT_EQ(meter.figures().remaining, "0:00");
}

TEST_F(ProgressMeterTest, BackupShowsNoSpeedAtTheFirstRefresh)
{
    ProgressMeter meter(clock(), false);
    meter.start();
    now += 1500;
    meter.update(2048, 20480);
    EXPECT_EQ(meter.figures().speed, "");
    EXPECT_EQ(meter.figures().elapsed, "0:01");
    now += 1000;
    meter.update(4096, 20480);
    EXPECT_EQ(meter.figures().speed, "1.0 MB/s");
}

TEST(RunFailureTest, SaysWhatFailedOnWhatWithTheSystemsError)
{
    UseEnglishTexts(true);
    RunFailure failure;
    EXPECT_EQ(FailureText(failure), "");
    failure.set(str::kFailedOpen, "/missing.img", ENOENT);
    EXPECT_EQ(FailureText(failure), "cannot open /missing.img: No such file or directory");
    UseEnglishTexts(false);
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

TEST(PostedSink, WorkerWaitsForTheOwnersHandlerAndTheOwnerCallsItDirectly)
{
    test::EventLoop loop;
    std::thread::id handledOn;
    std::atomic<bool> returned{false};
    PostedSink sink(loop.poster(), [&](int32_t, int64_t value) -> int64_t {
        handledOn = std::this_thread::get_id();
        return value + 1;
    });
    EXPECT_EQ(sink.report(0, 1), 2);  // on the owner's thread: at once
    int64_t result = 0;
    std::thread worker([&] {
        result = sink.report(0, 41);
        returned = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(returned) << "the worker returned before its report was handled";
    ASSERT_TRUE(loop.pumpUntil([&] { return returned.load(); }));
    worker.join();
    EXPECT_EQ(result, 42);
    EXPECT_EQ(handledOn, std::this_thread::get_id());
}

}  // namespace
}  // namespace qv
