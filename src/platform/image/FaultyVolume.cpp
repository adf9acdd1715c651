#include "platform/image/FaultyVolume.h"

#include "core/device/Scsi.h"

#include <cerrno>
#include <algorithm>
#include <cstring>

namespace qv {
namespace {

bool anyTouches(const std::vector<SectorRange>& ranges, uint64_t start, uint64_t sectors)
{
    for (const SectorRange& r : ranges)
        if (r.touches(start, sectors))
            return true;
    return false;
}

uint64_t sectorsSpanned(uint64_t offset, size_t length)
{
    if (length == 0)
        return 0;
    return (offset + length - 1) / 512 - offset / 512 + 1;
}

}  // namespace

bool FaultState::admit()
{
    if (removed)
        return false;
    const uint64_t n = transfers.fetch_add(1) + 1;
    if (plan.removeAfter && n > *plan.removeAfter) {
        removed = true;
        return false;
    }
    return true;
}

FaultyVolume::FaultyVolume(DeviceHandle inner, FaultPlan plan)
    : inner_(std::move(inner)), state_(std::make_shared<FaultState>(std::move(plan)))
{
}

FaultyVolume::FaultyVolume(DeviceHandle inner, std::shared_ptr<FaultState> state)
    : inner_(std::move(inner)), state_(std::move(state))
{
}

// Runs a transfer piece by piece through the wrap-around mapping.
template <typename Transfer>
int64_t FaultyVolume::mapped(uint64_t offset, size_t length, Transfer transfer)
{
    const uint64_t wrap = state_->plan.wrapSectors * 512;
    if (wrap == 0)
        return transfer(offset, size_t(0), length);
    size_t done = 0;
    while (done < length) {
        const uint64_t at = (offset + done) % wrap;
        const size_t piece = size_t(std::min<uint64_t>(length - done, wrap - at));
        int64_t n = transfer(at, done, piece);
        if (n < 0)
            return done ? int64_t(done) : n;
        done += size_t(n);
        if (size_t(n) < piece)
            break;
    }
    return int64_t(done);
}

const uint8_t* WriteCache::find(uint64_t sector) const
{
    auto it = index_.find(sector);
    return it == index_.end() ? nullptr : data_.data() + size_t(it->second) * 512;
}

void WriteCache::unlink(uint32_t slot)
{
    (prev_[slot] == kNone ? head_ : next_[prev_[slot]]) = next_[slot];
    (next_[slot] == kNone ? tail_ : prev_[next_[slot]]) = prev_[slot];
}

void WriteCache::append(uint32_t slot)
{
    prev_[slot] = tail_;
    next_[slot] = kNone;
    (tail_ == kNone ? head_ : next_[tail_]) = slot;
    tail_ = slot;
}

template <typename Evict>
void WriteCache::put(uint64_t sector, const uint8_t* data, Evict evict)
{
    uint32_t slot;
    auto it = index_.find(sector);
    if (it != index_.end()) {
        slot = it->second;
        unlink(slot);
    } else {
        if (free_.empty() && used_ == capacity_)
            evictOldest(evict);
        if (!free_.empty()) {
            slot = free_.back();
            free_.pop_back();
        } else {
            slot = uint32_t(used_++);
            if (data_.size() < size_t(slot + 1) * 512) {
                // Grows in steps, so a large cache costs only what it holds.
                const size_t slots =
                    size_t(std::min<uint64_t>(capacity_, std::max<uint64_t>(1024, uint64_t(slot) * 2)));
                data_.resize(slots * 512);
                sectorOf_.resize(slots);
                prev_.resize(slots);
                next_.resize(slots);
            }
        }
        index_.emplace(sector, slot);
    }
    sectorOf_[slot] = sector;
    std::memcpy(data_.data() + size_t(slot) * 512, data, 512);
    append(slot);
}

// Hands the oldest sixty-fourth of the cache to the flash, runs of
// consecutive sectors in one piece each.
template <typename Evict>
void WriteCache::evictOldest(Evict evict)
{
    constexpr uint64_t kRun = 2048;
    std::vector<uint8_t> run(kRun * 512);
    uint64_t runFirst = 0, runCount = 0;
    const auto flushRun = [&] {
        if (runCount)
            evict(runFirst, run.data(), size_t(runCount * 512));
        runCount = 0;
    };
    for (uint64_t n = std::max<uint64_t>(1, capacity_ / 64); n > 0 && head_ != kNone; --n) {
        const uint32_t slot = head_;
        const uint64_t sector = sectorOf_[slot];
        if (runCount == kRun || (runCount && sector != runFirst + runCount))
            flushRun();
        if (runCount == 0)
            runFirst = sector;
        std::memcpy(run.data() + runCount * 512, data_.data() + size_t(slot) * 512, 512);
        ++runCount;
        unlink(slot);
        index_.erase(sector);
        free_.push_back(slot);
    }
    flushRun();
}

int64_t FaultyVolume::flashRead(uint64_t offset, uint8_t* buffer, size_t length)
{
    return mapped(offset, length, [&](uint64_t at, size_t into, size_t piece) -> int64_t {
        const std::optional<uint64_t>& lost = state_->plan.lostWritesFrom;
        if (!lost || !state_->plan.lostReadZeros || at + piece <= *lost * 512)
            return inner_->readAt(at, buffer + into, piece);
        const size_t real = at < *lost * 512 ? size_t(*lost * 512 - at) : 0;
        if (real) {
            const int64_t n = inner_->readAt(at, buffer + into, real);
            if (n < int64_t(real))
                return n;
        }
        std::memset(buffer + into + real, 0, piece - real);
        return int64_t(piece);
    });
}

int64_t FaultyVolume::flashWrite(uint64_t offset, const uint8_t* buffer, size_t length)
{
    return mapped(offset, length, [&](uint64_t at, size_t from, size_t piece) -> int64_t {
        const std::optional<uint64_t>& lost = state_->plan.lostWritesFrom;
        if (!lost || at + piece <= *lost * 512)
            return inner_->writeAt(at, buffer + from, piece);
        // The flash takes what lies below the boundary; the rest is
        // acknowledged and dropped.
        const size_t real = at < *lost * 512 ? size_t(*lost * 512 - at) : 0;
        if (real) {
            const int64_t n = inner_->writeAt(at, buffer + from, real);
            if (n < int64_t(real))
                return n;
        }
        return int64_t(piece);
    });
}

// Sector by sector through the cache; runs of sectors it does not hold are
// read from the flash in one piece.
int64_t FaultyVolume::cachedRead(uint64_t offset, uint8_t* buffer, size_t length)
{
    if (offset % 512 || length % 512)
        return -EINVAL;
    std::lock_guard lock(state_->cacheMutex);
    const uint64_t first = offset / 512;
    const size_t count = length / 512;
    size_t i = 0;
    while (i < count) {
        if (const uint8_t* hit = state_->cache.find(first + i)) {
            std::memcpy(buffer + i * 512, hit, 512);
            ++i;
            continue;
        }
        size_t run = 1;
        while (i + run < count && !state_->cache.find(first + i + run))
            ++run;
        const int64_t n = flashRead((first + i) * 512, buffer + i * 512, run * 512);
        if (n < 0)
            return i ? int64_t(i * 512) : n;
        if (size_t(n) < run * 512)
            return int64_t(i * 512) + n;
        i += run;
    }
    return int64_t(length);
}

int64_t FaultyVolume::cachedWrite(uint64_t offset, const uint8_t* buffer, size_t length)
{
    if (offset % 512 || length % 512)
        return -EINVAL;
    std::lock_guard lock(state_->cacheMutex);
    int64_t failure = 0;
    for (size_t i = 0; i < length / 512; ++i)
        state_->cache.put(offset / 512 + i, buffer + i * 512, [&](uint64_t sector, const uint8_t* data, size_t bytes) {
            const int64_t n = flashWrite(sector * 512, data, bytes);
            if (n < 0)
                failure = n;
        });
    // A write the flash refused on the way out surfaces at the next write.
    return failure < 0 ? failure : int64_t(length);
}

int64_t FaultyVolume::readAt(uint64_t offset, void* buffer, size_t length)
{
    if (!inner_->isOpen())
        return -EBADF;
    if (!state_->admit())
        return -ENODEV;
    const FaultPlan& plan = state_->plan;
    const uint64_t first = offset / 512;
    if (anyTouches(plan.failingReads, first, sectorsSpanned(offset, length)))
        return -EIO;
    if (plan.shortReadsFrom) {
        const uint64_t end = *plan.shortReadsFrom * 512;
        if (offset >= end)
            return 0;
        length = size_t(std::min<uint64_t>(length, end - offset));
    }
    auto* bytes = static_cast<uint8_t*>(buffer);
    int64_t got = plan.writeCacheSectors ? cachedRead(offset, bytes, length) : flashRead(offset, bytes, length);
    if (got <= 0)
        return got;
    for (const SectorRange& r : plan.corruptReads) {
        const uint64_t from = std::max(offset, r.first * 512);
        const uint64_t to = std::min(offset + uint64_t(got), (r.first + r.count) * 512);
        for (uint64_t b = from; b < to; ++b)
            bytes[b - offset] ^= 0xFF;
    }
    return got;
}

int64_t FaultyVolume::writeAt(uint64_t offset, const void* buffer, size_t length)
{
    if (!inner_->isOpen())
        return -EBADF;
    if (!state_->admit())
        return -ENODEV;
    if (anyTouches(state_->plan.failingWrites, offset / 512, sectorsSpanned(offset, length)))
        return -state_->plan.writeError;
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    return state_->plan.writeCacheSectors ? cachedWrite(offset, bytes, length) : flashWrite(offset, bytes, length);
}

bool FaultyVolume::flush()
{
    return !state_->removed && inner_->flush();
}

void FaultyVolume::close()
{
    inner_->close();
}

bool FaultyVolume::isOpen() const
{
    // A stick that is gone is a closed handle to its users.
    return !state_->removed && inner_->isOpen();
}

std::shared_ptr<Volume> FaultyVolume::reopen()
{
    if (state_->removed)
        return nullptr;
    DeviceHandle fresh = inner_->reopen();
    if (!fresh)
        return nullptr;
    return std::make_shared<FaultyVolume>(std::move(fresh), state_);
}

ScsiResult FaultyVolume::scsi(const ScsiRequest& request)
{
    if (state_->removed)
        return {false, 0};
    // A claimed size answers READ CAPACITY (10) and (16) in place of the
    // inner volume.
    if (state_->plan.capacityLba) {
        if (auto answer = AnswerReadCapacity(request, *state_->plan.capacityLba + 1))
            return *answer;
    }
    return inner_->scsi(request);
}

}  // namespace qv
