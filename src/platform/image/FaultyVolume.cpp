#include "platform/image/FaultyVolume.h"

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
    int64_t got = mapped(offset, length, [&](uint64_t at, size_t into, size_t piece) {
        return inner_->readAt(at, bytes + into, piece);
    });
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
        return -EIO;
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    return mapped(offset, length, [&](uint64_t at, size_t from, size_t piece) {
        return inner_->writeAt(at, bytes + from, piece);
    });
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
    ScsiResult result = inner_->scsi(request);
    if (result.delivered && result.status == 0 && request.cdb[0] == 0x25 && state_->plan.capacityLba &&
        request.buffer && request.length >= 4) {
        const uint32_t lba = *state_->plan.capacityLba;
        auto* data = static_cast<uint8_t*>(request.buffer);
        data[0] = uint8_t(lba >> 24);
        data[1] = uint8_t(lba >> 16);
        data[2] = uint8_t(lba >> 8);
        data[3] = uint8_t(lba);
    }
    return result;
}

}  // namespace qv
