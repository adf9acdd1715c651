#include "core/device/SectorIO.h"
#include "core/mediatests/BenchFileSystem.h"
#include "core/mediatests/FileBenchPresenter.h"
#include "core/mediatests/FileBenchmarkWorker.h"
#include "core/mediatests/RawBenchPresenter.h"
#include "core/mediatests/RawBenchmarkWorker.h"
#include "core/run/EventQueue.h"
#include "core/run/RunController.h"
#include "core/run/SharedContext.h"
#include "core/settings/Settings.h"
#include "core/text/StringIds.h"
#include "core/text/StringTable.h"
#include "platform/image/FaultyVolume.h"
#include "support/MemoryFileSystem.h"
#include "support/MemoryVolume.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <map>

namespace qv::test {
namespace {

struct Failure {
    std::string message, detail;
};

class RecordingRawView : public RawBenchView {
public:
    void showTexts(const RawBenchTexts& t) override { texts = t; }
    void clearChart() override { points.clear(); ++clears; }
    void addPoint(const BenchSample& p) override { points.push_back(p); }
    void maximumSpeedRaised() override { ++raises; }
    void showRunState(bool r, bool) override { running = r; }
    void showFailure(const std::string& m, const std::string& d) override { failures.push_back({m, d}); }
    RawBenchTexts texts;
    std::vector<BenchSample> points;
    int clears = 0, raises = 0;
    bool running = false;
    std::vector<Failure> failures;
};

class RecordingFileView : public FileBenchView {
public:
    void clearChart() override { bars.clear(); }
    void drawBar(int index, int series) override { bars.push_back({index, series}); }
    void repaintAll() override { ++repaints; }
    void showRunState(bool r, bool) override { running = r; }
    void showFailure(const std::string& m, const std::string& d) override { failures.push_back({m, d}); }
    std::vector<std::pair<int, int>> bars;
    int repaints = 0;
    bool running = false;
    std::vector<Failure> failures;
};

struct BenchRig {
    BenchRig()
    {
        SetSettleDelayMs(0);
        UseEnglishTexts(true);
        status.deviceCount = 1;
        context.status = &status;
        context.settings = &settings;
        context.device = &record;
    }
    ~BenchRig() { UseEnglishTexts(false); }

    void attach(uint32_t sectors, std::optional<FaultPlan> plan = std::nullopt)
    {
        DeviceHandle volume = std::make_shared<MemoryVolume>(size_t(sectors) * 512);
        if (plan)
            volume = std::make_shared<FaultyVolume>(volume, *plan);
        record.handle = volume;
        record.listed = 1;
        record.sectorCount = sectors;
    }

    template <typename Presenter>
    bool run(Presenter& presenter)
    {
        if (!presenter.Start())
            return false;
        queue.runUntil([&] { return !presenter.active(); });
        return true;
    }

