#include "core/mediatests/BackupRestorePresenter.h"
#include "core/run/EventQueue.h"
#include "support/ScanRig.h"
#include "support/TransferRig.h"

namespace qv::test {
namespace {

class TransferRecordingView : public RecordingRunView<BackupRestoreView> {
public:
    void showTexts(TransferKind kind, const TransferTexts& t) override { pushes[int(kind)].push_back(t); }
    bool chooseFile(const FileRequest& request, std::string* path) override
    {
        requests.push_back(request);
        if (answer.empty())
            return false;
        *path = answer;
        return true;
    }
    std::vector<TransferTexts> pushes[2];
    std::vector<FileRequest> requests;
    std::string answer;
};

class BackupRestorePresenterTest : public TransferRig {
protected:
    void SetUp() override
    {
        TransferRig::SetUp();
        status.deviceCount = 1;
        runs.onReport = [this](int32_t, int64_t value) {
            if (onReport)
                onReport(value);
        };
    }
    void waitIdle() { queue.runUntil([this] { return !presenter.active(); }); }

    EventQueue queue;
    TransferRecordingView view;
    ManualClock clock;
    RunController runs{context, queue.poster()};
    BackupRestorePresenter presenter{context, runs, view, files, clock.clock()};
    std::function<void(int64_t)> onReport;
};

TEST_F(BackupRestorePresenterTest, BackupAndRestoreAnswerTheFileRequestAndFillTheirOwnGroup)
{
    const Bytes content = randomBytes(3000 * 512, 51);
    attach(content, 3000);
    view.answer = dir + "/stick.qvn";
    bool secondRefused = false;
    onReport = [&](int64_t) {
        if (presenter.running() && status.state() == RUN_ACTIVE)
            secondRefused = !presenter.StartRestore();
    };
    ASSERT_TRUE(presenter.StartBackup());
    waitIdle();
    EXPECT_TRUE(secondRefused);  // never two operations at once
    ASSERT_EQ(view.requests.size(), 1u);
    EXPECT_TRUE(view.requests[0].save);
    EXPECT_EQ(view.requests[0].filter, "QVN backup files|*.qvn||");
    EXPECT_EQ(readFile(view.answer), content);
    EXPECT_EQ(presenter.outcome(), RunOutcome::Completed);

    const std::vector<TransferTexts>& backup = view.pushes[int(TransferKind::Backup)];
    // No speed at the first refresh of a backup.
    auto firstActive = std::find_if(backup.begin(), backup.end(), [](const TransferTexts& t) { return !t.percent.empty(); });
    ASSERT_NE(firstActive, backup.end());
    EXPECT_EQ(firstActive->percent, "0 %");
    EXPECT_EQ(firstActive->speed, "");
    EXPECT_EQ(backup.back().percent, "100 %");
    EXPECT_EQ(backup.back().remaining, "0:00");
    EXPECT_EQ(view.pushes[int(TransferKind::Restore)].back().percent, "");

    // The same image onto another medium, read back afterwards.
    attach(randomBytes(3000 * 512, 52), 3000);
    onReport = nullptr;
    ASSERT_TRUE(presenter.StartRestore());
    waitIdle();
    EXPECT_EQ(medium(), content);
    const std::vector<TransferTexts>& restore = view.pushes[int(TransferKind::Restore)];
    EXPECT_TRUE(std::any_of(restore.begin(), restore.end(),
                            [](const TransferTexts& t) { return t.sector.rfind("Verifying: sector ", 0) == 0; }));
    EXPECT_EQ(restore.back().percent, "100 %");
    EXPECT_FALSE(view.requests.back().save);
    EXPECT_TRUE(view.failures.empty());
}

TEST_F(BackupRestorePresenterTest, CancelFailureAndTooLargeEachEndTheirWay)
{
    const Bytes content = randomBytes(2000 * 512, 53);
    FaultPlan plan;
    plan.failingWrites.push_back({1500, 1});
    attach(content, 2000, plan);

    view.answer.clear();
    ASSERT_TRUE(presenter.StartRestore());
    waitIdle();
    EXPECT_EQ(presenter.outcome(), RunOutcome::Stopped);
    EXPECT_TRUE(view.failures.empty());
    EXPECT_EQ(medium(), content);

    view.answer = dir + "/image.qvn";
    writeFile(view.answer, randomBytes(2000 * 512, 54));
    ASSERT_TRUE(presenter.StartRestore());
    waitIdle();
    EXPECT_EQ(presenter.outcome(), RunOutcome::Failed);
    ASSERT_EQ(view.failures.size(), 1u);
    EXPECT_EQ(view.failures[0], "Error! Test cancelled.");
    EXPECT_EQ(view.details[0], "cannot write " + mediumPath + ", sector 1408: Input/output error");

    writeFile(view.answer, randomBytes(2001 * 512, 55));
    ASSERT_TRUE(presenter.StartRestore());
    waitIdle();
    EXPECT_EQ(presenter.outcome(), RunOutcome::TooLarge);
    ASSERT_EQ(view.failures.size(), 2u);
    EXPECT_EQ(view.failures[1], "The source file is too large");
    EXPECT_FALSE(view.running);
    EXPECT_TRUE(view.startEnabled);
}

TEST_F(BackupRestorePresenterTest, RefusedImageIsShownAsAFailureAndTheMediumKeepsItsData)
{
    const Bytes content = randomBytes(2000 * 512, 56);
    attach(content, 2000);
    view.answer = dir + "/short.qvn";
    writeFile(view.answer, randomBytes(40, 57));
    ASSERT_TRUE(presenter.StartRestore());
    waitIdle();
    EXPECT_EQ(presenter.outcome(), RunOutcome::Failed);
    ASSERT_EQ(view.failures.size(), 1u);
    EXPECT_EQ(view.details[0], "the image is not a whole number of sectors: " + view.answer +
                                   " (40 bytes, and a sector is 512 bytes)");
    EXPECT_EQ(medium(), content);
}

}  // namespace
}  // namespace qv::test
