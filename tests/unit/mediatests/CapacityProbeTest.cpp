#include "core/mediatests/CapacityProbe.h"
#include "core/mediatests/CapacityProbePresenter.h"
#include "core/run/SharedContext.h"
#include "core/text/StringIds.h"
#include "core/text/StringTable.h"
#include "platform/image/FaultyVolume.h"
#include "platform/image/ImageVolume.h"
#include "support/ScanRig.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <unistd.h>

namespace qv::test {
namespace {

constexpr uint64_t kMiB = 2048;  // sectors
// Random bytes over the start of every medium: the first run of probes,
// the first giant steps and the start of the flush.
constexpr uint64_t kFilledSectors = 40 * kMiB;

// A sparse image in memory-backed storage: random bytes at the start,
// holes (zeros) after.
class Medium {
public:
    explicit Medium(uint64_t sectors) : sectors_(sectors)
    {
        const char* base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
        path_ = std::string(base) + "/qv-probe-" + std::to_string(getpid()) + "-" + std::to_string(++serial_) + ".img";
        const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(::ftruncate(fd, off_t(sectors * 512)), 0);
        const std::vector<uint8_t> start = filled();
        EXPECT_EQ(::pwrite(fd, start.data(), start.size(), 0), ssize_t(start.size()));
        ::close(fd);
    }
    ~Medium() { std::filesystem::remove(path_); }

    // Every byte as it was made: the random start and zeros after.
    ::testing::AssertionResult unchanged() const
    {
        const int fd = ::open(path_.c_str(), O_RDONLY);
        const std::vector<uint8_t> start = filled();
        std::vector<uint8_t> block(1 << 20);
        for (uint64_t at = 0; at < sectors_ * 512; at += block.size()) {
            const ssize_t n = ::pread(fd, block.data(), block.size(), off_t(at));
            if (n <= 0) {
                ::close(fd);
                return ::testing::AssertionFailure() << "short read at " << at;
            }
            static const std::vector<uint8_t> zeros(1 << 20);
            const size_t given = at < start.size() ? std::min(size_t(n), size_t(start.size() - at)) : 0;
            const bool same = std::memcmp(block.data(), start.data() + std::min<size_t>(at, start.size()), given) == 0 &&
                              std::memcmp(block.data() + given, zeros.data(), size_t(n) - given) == 0;
            if (!same) {
                ::close(fd);
                return ::testing::AssertionFailure() << "changed in the MiB at " << at;
            }
        }
        ::close(fd);
        return ::testing::AssertionSuccess();
    }

    const std::string& path() const { return path_; }

private:
    std::vector<uint8_t> filled() const
    {
        std::vector<uint8_t> data(size_t(std::min(kFilledSectors, sectors_) * 512));
        std::mt19937_64 random(sectors_);
        for (size_t i = 0; i + 8 <= data.size(); i += 8) {
            const uint64_t v = random();
            std::memcpy(data.data() + i, &v, 8);
        }
        return data;
    }

    static inline int serial_ = 0;
    uint64_t sectors_;
    std::string path_;
};

class CapacityProbeTest : public ::testing::Test {
protected:
    void SetUp() override { UseEnglishTexts(true); }
    void TearDown() override { UseEnglishTexts(false); }

    // The probe over `medium` behind `plan`, claiming `claimed` sectors.
    ProbeResult probe(const Medium& medium, uint64_t claimed, FaultPlan plan, ProbeOptions options = small(),
                      CapacityProbe::Hooks hooks = {})
    {
        auto volume = std::make_shared<FaultyVolume>(ImageVolume::open(medium.path()), plan);
        faults = volume->stateShared();
        slot = volume;
        return CapacityProbe(slot, claimed, options, std::move(hooks)).run();
    }

    // A flush that fits media without a cache, to keep the tests quick.
    static ProbeOptions small()
    {
        ProbeOptions options;
        options.flushBytes = 4 << 20;
        return options;
    }

