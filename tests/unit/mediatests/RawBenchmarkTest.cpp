#include "core/device/SectorIO.h"
#include "core/mediatests/RawBenchmarkWorker.h"
#include "core/run/RunState.h"
#include "core/run/SharedContext.h"
#include "core/settings/Settings.h"
#include "core/text/StringIds.h"
#include "core/text/StringTable.h"
#include "platform/image/FaultyVolume.h"
#include "support/DirectSink.h"
#include "support/MemoryVolume.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <set>
#include <vector>

namespace qv::test {
namespace {

// Remembers every transfer in sectors: (first sector, count, write).
struct Transfer {
    uint64_t sector;
    uint64_t count;
    bool write;
    bool zeros;
};

class RecordingVolume : public Volume {
public:
    explicit RecordingVolume(DeviceHandle inner, std::vector<Transfer>& log) : inner_(std::move(inner)), log_(log) {}
    int64_t readAt(uint64_t offset, void* buffer, size_t length) override
    {
        log_.push_back({offset / 512, length / 512, false, false});
        return inner_->readAt(offset, buffer, length);
    }
    int64_t writeAt(uint64_t offset, const void* buffer, size_t length) override
    {
        const auto* bytes = static_cast<const uint8_t*>(buffer);
        bool zeros = true;
        for (size_t i = 0; i < length && zeros; ++i)
            zeros = bytes[i] == 0;
        log_.push_back({offset / 512, length / 512, true, zeros});
        return inner_->writeAt(offset, buffer, length);
    }
    bool flush() override { return inner_->flush(); }
    void close() override { inner_->close(); }
    bool isOpen() const override { return inner_->isOpen(); }
    std::shared_ptr<Volume> reopen() override
    {
        auto fresh = inner_->reopen();
        return fresh ? std::make_shared<RecordingVolume>(fresh, log_) : nullptr;
    }
    ScsiResult scsi(const ScsiRequest& r) override { return inner_->scsi(r); }
    std::string path() const override { return "/dev/sdq"; }

private:
    DeviceHandle inner_;
    std::vector<Transfer>& log_;
};

class RawBenchmarkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetSettleDelayMs(0);
        UseEnglishTexts(true);
    }
    void TearDown() override { UseEnglishTexts(false); }

    void attach(uint32_t sectors, std::optional<FaultPlan> plan = std::nullopt)
    {
        memory = std::make_shared<MemoryVolume>(size_t(sectors) * 512);
        DeviceHandle volume = std::make_shared<RecordingVolume>(memory, log);
        if (plan)
            volume = std::make_shared<FaultyVolume>(volume, *plan);
        record.handle = volume;
        record.listed = 1;
        record.sectorCount = sectors;
        sink.status = &status;
        status.progressWindow = &sink;
        context.device = &record;
        context.status = &status;
        context.settings = &settings;
    }

    int run(int32_t tests)
    {
        settings.testType = tests;
        status.setState(RUN_STARTING);
        return RawBenchmarkWorker(context);
    }

    std::vector<Transfer> transfers(bool write) const
    {
        std::vector<Transfer> out;
        for (const Transfer& t : log)
            if (t.write == write)
                out.push_back(t);
        return out;
    }

    int count(int32_t operation, int64_t value) const
    {
        int n = 0;
        for (const auto& r : sink.reports)
            n += r.operation == operation && r.value == value;
        return n;
    }

    std::vector<Transfer> log;
    std::shared_ptr<MemoryVolume> memory;
    DeviceRecord record;
    RunStatus status;
    Settings settings;
    SharedContext context;
    DirectSink sink;
};

