#include "core/mediatests/EraseWorker.h"
#include "core/mediatests/TransferIO.h"
#include "support/TransferRig.h"

namespace qv::test {
namespace {

class EraseTest : public TransferRig {};

// 5000 sectors: 39 whole chunks and one of 8 sectors; 100 more sectors
// follow in the file beyond sectorCount.
constexpr uint32_t kSectors = 5000;

TEST_F(EraseTest, QuickEraseZeroesSectorsUpTo1024AndLeavesEveryLaterByte)
{
    const Bytes before = randomBytes((kSectors + 100) * 512, 1);
    attach(before, kSectors);
    settings.eraseType = 0;
    EXPECT_EQ(EraseWorker(context), 1);

    const Bytes after = medium();
    ASSERT_EQ(after.size(), before.size());
    EXPECT_TRUE(allZero(after, 0, 1025 * 512));
    EXPECT_TRUE(std::equal(after.begin() + 1025 * 512, after.end(), before.begin() + 1025 * 512));
    // Eight chunks: reported after the first and the last, then the end.
    const std::vector<std::pair<int32_t, int64_t>> expected = {{RUN_ACTIVE, 0}, {RUN_ACTIVE, 896}, {RUN_DONE, 0}};
    EXPECT_EQ(sink.reports, expected);
    EXPECT_EQ(record.errorCounters[0], 0);
}

TEST_F(EraseTest, FullEraseZeroesEverySectorBelowSectorCountAndNothingBeyond)
{
    const Bytes before = randomBytes((kSectors + 100) * 512, 2);
    attach(before, kSectors);
    settings.eraseType = 1;
    EXPECT_EQ(EraseWorker(context), 1);

    const Bytes after = medium();
    EXPECT_TRUE(allZero(after, 0, size_t(kSectors) * 512));
    EXPECT_TRUE(std::equal(after.begin() + kSectors * 512, after.end(), before.begin() + kSectors * 512));
    // Chunks 0, 16, 32 and the last (39, at sector 4992) are reported.
    const std::vector<std::pair<int32_t, int64_t>> expected = {
        {RUN_ACTIVE, 0}, {RUN_ACTIVE, 2048}, {RUN_ACTIVE, 4096}, {RUN_ACTIVE, 4992}, {RUN_DONE, 0}};
    EXPECT_EQ(sink.reports, expected);
}

TEST_F(EraseTest, FailedChunksAreCountedDescribedAndTheEraseGoesOn)
{
    const Bytes before = randomBytes(kSectors * 512, 3);
    FaultPlan plan;
    plan.failingWrites.push_back({1200, 300});  // chunks 9 to 11
    attach(before, kSectors, plan);
    settings.eraseType = 1;
    EXPECT_EQ(EraseWorker(context), 1);

    EXPECT_EQ(record.errorCounters[0], 3);
    EXPECT_EQ(FailureText(status.failure), "cannot write " + mediumPath + ", sector 1152: Input/output error");
    int failedReports = 0;
    for (const auto& [state, value] : sink.reports)
        failedReports += state == RUN_FAILED && value == 0;
    EXPECT_GE(failedReports, 3);
    EXPECT_EQ(sink.reports.back(), std::make_pair(int32_t(RUN_DONE), int64_t(0)));
    // The chunks around the failing ones were still zeroed.
    const Bytes after = medium();
    EXPECT_TRUE(allZero(after, 0, 1152 * 512));
    EXPECT_TRUE(allZero(after, 1536 * 512, size_t(kSectors) * 512));
}

// Requests of 2048 sectors: the first is reported while the second is
// written, and that one is the last to reach the medium.
TEST_F(EraseTest, StopEndsWithTheRequestInFlight)
{
    const Bytes before = randomBytes(kSectors * 512, 4);
    attach(before, kSectors);
    settings.eraseType = 1;
    sink.onReport = [&](int64_t) { status.setState(RUN_STOP); };
    EXPECT_EQ(EraseWorker(context), 0);

    const std::vector<std::pair<int32_t, int64_t>> expected = {{RUN_ACTIVE, 0}, {RUN_STOP, 0}};
    EXPECT_EQ(sink.reports, expected);
    const Bytes after = medium();
    EXPECT_TRUE(allZero(after, 0, 4096 * 512));
    EXPECT_TRUE(std::equal(after.begin() + 4096 * 512, after.end(), before.begin() + 4096 * 512));
}

}  // namespace
}  // namespace qv::test