    HandleSlot slot;
    std::shared_ptr<FaultState> faults;
};

TEST_F(CapacityProbeTest, WrapAroundIsFoundToTheSectorAtSeveralSizes)
{
    // Below the first run of probes, a power of two, neither, and 1 GiB.
    for (uint64_t real : {1000ull, 131072ull, 999983ull, 2097152ull}) {
        SCOPED_TRACE(real);
        Medium medium(real);
        FaultPlan plan;
        plan.wrapSectors = real;
        const ProbeResult r = probe(medium, real * 16, plan);
        ASSERT_TRUE(r.completed);
        EXPECT_EQ(r.fault, ProbeFault::WrapAround);
        EXPECT_EQ(r.realSectors, real);
        EXPECT_EQ(r.unrestoredSectors, 0u);
        EXPECT_TRUE(medium.unchanged());
    }
    // Destructive, with a flush over the whole claimed size: the flush
    // wraps onto every probe and must not wipe them out.
    {
        Medium medium(70000);
        FaultPlan plan;
        plan.wrapSectors = 70000;
        ProbeOptions fast;
        fast.destructive = true;
        fast.flushBytes = 256 << 20;
        const ProbeResult d = probe(medium, 70000 * 4, plan, fast);
        EXPECT_EQ(d.fault, ProbeFault::WrapAround);
        EXPECT_EQ(d.realSectors, 70000u);
    }
    // 64 GB claimed on 4 GiB of flash.
    Medium medium(8388608);
    FaultPlan plan;
    plan.wrapSectors = 8388608;
    const ProbeResult r = probe(medium, 125000000, plan);
    EXPECT_EQ(r.realSectors, 8388608u);
    EXPECT_EQ(ProbeVerdict(r), "real capacity 4 GB of the 64 GB it claims");
    EXPECT_EQ(ProbeFaultText(r.fault), "sectors beyond the real size land on lower sectors");
    EXPECT_TRUE(medium.unchanged());
}

TEST_F(CapacityProbeTest, LostWritesAreFoundToTheSector)
{
    const uint64_t claimed = 4000000;
    // Inside the first run of probes, between two giant steps, the very
    // last sector; reads beyond giving zeros or the old data.
    for (uint64_t real : {uint64_t(40000), uint64_t(1234567), claimed - 1}) {
        for (bool zeros : {true, false}) {
            SCOPED_TRACE(std::to_string(real) + (zeros ? " zeros" : " old data"));
            Medium medium(claimed);
            FaultPlan plan;
            plan.lostWritesFrom = real;
            plan.lostReadZeros = zeros;
            const ProbeResult r = probe(medium, claimed, plan);
            ASSERT_TRUE(r.completed);
            EXPECT_EQ(r.fault, ProbeFault::LostWrites);
            EXPECT_EQ(r.realSectors, real);
            EXPECT_TRUE(medium.unchanged());
        }
    }
}

TEST_F(CapacityProbeTest, HonestMediumIsCapacityAsClaimedAndLeftAsItWas)
{
    const uint64_t claimed = 3000017;
    Medium medium(claimed);
    const ProbeResult r = probe(medium, claimed, {});
    ASSERT_TRUE(r.completed);
    EXPECT_EQ(r.fault, ProbeFault::None);
    EXPECT_EQ(r.realSectors, claimed);
    EXPECT_EQ(r.rounds, 1);
    EXPECT_EQ(ProbeVerdict(r), "capacity as claimed (1 GB)");
    EXPECT_EQ(r.savedSectors, r.probeSectors);
    EXPECT_TRUE(medium.unchanged());

    // Destructive: the same verdict without saving or writing back.
    ProbeOptions fast = small();
    fast.destructive = true;
    const ProbeResult d = probe(medium, claimed, {}, fast);
    EXPECT_EQ(d.fault, ProbeFault::None);
    EXPECT_EQ(d.savedSectors, 0u);
    EXPECT_EQ(d.sectorsWritten, d.probeSectors + fast.flushBytes / 512);
    EXPECT_EQ(d.sectorsRead, d.probeSectors);
    EXPECT_FALSE(medium.unchanged());
}

// A cache of 256 MiB that ignores flushes keeps lost and wrapped probes
// readable until enough other writes push them out.
TEST_F(CapacityProbeTest, WriteCacheOfSeveralHundredMiBIsFlushedThrough)
{
    FaultPlan lost;
    lost.lostWritesFrom = 700001;
    lost.lostReadZeros = true;
    lost.writeCacheSectors = 256 * kMiB;
    {
        Medium medium(4000000);
        const ProbeResult r = probe(medium, 4000000, lost, ProbeOptions{});
        EXPECT_EQ(r.fault, ProbeFault::LostWrites);
        EXPECT_EQ(r.realSectors, 700001u);
    }
    {
        // The control: too short a flush, and the cache hides the fault.
        Medium medium(4000000);
        ProbeOptions shortFlush;
        shortFlush.flushBytes = 64 << 20;
        EXPECT_EQ(probe(medium, 4000000, lost, shortFlush).fault, ProbeFault::None);
    }
    {
        // 8 GiB claimed on 1 GiB that wraps, behind the same cache.
        Medium medium(2097152);
        FaultPlan wrap;
        wrap.wrapSectors = 2097152;
        wrap.writeCacheSectors = 256 * kMiB;
        const ProbeResult r = probe(medium, 16777216, wrap, ProbeOptions{});
        EXPECT_EQ(r.fault, ProbeFault::WrapAround);
        EXPECT_EQ(r.realSectors, 2097152u);
    }
}

TEST_F(CapacityProbeTest, StopInEachStageWritesEverySavedSectorBack)
{
    const uint64_t claimed = 4000000;
    // Stops while the probes are written, during the flush, while they are
    // read back, and in the second round.
    for (uint64_t after : {1280ull, 131100ull, 140000ull, 180000ull, 300000ull}) {
        SCOPED_TRACE(after);
        Medium medium(claimed);
        FaultPlan plan;
        plan.lostWritesFrom = 1234567;
        uint64_t moved = 0;
        CapacityProbe::Hooks hooks;
        hooks.progress = [&](uint64_t done, uint64_t) { moved = done; };
        hooks.stopRequested = [&] { return moved >= after; };
        const ProbeResult r = probe(medium, claimed, plan, small(), hooks);
        EXPECT_TRUE(r.stopped);
        EXPECT_FALSE(r.completed);
        EXPECT_GT(r.savedSectors, 0u);
        EXPECT_EQ(r.unrestoredSectors, 0u);
        EXPECT_TRUE(medium.unchanged());
    }
}

TEST_F(CapacityProbeTest, DriveLeavingMidProbeIsAFailureNamingWhatStaysOverwritten)
{
    const uint64_t claimed = 4000000;
    Medium medium(claimed);
    FaultPlan plan;
    plan.removeAfter = 100;  // while the giant steps are written
    const ProbeResult r = probe(medium, claimed, plan);
    EXPECT_FALSE(r.completed);
    EXPECT_FALSE(r.stopped);
    EXPECT_EQ(r.error, ENODEV);
    EXPECT_EQ(r.failedOn, medium.path());
    EXPECT_GT(r.savedSectors, 0u);
    EXPECT_EQ(r.unrestoredSectors, r.savedSectors);
    ASSERT_FALSE(r.unrestored.empty());
    // Sorted and joined: the first run of probes and the giant step after it.
    EXPECT_EQ(r.unrestored.front().first, 0u);
    EXPECT_EQ(r.unrestored.front().count, kProbeStride + 1);
    EXPECT_FALSE(medium.unchanged());
}

TEST_F(CapacityProbeTest, FullHostFileSystemFailsTheProbeWithoutAVerdictOrAnOverwrittenSector)
{
    // The image's file system refuses writes from the giant steps on: no
    // capacity may be judged from that, and the refused probes were never
    // written, so nothing stays overwritten.
    const uint64_t claimed = 4000000;
    Medium medium(claimed);
    FaultPlan plan;
    plan.failingWrites = {{2 * kProbeStride, claimed}};
    plan.writeError = ENOSPC;
    const ProbeResult r = probe(medium, claimed, plan);
    EXPECT_FALSE(r.completed);
    EXPECT_TRUE(r.hostFault);
    EXPECT_EQ(r.error, ENOSPC);
    EXPECT_EQ(r.failedAction, str::kFailedHostWrite);
    EXPECT_EQ(r.failedOn, medium.path());
    EXPECT_GT(r.savedSectors, 0u);
    EXPECT_EQ(r.unrestoredSectors, 0u);
    EXPECT_TRUE(medium.unchanged());
}

// A listed drive record over the medium behind the plan.
void attach(DeviceRecord& record, const Medium& medium, uint64_t claimed, const FaultPlan& plan)
{
    record.listed = 1;
    record.sectorCount = uint32_t(claimed);
    record.handle = std::make_shared<FaultyVolume>(ImageVolume::open(medium.path()), plan);
}

// The worker on a drive record: progress through the record, a stop from
// the page mid-run, the overwritten sectors back.
class ReportingSink : public ProgressSink {
public:
    explicit ReportingSink(RunStatus& status) : status_(status) {}
    int64_t report(int32_t operation, int64_t value) override
    {
        EXPECT_EQ(operation, OP_CAPACITY_PROBE);
        phases.push_back({status_.state(), value});
        if (value == PROBE_PROGRESS && stopAt && ++progress == stopAt)
            status_.setState(RUN_STOP);
        return 1;
    }
    std::vector<std::pair<int32_t, int64_t>> phases;
    int stopAt = 0;
    int progress = 0;

private:
    RunStatus& status_;
};

TEST_F(CapacityProbeTest, WorkerReportsItsProgressAndHonoursAStop)
{
    const uint64_t claimed = 3000000;
    Medium medium(claimed);
    DeviceRecord record;
    FaultPlan plan;
    plan.wrapSectors = 500000;
    attach(record, medium, claimed, plan);
    RunStatus status;
    ReportingSink sink(status);
    status.progressWindow = &sink;
    SharedContext context;
    context.device = &record;
    context.status = &status;
    ProbeOptions options = small();

    status.setState(RUN_STARTING);
    ProbeResult result;
    EXPECT_EQ(CapacityProbeWorker(context, options, result), 1);
    EXPECT_EQ(result.realSectors, 500000u);
    ASSERT_FALSE(sink.phases.empty());
    EXPECT_EQ(sink.phases.back(), std::make_pair(int32_t(RUN_DONE), int64_t(PROBE_FINISHED)));
    EXPECT_EQ(record.position, record.total);
    EXPECT_TRUE(medium.unchanged());

    sink.phases.clear();
    sink.stopAt = 100;
    status.setState(RUN_STARTING);
    EXPECT_EQ(CapacityProbeWorker(context, options, result), 0);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(sink.phases.back(), std::make_pair(int32_t(RUN_STOP), int64_t(PROBE_ENDED_EARLY)));
    EXPECT_TRUE(medium.unchanged());
}

class ProbeTextsView : public CapacityProbeView {
public:
    void showTexts(const ProbeTexts& t) override { texts = t; }
    void showRunState(bool running, bool) override { this->running = running; }
    void showFailure(const std::string& message, const std::string& detail) override
    {
        failures.push_back(message + " / " + detail);
    }
    ProbeTexts texts;
    bool running = false;
    std::vector<std::string> failures;
};

// The presenter over the run protocol: the verdict when the probe ends; after
// a stop (idle at once), what the worker wrote back once it has ended; after
// the drive left, the failure and the sectors left overwritten.
TEST_F(CapacityProbeTest, PresenterShowsTheVerdictAndWhatWasWrittenBack)
{
    const uint64_t claimed = 3000000;
    Medium medium(claimed);
    DeviceRecord record;
    FaultPlan plan;
    plan.lostWritesFrom = 800000;
    attach(record, medium, claimed, plan);
    EventQueue queue;
    RunStatus status;
    FakeControl selector, format, refresh;
    status.deviceCount = 1;
    status.deviceSelector = &selector;
    status.formatButton = &format;
    status.refreshButton = &refresh;
    SharedContext context;
    context.device = &record;
    context.status = &status;
    RunController runs(context, queue.poster());
    ManualClock clock;
    ProbeTextsView view;
    CapacityProbePresenter presenter(context, runs, view, clock.clock());

    ASSERT_TRUE(presenter.Start(small()));
    queue.runUntil([&] { return !presenter.active(); });
    EXPECT_EQ(presenter.outcome(), RunOutcome::Completed);
    EXPECT_EQ(view.texts.verdict, "real capacity 409 MB of the 1 GB it claims");
    EXPECT_EQ(view.texts.fault, "data written beyond the real size are lost");
    EXPECT_EQ(view.texts.restore, "every overwritten sector was written back");
    EXPECT_EQ(view.texts.percent, "100 %");
    EXPECT_TRUE(medium.unchanged());

    int progress = 0;
    runs.onReport = [&](int32_t, int64_t value) {
        if (value == PROBE_PROGRESS && ++progress == 60)
            queue.post([&] {
                presenter.Stop();
                EXPECT_FALSE(view.running);
            });
    };
    ASSERT_TRUE(presenter.Start(small()));
    queue.runUntil([&] { return !presenter.active(); });
    EXPECT_EQ(presenter.outcome(), RunOutcome::Stopped);
    EXPECT_TRUE(presenter.result().stopped);
    EXPECT_EQ(view.texts.verdict, "");
    EXPECT_EQ(view.texts.restore, "every overwritten sector was written back");
    EXPECT_TRUE(medium.unchanged());

    runs.onReport = [&](int32_t, int64_t value) {
        if (value == PROBE_PROGRESS && ++progress == 120)
            record.handle->close();
    };
    ASSERT_TRUE(presenter.Start(small()));
    queue.runUntil([&] { return !presenter.active(); });
    EXPECT_EQ(presenter.outcome(), RunOutcome::Failed);
    ASSERT_EQ(view.failures.size(), 1u);
    EXPECT_NE(view.failures[0].find(medium.path()), std::string::npos) << view.failures[0];
    EXPECT_NE(view.texts.restore.find("sectors could not be written back"), std::string::npos);
}

}  // namespace
}  // namespace qv::test
