#pragma once

#include "core/device/HandleSlot.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qv {

struct SharedContext;

namespace str {
inline constexpr int kProbeVerdictFake = 40601;
inline constexpr int kProbeVerdictHonest = 40602;
inline constexpr int kProbeFaultWrap = 40603;
inline constexpr int kProbeFaultLost = 40604;
inline constexpr int kProbeTitle = 40605;
inline constexpr int kProbeFailed = 40606;
inline constexpr int kProbeNotRestored = 40607;
inline constexpr int kProbeRestored = 40608;
inline constexpr int kProbeWritesNote = 40609;
inline constexpr int kProbeButton = 40610;
inline constexpr int kProbeButtonTip = 40611;
inline constexpr int kProbeDestructiveBox = 40612;
inline constexpr int kProbeStartQuestion = 40613;
inline constexpr int kProbeStopped = 40614;
inline constexpr int kProbeMode = 40615;
inline constexpr int kProbeModeRestoring = 40616;
inline constexpr int kProbeModeDestructive = 40617;
inline constexpr int kProbeFlushSize = 40618;
inline constexpr int kProbeVerdictLabel = 40619;
inline constexpr int kProbeClaimedSize = 40620;
inline constexpr int kProbeRealSize = 40621;
inline constexpr int kProbeFaultLabel = 40622;
inline constexpr int kProbeNoFault = 40623;
inline constexpr int kProbeRounds = 40624;
inline constexpr int kProbeSectorsProbed = 40625;
inline constexpr int kProbeSectorsWritten = 40626;
inline constexpr int kProbeSectorsRead = 40627;
inline constexpr int kProbeOverwritten = 40628;
}  // namespace str

// The operation the capacity probe's reports name.
inline constexpr int32_t OP_CAPACITY_PROBE = 17;

enum ProbePhase : int64_t {
    PROBE_ENDED_EARLY = 0,  // stop or failure (runState says which)
    PROBE_PROGRESS = 1,     // record.position of record.total sectors moved
    PROBE_FINISHED = 2,     // the verdict is in the result
};

// Sectors between two probed positions of the first round, and the length
// of the run of consecutive probes at the start. A prime, so that no
// power-of-two wrap-around lines two probes up on the same sector.
inline constexpr uint64_t kProbeStride = 65521;

// Written (and, unless destructive, read first and written back unchanged)
// between the probes and their read-back, so that a drive-side write cache
// has handed every probe to the flash before it is read: a USB stick's or
// card's controller holds at most a few MiB of RAM, bridge chips with DRAM
// some tens to a few hundred MiB; 512 MiB exceeds every one of them.
inline constexpr uint64_t kProbeFlushBytes = uint64_t(512) << 20;

enum class ProbeFault {
    None,        // every probe came back: the capacity is as claimed
    WrapAround,  // sector s lands on sector s mod N
    LostWrites,  // what is written beyond the real size does not come back
};

struct ProbeOptions {
    // Skips saving the overwritten sectors and writing them back.
    bool destructive = false;
    uint64_t flushBytes = kProbeFlushBytes;
    // The run's tag; 0 takes a random one.
    uint64_t tag = 0;
};

struct ProbeRange {
    uint64_t first = 0;
    uint64_t count = 0;
};

struct ProbeResult {
    bool completed = false;  // a verdict was reached
    bool stopped = false;
    int error = 0;           // errno of the transfer that ended the probe
    int failedAction = 0;    // str::kFailedRead, kFailedWrite or kFailedMemory
    std::string failedOn;    // the drive it failed on
    bool hostFault = false;  // the image file's own file system failed, not the medium
    uint64_t claimedSectors = 0;
    uint64_t realSectors = 0;  // usable sectors from sector 0, exact to the sector
    ProbeFault fault = ProbeFault::None;
    int rounds = 0;
    uint64_t probeSectors = 0;    // tagged sectors written
    uint64_t sectorsWritten = 0;  // every sector written: probes, flush, write-back
    uint64_t sectorsRead = 0;
    uint64_t savedSectors = 0;
    // Saved sectors that could not be written back (the drive left or
    // refused the write): they hold probe data instead of their old bytes.
    uint64_t unrestoredSectors = 0;
    std::vector<ProbeRange> unrestored;  // joined, in sector order, the first 64
};

// The 512 bytes of a probe of `sector` under `tag`, and the reverse: the
// sector a block of 512 bytes names under `tag`, or nullopt when it is no
// intact probe of that tag.
void FillProbeSector(uint64_t tag, uint64_t sector, uint8_t* out);
std::optional<uint64_t> ProbeSectorIdentity(uint64_t tag, const uint8_t* data);

// Finds the real capacity of a medium that claims claimedSectors: probes
// the start sector by sector and every kProbeStride-th sector with
// self-identifying sectors, pushes them past any write cache, reads them
// back, and narrows the boundary in a second round. Unless destructive,
// every sector it overwrites is read first and written back when the
// round ends, also after a stop or a failure, as far as the drive answers.
class CapacityProbe {
public:
    struct Hooks {
        std::function<bool()> stopRequested;
        std::function<void(uint64_t done, uint64_t total)> progress;
    };
    CapacityProbe(const HandleSlot& handle, uint64_t claimedSectors, ProbeOptions options, Hooks hooks);
    ProbeResult run();

private:
    struct Round;
    enum class Io { Ok, Failed, Gone };
    enum class End { Done, Stopped, Gone };

    End runRound(Round& round);
    template <typename Piece>
    End eachPiece(const Round& round, Piece piece);
    End writeSpans(Round& round);
    End flushCache(const Round& round);
    End readSpans(Round& round);
    void restore(Round& round);
    bool judgeWrap(const Round& first);
    void judgeLost(const Round& first);
    void keepUnrestoredRanges();

    Io read(uint64_t sector, uint64_t count, uint8_t* buffer);
    Io write(uint64_t sector, uint64_t count, const uint8_t* buffer);
    Io transfer(bool writing, uint64_t sector, uint64_t count, uint8_t* buffer);
    bool stop();
    void advance(uint64_t sectors);

    const HandleSlot& handle_;
    const uint64_t n_;
    const ProbeOptions options_;
    Hooks hooks_;
    uint64_t runTag_ = 0;
    uint64_t done_ = 0;
    uint64_t total_ = 0;
    ProbeResult result_;
};

// The probe on the selected drive, as a worker: reports OP_CAPACITY_PROBE
// to status->progressWindow with record.position and record.total, honours
// RUN_STOP, and leaves its outcome in `result`. Returns 1 after a verdict,
// 0 after a stop or a failure.
int CapacityProbeWorker(SharedContext& context, const ProbeOptions& options, ProbeResult& result);

// "real capacity 3 GB of the 64 GB it claims" or "capacity as claimed
// (64 GB)", in the interface's language, sizes as every page states them.
std::string ProbeVerdict(const ProbeResult& result);
// What the fault is, in a few words; empty for none.
std::string ProbeFaultText(ProbeFault fault);

}  // namespace qv
