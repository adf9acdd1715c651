#include "core/mediatests/CapacityProbe.h"

#include "core/run/RunState.h"
#include "core/run/SharedContext.h"
#include "core/text/StringIds.h"
#include "core/text/StringTable.h"
#include "core/text/Units.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <numeric>
#include <random>

namespace qv {
namespace {

constexpr uint64_t kSector = 512;
// Sequential work (the first run of probes, the flush, the second round)
// moves this many sectors per transfer.
constexpr uint64_t kChunkSectors = 2048;
constexpr char kMagic[8] = {'Q', 'V', 'P', 'R', 'O', 'B', 'E', '1'};
// Pairs of sectors the second round writes to confirm a wrap-around.
constexpr uint64_t kWrapChecks = 16;
// Unrestored ranges kept for the report; the count covers them all.
constexpr size_t kUnrestoredRangesKept = 64;

uint64_t splitmix(uint64_t& state)
{
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

void putLE(uint8_t* out, uint64_t value)
{
    for (int i = 0; i < 8; ++i)
        out[i] = uint8_t(value >> (8 * i));
}

uint64_t getLE(const uint8_t* in)
{
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i)
        value = (value << 8) | in[i];
    return value;
}

struct AlignedFree {
    void operator()(uint8_t* p) const { std::free(p); }
};
using Buffer = std::unique_ptr<uint8_t, AlignedFree>;

// A transfer buffer of kChunkSectors; null, with the failure noted, when
// there is no memory.
Buffer chunkBuffer(ProbeResult& result)
{
    Buffer buffer(static_cast<uint8_t*>(std::aligned_alloc(4096, kChunkSectors * kSector)));
    if (!buffer) {
        result.error = ENOMEM;
        result.failedAction = str::kFailedMemory;
    }
    return buffer;
}

// What the read-back of a probe showed.
enum Seen : uint8_t {
    SEEN_NOTHING,
    SEEN_OWN,    // the probe itself
    SEEN_OTHER,  // another probe of the round: the two land on one sector
    SEEN_LOST,   // anything else, or the sector could not be read or written
};

}  // namespace

void FillProbeSector(uint64_t tag, uint64_t sector, uint8_t* out)
{
    std::memcpy(out, kMagic, 8);
    putLE(out + 8, tag);
    putLE(out + 16, sector);
    uint64_t state = tag ^ (sector * 0xD1B54A32D192ED03ull);
    for (int at = 24; at < 512; at += 8)
        putLE(out + at, splitmix(state));
}

std::optional<uint64_t> ProbeSectorIdentity(uint64_t tag, const uint8_t* data)
{
    if (std::memcmp(data, kMagic, 8) != 0 || getLE(data + 8) != tag)
        return std::nullopt;
    const uint64_t sector = getLE(data + 16);
    uint8_t expected[512];
    FillProbeSector(tag, sector, expected);
    if (std::memcmp(expected, data, 512) != 0)
        return std::nullopt;
    return sector;
}

// One round: probes written in ascending order, pushed past the cache, read
// back and (unless destructive) the old data written back.
struct CapacityProbe::Round {
    uint64_t tag = 0;
    std::vector<ProbeRange> spans;  // ascending, disjoint
    std::vector<uint8_t> seen;      // per probe sector, in span order
    std::vector<uint64_t> named;    // the sector a SEEN_OTHER probe named
    // The flush leaves out sectors s with s mod period < window, which
    // under a wrap-around of that period would land on the probes.
    uint64_t period = 0;
    uint64_t window = 0;

    struct Saved {
        uint64_t first;
        uint64_t count;
        std::vector<uint8_t> data;
    };
    std::vector<Saved> undo;