TEST(RawBenchGeometryTest, SegmentsAreCutIntoChunksWithTheRemainderLast)
{
    const BenchGeometry g = RawBenchGeometry(25600);
    EXPECT_EQ(g.sectorsPerSample, 128u);
    EXPECT_EQ(g.chunks, 1u);
    EXPECT_EQ(g.lastChunk, 128u);
    EXPECT_EQ(g.randomBound, 25600u - 256);

    const BenchGeometry odd = RawBenchGeometry(200 * 300 + 77);
    EXPECT_EQ(odd.sectorsPerSample, 300u);
    EXPECT_EQ(odd.chunks, 3u);
    EXPECT_EQ(odd.lastChunk, 44u);

    // Below 200 sectors no segment has a sector, the last chunk stays 128
    // and no random position fits two chunks off the end.
    EXPECT_EQ(RawBenchGeometry(199).sectorsPerSample, 0u);
    EXPECT_EQ(RawBenchGeometry(199).randomBound, 0u);
    EXPECT_EQ(RawBenchGeometry(200).randomBound, 198u);

    // 17 TiB: 200 segments reach all but the last 16 sectors.
    const BenchGeometry big = RawBenchGeometry(36507222016ull);
    EXPECT_EQ(big.sectorsPerSample, 182536110u);
    EXPECT_EQ((big.chunks - 1) * 128 + big.lastChunk, big.sectorsPerSample);
    EXPECT_EQ(big.lastChunk, 46u);
    EXPECT_EQ(big.randomBound, 36507222016ull - 92);
}

TEST_F(RawBenchmarkTest, ReadTestOfOneFullChunkPerSegmentCoversTheMediumAndLeavesItUnchanged)
{
    attach(25600);
    EXPECT_EQ(run(kBenchReadTest), 1);

    EXPECT_EQ(record.readSampleCount, 200);
    EXPECT_EQ(record.writeSampleCount, 0);
    const auto reads = transfers(false);
    // Sector 0 first, then 200 segments of one chunk, then 100 random sectors.
    ASSERT_EQ(reads.size(), 1u + 200 + 100);
    for (int s = 0; s < 200; ++s) {
        EXPECT_EQ(reads[1 + s].sector, uint64_t(s) * 128);
        EXPECT_EQ(reads[1 + s].count, 128u);
    }
    for (size_t i = 201; i < reads.size(); ++i) {
        EXPECT_EQ(reads[i].count, 1u);
        EXPECT_LT(reads[i].sector, 25600u - 256);
    }
    EXPECT_TRUE(transfers(true).empty());
    for (int s = 0; s < 200; ++s)
        EXPECT_GT(record.readSamples[s], 0);
    EXPECT_GE(record.readAccessMs, 0.0);

    EXPECT_EQ(count(OP_RAW_BENCH, kBenchReadSeries), 201);  // 200 samples and the final report
    EXPECT_EQ(count(OP_RAW_BENCH_ACCESS, kBenchReadSeries), 1);
    ASSERT_FALSE(sink.reports.empty());
    EXPECT_EQ(sink.reports.back().state, RUN_DONE);
}

TEST_F(RawBenchmarkTest, FullLastChunkWhenSamplesAreAMultipleOf128)
{
    attach(200 * 256 + 100);
    ASSERT_EQ(run(kBenchReadTest), 1);
    const auto reads = transfers(false);
    ASSERT_EQ(reads.size(), 1u + 400 + 100);
    uint64_t next = 0;
    for (size_t i = 1; i <= 400; ++i) {
        EXPECT_EQ(reads[i].sector, next);
        EXPECT_EQ(reads[i].count, 128u);
        next += reads[i].count;
    }
    EXPECT_EQ(next, 200u * 256);  // the last 100 sectors are never measured
}

TEST_F(RawBenchmarkTest, WriteOnlyLeavesTheReadColumnEmptyAndWipesFirst)
{
    attach(25600);
    ASSERT_EQ(run(kBenchWriteTest), 1);

    EXPECT_EQ(record.readSampleCount, 0);
    EXPECT_EQ(record.writeSampleCount, 200);
    EXPECT_EQ(count(OP_RAW_BENCH, kBenchWriteSeries), 200);
    EXPECT_EQ(count(OP_RAW_BENCH_ACCESS, kBenchReadSeries), 0);
    EXPECT_EQ(count(OP_RAW_BENCH_ACCESS, kBenchWriteSeries), 1);

    const auto writes = transfers(true);
    ASSERT_EQ(writes.size(), 9u + 200 + 50);
    // The wipe: sector 0, then 1024 sectors, all zeros.
    EXPECT_EQ(writes[0].sector, 0u);
    EXPECT_EQ(writes[0].count, 1u);
    for (size_t i = 0; i < 9; ++i)
        EXPECT_TRUE(writes[i].zeros);
    // The measured writes carry random bytes, not what was read or zeros.
    for (size_t i = 9; i < writes.size(); ++i)
        EXPECT_FALSE(writes[i].zeros);
    EXPECT_EQ(writes[9].sector, 0u);
    EXPECT_EQ(writes[9 + 199].sector, 199u * 128);
    // The wipe reopened the volume: the medium is read through the new handle.
    std::vector<uint8_t> sector(512);
    ASSERT_EQ(record.handle->readAt(5000 * 512, sector.data(), 512), 512);
    std::set<uint8_t> values(sector.begin(), sector.end());
    EXPECT_GT(values.size(), 200u);
}

