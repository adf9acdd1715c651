#include "core/mediatests/ChunkTransfers.h"
#include "core/mediatests/EraseWorker.h"
#include "core/mediatests/TransferIO.h"
#include "support/TransferRig.h"

namespace qv::test {
namespace {

// 5000 sectors: 39 whole chunks and one of 8 sectors.
constexpr uint32_t kSectors = 5000;

// What a run shows and leaves: its reports, its first failure, the chunks
// it counted as failed and the medium's bytes.
struct Outcome {
    std::vector<std::pair<int32_t, int64_t>> reports;
    std::string failure;
    int32_t failedChunks = 0;
    Bytes medium;
    bool operator==(const Outcome&) const = default;
};

class ChunkTransfersTest : public TransferRig {
protected:
    Outcome eraseWith(size_t requestBytes, const Bytes& before, const FaultPlan& plan)
    {
        attach(before, kSectors, plan);
        sink.reports.clear();
        status.failure.clear();
        status.setState(RUN_STARTING);
        SetTransferRequestBytes(requestBytes);
        EXPECT_EQ(EraseWorker(context), 1);
        return {sink.reports, FailureText(status.failure), record.errorCounters[0], medium()};
    }
};

// Failing sectors inside a request, across the boundary of two 1 MiB
// requests and in the short last chunk: each large request that fails is
// done again chunk by chunk, so the same chunks fail, in the same order of
// reports, as with one request per chunk.
TEST_F(ChunkTransfersTest, LargeRequestsFailTheSameChunksWithTheSameReportsAsOneChunkRequests)
{
    const Bytes before = randomBytes(kSectors * 512, 41);
    FaultPlan plan;
    plan.failingWrites = {{300, 1}, {2040, 20}, {4995, 1}};
    settings.eraseType = 1;

    const Outcome chunkwise = eraseWith(kTransferChunkBytes, before, plan);
    EXPECT_EQ(chunkwise.failedChunks, 4);  // chunks 2, 15, 16 and 39
    EXPECT_EQ(chunkwise.failure, "cannot write " + mediumPath + ", sector 256: Input/output error");
    EXPECT_TRUE(allZero(chunkwise.medium, 384 * 512, 1920 * 512));

    for (const size_t request : {size_t(10) * kTransferChunkBytes, size_t(1) << 20, kDefaultRequestBytes}) {
        SCOPED_TRACE(request);
        const Outcome large = eraseWith(request, before, plan);
        EXPECT_EQ(large.failure, "cannot write " + mediumPath + ", sector 256: Input/output error");
        EXPECT_TRUE(large == chunkwise);
    }
}

}  // namespace
}  // namespace qv::test