    void add(uint64_t first, uint64_t count)
    {
        if (count)
            spans.push_back({first, count});
    }
    uint64_t sectors() const
    {
        uint64_t total = 0;
        for (const ProbeRange& s : spans)
            total += s.count;
        return total;
    }
    bool probed(uint64_t sector) const
    {
        auto it = std::upper_bound(spans.begin(), spans.end(), sector,
                                   [](uint64_t s, const ProbeRange& r) { return s < r.first; });
        return it != spans.begin() && sector < std::prev(it)->first + std::prev(it)->count;
    }
    // Calls f(sector, index) for every probe sector in order.
    template <typename F>
    void each(F f) const
    {
        uint64_t index = 0;
        for (const ProbeRange& s : spans)
            for (uint64_t i = 0; i < s.count; ++i)
                f(s.first + i, index++);
    }
    uint64_t indexOf(uint64_t sector) const
    {
        uint64_t index = 0;
        for (const ProbeRange& s : spans) {
            if (sector >= s.first && sector < s.first + s.count)
                return index + sector - s.first;
            index += s.count;
        }
        return UINT64_MAX;
    }
};

CapacityProbe::CapacityProbe(const HandleSlot& handle, uint64_t claimedSectors, ProbeOptions options, Hooks hooks)
    : handle_(handle), n_(claimedSectors), options_(options), hooks_(std::move(hooks))
{
}

bool CapacityProbe::stop()
{
    return hooks_.stopRequested && hooks_.stopRequested();
}

void CapacityProbe::advance(uint64_t sectors)
{
    done_ += sectors;
    total_ = std::max(total_, done_);
    if (hooks_.progress)
        hooks_.progress(done_, total_);
}

CapacityProbe::Io CapacityProbe::transfer(bool writing, uint64_t sector, uint64_t count, uint8_t* buffer)
{
    const DeviceHandle volume = handle_.get();
    const int action = writing ? str::kFailedWrite : str::kFailedRead;
    if (!volume || !volume->isOpen()) {
        result_.error = ENODEV;
        result_.failedAction = action;
        return Io::Gone;
    }
    const size_t length = size_t(count * kSector);
    const int64_t moved = writing ? volume->writeAt(sector * kSector, buffer, length)
                                  : volume->readAt(sector * kSector, buffer, length);
    advance(count);
    if (moved == int64_t(length)) {
        (writing ? result_.sectorsWritten : result_.sectorsRead) += count;
        return Io::Ok;
    }
    const int error = moved < 0 ? int(-moved) : EIO;
    // The host's file under an image drive refused (its file system is
    // full, say): no verdict on the medium can follow. A short transfer is
    // left to the sector-by-sector retry, which finds the error's cause.
    if (moved < 0 && volume->hostFault(error)) {
        result_.error = error;
        result_.failedAction = writing ? str::kFailedHostWrite : str::kFailedRead;
        result_.hostFault = true;
        return Io::Gone;
    }
    if (error == ENODEV || error == ENXIO || error == EBADF || error == ENOMEDIUM || !volume->isOpen()) {
        result_.error = error;
        result_.failedAction = action;
        return Io::Gone;
    }
    return Io::Failed;
}

CapacityProbe::Io CapacityProbe::read(uint64_t sector, uint64_t count, uint8_t* buffer)
{
    return transfer(false, sector, count, buffer);
}

CapacityProbe::Io CapacityProbe::write(uint64_t sector, uint64_t count, const uint8_t* buffer)
{
    return transfer(true, sector, count, const_cast<uint8_t*>(buffer));
}

// Calls piece(first, count, index) over the round's probes in pieces of at
// most kChunkSectors (index: of the first in span order); ends at a drive
// that is gone or a stop.
template <typename Piece>
CapacityProbe::End CapacityProbe::eachPiece(const Round& round, Piece piece)
{
    uint64_t index = 0;
    for (const ProbeRange& span : round.spans) {
        for (uint64_t at = span.first; at < span.first + span.count;) {
            const uint64_t count = std::min(kChunkSectors, span.first + span.count - at);
            if (piece(at, count, index) == Io::Gone)
                return End::Gone;
            at += count;
            index += count;
            if (stop())
                return End::Stopped;
        }
    }
    return End::Done;
}

CapacityProbe::End CapacityProbe::writeSpans(Round& round)
{
    Buffer buffer = chunkBuffer(result_);
    if (!buffer)
        return End::Gone;
    round.seen.assign(round.sectors(), SEEN_NOTHING);
    round.named.assign(round.seen.size(), 0);
    return eachPiece(round, [&](uint64_t at, uint64_t count, uint64_t index) {
        // Sector by sector where a whole piece cannot be saved or written,
        // so that one bad sector costs only itself.
        const auto piece = [&](uint64_t first, uint64_t sectors) -> Io {
            uint8_t* data = buffer.get() + (first - at) * kSector;
            if (!options_.destructive) {
                const Io saved = read(first, sectors, data);
                if (saved != Io::Ok)
                    return saved;
                round.undo.push_back({first, sectors, std::vector<uint8_t>(data, data + sectors * kSector)});
                result_.savedSectors += sectors;
            }
            for (uint64_t i = 0; i < sectors; ++i)
                FillProbeSector(round.tag, first + i, data + i * kSector);
            result_.probeSectors += sectors;
            const Io written = write(first, sectors, data);
            // A write the host refused whole changed nothing to write back.
            if (written == Io::Gone && result_.hostFault && !options_.destructive) {
                round.undo.pop_back();
                result_.savedSectors -= sectors;
                result_.probeSectors -= sectors;
            }
            return written;
        };
        Io io = piece(at, count);
        if (io == Io::Failed && count > 1) {
            for (uint64_t i = 0; i < count && io != Io::Gone; ++i) {
                io = piece(at + i, 1);
                if (io == Io::Failed)
                    round.seen[index + i] = SEEN_LOST;
            }
        } else if (io == Io::Failed) {
            round.seen[index] = SEEN_LOST;
        }
        return io;
    });
}

CapacityProbe::End CapacityProbe::flushCache(const Round& round)
{
    Buffer buffer = chunkBuffer(result_);
    if (!buffer)
        return End::Gone;
    uint64_t budget = options_.flushBytes / kSector;
    const auto usable = [&](uint64_t s) {
        return !round.probed(s) && !(round.period && s % round.period < round.window);
    };
    // From the end of the first run of probes upwards, then the start.
    const uint64_t start = std::min(kProbeStride, n_);
    const std::pair<uint64_t, uint64_t> regions[] = {{start, n_}, {0, start}};
    for (const auto& [from, to] : regions) {
        uint64_t s = from;
        while (s < to && budget > 0) {
            while (s < to && !usable(s))
                ++s;
            uint64_t count = 0;
            while (s + count < to && count < std::min(kChunkSectors, budget) && usable(s + count))
                ++count;
            if (count == 0)
                break;
            // Unless destructive, each sector gets back the bytes it holds:
            // only the write itself matters to the cache. A destructive
            // flush writes probes of the round naming their own sectors:
            // where a wrap-around lands one on a probe of the first run,
            // that probe then names a sector a multiple of the real size
            // away, as a probe would, instead of being wiped out.
            if (options_.destructive)
                for (uint64_t i = 0; i < count; ++i)
                    FillProbeSector(round.tag, s + i, buffer.get() + i * kSector);
            const Io got = options_.destructive ? Io::Ok : read(s, count, buffer.get());
            if (got == Io::Gone)
                return End::Gone;
            if (got == Io::Ok && write(s, count, buffer.get()) == Io::Gone)
                return End::Gone;
            budget -= count;
            s += count;
            if (stop())
                return End::Stopped;
        }
    }
    return End::Done;
}

CapacityProbe::End CapacityProbe::readSpans(Round& round)
{
    Buffer buffer = chunkBuffer(result_);
    if (!buffer)
        return End::Gone;
    const auto judge = [&](uint64_t sector, uint64_t index, const uint8_t* data) {
        if (round.seen[index] == SEEN_LOST)
            return;  // never written
        const std::optional<uint64_t> named = ProbeSectorIdentity(round.tag, data);
        if (!named) {
            round.seen[index] = SEEN_LOST;
        } else if (*named == sector) {
            round.seen[index] = SEEN_OWN;
        } else {
            round.seen[index] = SEEN_OTHER;
            round.named[index] = *named;
        }
    };
    return eachPiece(round, [&](uint64_t at, uint64_t count, uint64_t index) {
        Io io = read(at, count, buffer.get());
        if (io == Io::Ok) {
            for (uint64_t i = 0; i < count; ++i)
                judge(at + i, index + i, buffer.get() + i * kSector);
            return io;
        }
        for (uint64_t i = 0; i < count && io != Io::Gone; ++i) {
            io = count > 1 ? read(at + i, 1, buffer.get()) : io;
            if (io == Io::Ok)
                judge(at + i, index + i, buffer.get());
            else
                round.seen[index + i] = SEEN_LOST;
        }
        return io;
    });
}

void CapacityProbe::restore(Round& round)
{
    // Last written first: where two probes land on one sector, the bytes
    // saved before the first of them are the ones that stay.
    for (auto it = round.undo.rbegin(); it != round.undo.rend(); ++it) {
        if (write(it->first, it->count, it->data.data()) == Io::Ok)
            continue;
        result_.unrestoredSectors += it->count;
        result_.unrestored.push_back({it->first, it->count});
    }
    round.undo.clear();
    if (const DeviceHandle volume = handle_.get(); volume && volume->isOpen())
        volume->flush();
}

CapacityProbe::End CapacityProbe::runRound(Round& round)
{
    ++result_.rounds;
    End end = writeSpans(round);
    if (end == End::Done) {
        if (const DeviceHandle volume = handle_.get(); volume && volume->isOpen())
            volume->flush();
        end = flushCache(round);
    }
    if (end == End::Done)
        end = readSpans(round);
    restore(round);
    return end;
}

// Probes that named other probes mean wrap-around: every distance between
// a probe and the one it named is a multiple of the real size, and with a
// prime stride the smallest such distance is the real size itself. A second
// round confirms it with pairs of sectors that distance apart.
bool CapacityProbe::judgeWrap(const Round& first)
{
    uint64_t period = 0;
    first.each([&](uint64_t sector, uint64_t index) {
        if (first.seen[index] == SEEN_OTHER) {
            const uint64_t named = first.named[index];
            period = std::gcd(period, named > sector ? named - sector : sector - named);
        }
    });
    if (period == 0 || period >= n_)
        return false;
    Round check;
    check.tag = splitmix(runTag_);
    const uint64_t pairs = std::min({kWrapChecks, period, n_ - period});
    check.add(0, pairs);
    check.add(period, pairs);
    check.period = period;
    check.window = pairs;
    const End end = runRound(check);
    if (end == End::Stopped)
        result_.stopped = true;
    if (end != End::Done)
        return false;
    for (uint64_t x = 0; x < pairs; ++x) {
        const uint64_t low = check.indexOf(x);
        const uint64_t high = check.indexOf(x + period);
        if (check.seen[low] != SEEN_OTHER || check.named[low] != x + period || check.seen[high] != SEEN_OWN)
            return false;
    }
    result_.fault = ProbeFault::WrapAround;
    result_.realSectors = period;
    result_.completed = true;
    return true;
}

// Probes that did not come back: the real size ends at the first of them.
// Between the last good probe below it and that one, the second round
// probes every sector.
void CapacityProbe::judgeLost(const Round& first)
{
    uint64_t good = UINT64_MAX;
    uint64_t bad = UINT64_MAX;
    first.each([&](uint64_t sector, uint64_t index) {
        if (bad != UINT64_MAX)
            return;
        if (first.seen[index] == SEEN_OWN)
            good = sector;
        else
            bad = sector;
    });
    result_.fault = ProbeFault::LostWrites;
    result_.realSectors = bad;
    const uint64_t from = good == UINT64_MAX ? 0 : good + 1;
    if (bad > from) {
        Round narrow;
        narrow.tag = splitmix(runTag_);
        narrow.add(from, bad - from);
        const End end = runRound(narrow);
        if (end != End::Done) {
            result_.stopped = end == End::Stopped;
            return;
        }
        narrow.each([&](uint64_t sector, uint64_t index) {
            if (narrow.seen[index] != SEEN_OWN && sector < result_.realSectors)
                result_.realSectors = sector;
        });
    }
    result_.completed = true;
}

// In order of the sectors, neighbours joined, the first few kept.
void CapacityProbe::keepUnrestoredRanges()
{
    std::vector<ProbeRange>& ranges = result_.unrestored;
    std::sort(ranges.begin(), ranges.end(), [](const ProbeRange& a, const ProbeRange& b) { return a.first < b.first; });
    std::vector<ProbeRange> joined;
    for (const ProbeRange& r : ranges) {
        if (!joined.empty() && joined.back().first + joined.back().count >= r.first)
            joined.back().count = std::max(joined.back().count, r.first + r.count - joined.back().first);
        else
            joined.push_back(r);
    }
    if (joined.size() > kUnrestoredRangesKept)
        joined.resize(kUnrestoredRangesKept);
    ranges = std::move(joined);
}

ProbeResult CapacityProbe::run()
{
    result_ = ProbeResult{};
    result_.claimedSectors = n_;
    if (const DeviceHandle volume = handle_.get())
        result_.failedOn = volume->path();
    runTag_ = options_.tag;
    if (runTag_ == 0) {
        std::random_device random;
        runTag_ = (uint64_t(random()) << 32) ^ random() ^ 1;
    }
    if (n_ == 0) {
        result_.completed = true;
        return result_;
    }

    Round first;
    first.tag = splitmix(runTag_);
    first.add(0, std::min(kProbeStride, n_));
    for (uint64_t s = kProbeStride; s < n_ - 1; s += kProbeStride)
        first.add(s, 1);
    if (n_ > kProbeStride)
        first.add(n_ - 1, 1);

    const uint64_t passes = options_.destructive ? 2 : 4;
    const uint64_t flush = std::min(options_.flushBytes / kSector, n_) * (options_.destructive ? 1 : 2);
    total_ = 2 * flush + passes * (first.sectors() + std::min(kProbeStride, n_));

    const End end = runRound(first);
    if (end == End::Stopped) {
        result_.stopped = true;
    } else if (end == End::Done) {
        bool clean = true;
        for (uint8_t seen : first.seen)
            clean = clean && seen == SEEN_OWN;
        if (clean) {
            result_.realSectors = n_;
            result_.completed = true;
        } else if (!judgeWrap(first) && !result_.stopped && result_.error == 0) {
            judgeLost(first);
        }
    }
    if (!result_.completed && !result_.stopped && result_.error == 0) {
        result_.error = EIO;
        result_.failedAction = str::kFailedRead;
    }
    keepUnrestoredRanges();
    if (hooks_.progress)
        hooks_.progress(done_, done_);
    return result_;
}

int CapacityProbeWorker(SharedContext& context, const ProbeOptions& options, ProbeResult& result)
{
    if (!context.device || !context.status || !context.status->progressWindow)
        return 0;
    DeviceRecord& record = *context.device;
    RunStatus& status = *context.status;
    const auto report = [&](int64_t phase) { status.progressWindow->report(OP_CAPACITY_PROBE, phase); };

    int32_t expected = RUN_STARTING;
    status.runState.compare_exchange_strong(expected, RUN_ACTIVE, std::memory_order_relaxed);
    record.position = 0;
    record.total = 0;
    CapacityProbe::Hooks hooks;
    hooks.stopRequested = [&] { return status.state() == RUN_STOP; };
    hooks.progress = [&](uint64_t done, uint64_t total) {
        record.position = done;
        record.total = total;
        report(PROBE_PROGRESS);
    };
    CapacityProbe probe(record.handle, record.sectorCount, options, std::move(hooks));
    result = probe.run();
    if (result.stopped || status.state() == RUN_STOP) {
        report(PROBE_ENDED_EARLY);
        return 0;
    }
    if (!result.completed) {
        status.failure.set(result.failedAction, result.failedOn, result.error);
        status.setState(RUN_FAILED);
        report(PROBE_ENDED_EARLY);
        return 0;
    }
    // A stop that arrives now finds the verdict already made; the page
    // still sees RUN_STOP and takes the run as stopped.
    expected = RUN_ACTIVE;
    if (!status.runState.compare_exchange_strong(expected, RUN_DONE, std::memory_order_relaxed)) {
        report(PROBE_ENDED_EARLY);
        return 0;
    }
    report(PROBE_FINISHED);
    return 1;
}

std::string ProbeVerdict(const ProbeResult& result)
{
    char text[256];
    if (result.fault == ProbeFault::None)
        std::snprintf(text, sizeof text, LoadText(str::kProbeVerdictHonest).c_str(), SizeText(result.claimedSectors * kSector).c_str());
    else
        std::snprintf(text, sizeof text, LoadText(str::kProbeVerdictFake).c_str(), SizeText(result.realSectors * kSector).c_str(),
                      SizeText(result.claimedSectors * kSector).c_str());
    return text;
}

std::string ProbeFaultText(ProbeFault fault)
{
    switch (fault) {
    case ProbeFault::WrapAround:
        return LoadText(str::kProbeFaultWrap);
    case ProbeFault::LostWrites:
        return LoadText(str::kProbeFaultLost);
    case ProbeFault::None:
        break;
    }
    return {};
}

}  // namespace qv