    EventQueue queue;
    RunStatus status;
    Settings settings;
    DeviceRecord record;
    SharedContext context;
    RunController runs{context, queue.poster()};
};

TEST(RawBenchPresenterTest, CompletedRunShowsAveragesAndEveryPoint)
{
    BenchRig rig;
    rig.attach(25600);
    rig.settings.testType = kBenchReadTest | kBenchWriteTest;
    RecordingRawView view;
    RawBenchPresenter presenter(rig.context, rig.runs, view);
    ASSERT_TRUE(rig.run(presenter));

    EXPECT_EQ(presenter.outcome(), RunOutcome::Completed);
    EXPECT_EQ(view.points.size(), 400u);
    EXPECT_EQ(view.texts.label[0], "Average speed:");
    EXPECT_EQ(view.texts.label[1], "Average speed:");
    EXPECT_EQ(view.texts.current[0], RawBenchFigures::SpeedText(RawBenchFigures::Average(rig.record.readSamples)));
    EXPECT_NE(view.texts.access[1], "");
    EXPECT_EQ(rig.record.benchTests, kBenchReadTest | kBenchWriteTest);
    EXPECT_FALSE(view.running);
    EXPECT_TRUE(view.failures.empty());
}

TEST(RawBenchPresenterTest, FailedReadShowsTheCancelTextAndKeepsTheFigures)
{
    BenchRig rig;
    FaultPlan plan;
    plan.failingReads.push_back({30 * 128, 1});
    rig.attach(25600, plan);
    rig.settings.testType = kBenchReadTest | kBenchWriteTest;
    RecordingRawView view;
    RawBenchPresenter presenter(rig.context, rig.runs, view);
    ASSERT_TRUE(rig.run(presenter));

    EXPECT_EQ(presenter.outcome(), RunOutcome::Failed);
    ASSERT_EQ(view.failures.size(), 1u);
    EXPECT_EQ(view.failures[0].message, "Error! Test cancelled.");
    EXPECT_NE(view.failures[0].detail.find("sector 3840"), std::string::npos) << view.failures[0].detail;
    EXPECT_NE(view.failures[0].detail.find("Input/output error"), std::string::npos);
    EXPECT_EQ(view.points.size(), 30u);
    EXPECT_EQ(view.texts.label[0], "Current:");
    EXPECT_NE(view.texts.current[0], "");
    EXPECT_NE(view.texts.maximum[0], "");
}

TEST(RawBenchPresenterTest, NoTestSelectedRefusesToStart)
{
    BenchRig rig;
    rig.attach(25600);
    rig.settings.testType = 0;
    RecordingRawView view;
    RawBenchPresenter presenter(rig.context, rig.runs, view);
    EXPECT_FALSE(presenter.Start());
}

TEST(FileBenchPresenterTest, BarsArriveWriteThenReadAndAScaleRaiseRepaintsThePage)
{
    BenchRig rig;
    rig.attach(2048);
    MemoryFileSystem files;
    files.freeMB = 3;
    RecordingFileView view;
    FileBenchPresenter presenter(rig.context, rig.runs, view, files);
    rig.runs.onReport = [&](int32_t, int64_t value) {
        if (value == 1)
            rig.status.redrawPending = 1;
    };
    ASSERT_TRUE(rig.run(presenter));
    EXPECT_EQ(presenter.outcome(), RunOutcome::Completed);
    EXPECT_EQ(view.bars, (std::vector<std::pair<int, int>>{{0, 2}, {0, 1}, {1, 2}, {1, 1}, {2, 2}, {2, 1}}));
    EXPECT_EQ(view.repaints, 1);
    EXPECT_EQ(rig.status.redrawPending.load(), 0);
    EXPECT_EQ(rig.settings.fileSizesMB[6], 15);
    EXPECT_EQ(rig.record.fileWriteSpeeds[3], -1);
    EXPECT_TRUE(files.files.empty());
}

TEST(FileBenchPresenterTest, UnmountedDriveFailsWithTheWriteTextAndAsksToMount)
{
    BenchRig rig;
    rig.attach(2048);
    MemoryFileSystem files;
    files.mounted = false;
    RecordingFileView view;
    FileBenchPresenter presenter(rig.context, rig.runs, view, files);
    ASSERT_TRUE(rig.run(presenter));
    ASSERT_EQ(view.failures.size(), 1u);
    EXPECT_EQ(view.failures[0].message, LoadText(str::kFileWriteError));
    EXPECT_NE(view.failures[0].detail.find("Mount it"), std::string::npos) << view.failures[0].detail;
    EXPECT_TRUE(view.bars.empty());
}

TEST(FileBenchPresenterTest, ReadFailureShowsTheReadText)
{
    BenchRig rig;
    rig.attach(2048);
    MemoryFileSystem files;
    files.failReads = true;
    RecordingFileView view;
    FileBenchPresenter presenter(rig.context, rig.runs, view, files);
    ASSERT_TRUE(rig.run(presenter));
    ASSERT_EQ(view.failures.size(), 1u);
    EXPECT_EQ(view.failures[0].message, "Error reading the file");
    EXPECT_NE(view.failures[0].detail.find("/media/stick/TESTFILE.TMP"), std::string::npos);
    EXPECT_EQ(view.bars, (std::vector<std::pair<int, int>>{{0, 2}}));
    EXPECT_TRUE(files.files.empty());
}

}  // namespace
}  // namespace qv::test