TEST_F(RawBenchmarkTest, StopDuringTheReadTestSkipsTheWipeAndTheWriteTest)
{
    attach(25600);
    sink.onReport = [this](int32_t op, int64_t value) {
        if (op == OP_RAW_BENCH && value == kBenchReadSeries && record.readSampleCount == 9)
            status.setState(RUN_STOP);
    };
    EXPECT_EQ(run(kBenchReadTest | kBenchWriteTest), 0);

    EXPECT_TRUE(transfers(true).empty());
    EXPECT_EQ(record.writeSampleCount, 0);
    // The stop is seen after the next transfer; the sample in hand is the last.
    EXPECT_EQ(record.readSampleCount, 10);
    EXPECT_EQ(sink.reports.back().state, RUN_STOP);
    EXPECT_EQ(count(OP_RAW_BENCH_ACCESS, kBenchReadSeries), 0);
}

TEST_F(RawBenchmarkTest, StopBeforeTheWorkerStartsIsNotLost)
{
    attach(25600);
    settings.testType = kBenchReadTest | kBenchWriteTest;
    status.setState(RUN_STOP);
    EXPECT_EQ(RawBenchmarkWorker(context), 0);
    EXPECT_TRUE(transfers(true).empty());
    ASSERT_EQ(sink.reports.size(), 1u);
    EXPECT_EQ(sink.reports[0].state, RUN_STOP);
}

TEST_F(RawBenchmarkTest, FailedReadEndsTheRunKeepingTheSamplesAndNamesTheSectors)
{
    FaultPlan plan;
    plan.failingReads.push_back({50 * 128 + 3, 1});
    attach(25600, plan);
    EXPECT_EQ(run(kBenchReadTest | kBenchWriteTest), 0);

    EXPECT_EQ(record.readSampleCount, 50);
    EXPECT_TRUE(transfers(true).empty());
    EXPECT_EQ(sink.reports.back().state, RUN_FAILED);
    EXPECT_EQ(count(OP_RAW_BENCH, kBenchReadSeries), 51);
    EXPECT_EQ(status.failure.action, str::kFailedRead);
    EXPECT_EQ(status.failure.object, "/dev/sdq (sector 6400)");
    EXPECT_EQ(status.failure.error, EIO);
}

TEST_F(RawBenchmarkTest, ShortReadAtTheEndCountsAsAFailure)
{
    FaultPlan plan;
    plan.shortReadsFrom = 100 * 128;
    attach(25600, plan);
    EXPECT_EQ(run(kBenchReadTest), 0);
    EXPECT_EQ(record.readSampleCount, 100);
    EXPECT_EQ(sink.reports.back().state, RUN_FAILED);
    EXPECT_EQ(status.failure.action, str::kFailedRead);
    EXPECT_EQ(status.failure.error, 0);
}

TEST_F(RawBenchmarkTest, TinyMediumRunsWithoutSamplesOrAccessTimes)
{
    // 150 sectors: no segment of even one sector, and no room for random
    // positions two chunks off the end; the wipe runs past the end.
    attach(150);
    EXPECT_EQ(run(kBenchReadTest | kBenchWriteTest), 1);
    EXPECT_EQ(record.readSampleCount, 0);
    EXPECT_EQ(record.writeSampleCount, 0);
    EXPECT_EQ(record.readAccessMs, kAccessNotMeasured);
    EXPECT_EQ(record.writeAccessMs, kAccessNotMeasured);
    EXPECT_EQ(count(OP_RAW_BENCH_ACCESS, kBenchReadSeries), 1);
    EXPECT_EQ(count(OP_RAW_BENCH_ACCESS, kBenchWriteSeries), 1);
    EXPECT_EQ(sink.reports.back().state, RUN_DONE);
}

}  // namespace
}  // namespace qv::test
