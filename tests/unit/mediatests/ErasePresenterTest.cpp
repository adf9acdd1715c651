#include "core/mediatests/ErasePresenter.h"
#include "core/run/EventQueue.h"
#include "support/ScanRig.h"
#include "support/TransferRig.h"

namespace qv::test {
namespace {

class EraseRecordingView : public RecordingRunView<EraseView> {
public:
    void showTexts(const EraseTexts& t) override { pushes.push_back(t); }
    void showMessage(const std::string& text) override { messages.push_back(text); }
    std::vector<EraseTexts> pushes;
    std::vector<std::string> messages;
};

// The erase page without widgets over an image drive of TransferRig.
class ErasePresenterTest : public TransferRig {
protected:
    void SetUp() override
    {
        TransferRig::SetUp();
        status.deviceCount = 1;
        status.deviceSelector = &selector;
        status.formatButton = &format;
        status.refreshButton = &refresh;
        runs.onReport = [this](int32_t, int64_t value) {
            if (onReport)
                onReport(value);
        };
    }
    bool run()
    {
        if (!presenter.Start())
            return false;
        queue.runUntil([this] { return !presenter.active(); });
        return true;
    }

    EventQueue queue;
    FakeControl selector, format, refresh;
    EraseRecordingView view;
    ManualClock clock;
    RunController runs{context, queue.poster()};
    ErasePresenter presenter{context, runs, view, clock.clock()};
    std::function<void(int64_t)> onReport;
};

TEST_F(ErasePresenterTest, FullEraseShowsFiguresFromTheFirstRefreshAndEndsWithTheMessage)
{
    attach(randomBytes(5000 * 512, 41), 5000);
    settings.eraseType = 1;
    ASSERT_TRUE(run());

    // The reset push, then the first refresh at sector 0.
    ASSERT_GE(view.pushes.size(), 3u);
    const EraseTexts& first = view.pushes[1];
    EXPECT_EQ(first.position, "0 MB");
    EXPECT_EQ(first.sector, "sector 126");
    EXPECT_EQ(first.percent, "0 %");
    EXPECT_EQ(first.speed, "0.0 MB/s");
    EXPECT_EQ(first.remaining, "-:--");
    EXPECT_EQ(first.errors, "0");
    // The last refresh (sector 4992 of sectorCount - 1) stays below 100 %.
    EXPECT_EQ(view.pushes[view.pushes.size() - 2].percent, "99 %");
    const EraseTexts& last = view.pushes.back();
    EXPECT_EQ(last.percent, "100 %");
    EXPECT_EQ(last.bar, 100);
    EXPECT_EQ(last.remaining, "0:00");
    EXPECT_EQ(view.messages, std::vector<std::string>{"Flash memory erased successfully"});
    EXPECT_TRUE(view.failures.empty());
    EXPECT_FALSE(view.running);
    EXPECT_TRUE(view.startEnabled);
    EXPECT_TRUE(selector.enabled && format.enabled && refresh.enabled);
    EXPECT_EQ(status.busy, 0);
    EXPECT_EQ(presenter.outcome(), RunOutcome::Completed);
}

TEST_F(ErasePresenterTest, QuickEraseShowsNothingUntilTheEnd)
{
    attach(randomBytes(5000 * 512, 42), 5000);
    settings.eraseType = 0;
    ASSERT_TRUE(run());
    for (size_t i = 0; i + 1 < view.pushes.size(); ++i) {
        EXPECT_EQ(view.pushes[i].position, "") << i;
        EXPECT_EQ(view.pushes[i].percent, "") << i;
        EXPECT_EQ(view.pushes[i].speed, "") << i;
    }
    EXPECT_EQ(view.pushes.back().percent, "100 %");
    EXPECT_EQ(view.pushes.back().remaining, "");
    EXPECT_EQ(view.messages, std::vector<std::string>{"Flash memory erased successfully"});
}

TEST_F(ErasePresenterTest, FailedChunksEndWithTheirCountAndTheFirstFailureNotWithSuccess)
{
    FaultPlan plan;
    plan.failingWrites.push_back({1200, 300});  // chunks 9 to 11
    attach(randomBytes(5000 * 512, 43), 5000, plan);
    settings.eraseType = 1;
    ASSERT_TRUE(run());
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(view.failures, std::vector<std::string>{"The erase has ended, but 3 blocks of 64 KB could not be written."});
    EXPECT_EQ(view.details,
              std::vector<std::string>{"cannot write " + mediumPath + ", sector 1152: Input/output error"});
    EXPECT_EQ(view.pushes.back().errors, "3");
    EXPECT_EQ(presenter.outcome(), RunOutcome::Failed);
    EXPECT_EQ(presenter.result().failedChunks, 3);
}

TEST_F(ErasePresenterTest, StopReturnsToIdleAtOnceAndNoEraseStartsBeforeTheWorkerHasEnded)
{
    attach(randomBytes(5000 * 512, 44), 5000);
    settings.eraseType = 1;
    bool restartRefused = false;
    onReport = [&](int64_t value) {
        if (value != 2048 || !presenter.running())
            return;
        presenter.Stop();
        EXPECT_FALSE(view.running);
        EXPECT_FALSE(view.startEnabled);  // the worker waits in this report
        restartRefused = !presenter.Start();
    };
    ASSERT_TRUE(run());
    EXPECT_TRUE(restartRefused);
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(presenter.outcome(), RunOutcome::Stopped);
    EXPECT_TRUE(view.startEnabled);

    onReport = nullptr;
    ASSERT_TRUE(run());
    EXPECT_EQ(view.messages, std::vector<std::string>{"Flash memory erased successfully"});
}

}  // namespace
}  // namespace qv::test
