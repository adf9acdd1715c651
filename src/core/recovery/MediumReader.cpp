#include "core/recovery/MediumReader.h"

#include "core/device/SectorIO.h"

#include <algorithm>
#include <cstring>

namespace qv {
namespace {

constexpr uint64_t kWindowSectors = 64;
constexpr size_t kSector = 512;

}  // namespace

MediumReader::MediumReader(SharedContext& context) : context_(context) {}

void MediumReader::fail(uint64_t sector, uint64_t count)
{
    DeviceRecord& record = *context_.device;
    record.readErrors += 1;
    if (sector >= record.sectorCount || count > record.sectorCount - sector)
        record.readsPastEnd += 1;
}

void MediumReader::failBytes(uint64_t first, uint64_t offset, size_t length)
{
    const uint64_t last = offset > UINT64_MAX - length ? UINT64_MAX : (offset + length - 1) / kSector;
    const uint64_t span = last == UINT64_MAX || first > UINT64_MAX - last ? UINT64_MAX : last + 1;
    fail(first, span);
}

bool MediumReader::fetch(uint64_t sector, int count, uint8_t* out)
{
    DeviceRecord& record = *context_.device;
    const uint64_t medium = record.sectorCount;
    if (count <= 0 || sector >= medium || uint64_t(count) > medium - sector)
        return false;
    if (sector >= windowFirst_ && sector + uint64_t(count) <= windowFirst_ + windowCount_) {
        std::memcpy(out, window_.data() + (sector - windowFirst_) * kSector, size_t(count) * kSector);
        return true;
    }
    const uint64_t span = std::min<uint64_t>(kWindowSectors, medium - sector);
    window_.resize(kWindowSectors * kSector);
    windowCount_ = 0;
    if (span > uint64_t(count) && ReadSectorsAt(record.handle, sector, int32_t(span), int32_t(kSector),
                                                window_.data())) {
        windowFirst_ = sector;
        windowCount_ = span;
        std::memcpy(out, window_.data(), size_t(count) * kSector);
        return true;
    }
    // The window could not be had (or is no larger): the rule's own read decides.
    return ReadSectorsAt(record.handle, sector, count, int32_t(kSector), out);
}

bool MediumReader::read(uint64_t sector, int count, uint8_t* out)
{
    if (fetch(sector, count, out))
        return true;
    fail(sector, uint64_t(count > 0 ? count : 0));
    return false;
}

bool MediumReader::readBytes(uint64_t first, uint64_t offset, size_t length, uint8_t* out)
{
    if (copyBytes(first, offset, length, out))
        return true;
    failBytes(first, offset, length);
    return false;
}

bool MediumReader::peekBytes(uint64_t first, uint64_t offset, size_t length, uint8_t* out)
{
    return copyBytes(first, offset, length, out);
}

bool MediumReader::copyBytes(uint64_t first, uint64_t offset, size_t length, uint8_t* out)
{
    uint8_t sector[kSector];
    while (length > 0) {
        const uint64_t at = first + offset / kSector;
        const size_t inner = size_t(offset % kSector);
        const size_t take = std::min(length, kSector - inner);
        if (at < first || !fetch(at, 1, sector))
            return false;
        std::memcpy(out, sector + inner, take);
        out += take;
        offset += take;
        length -= take;
    }
    return true;
}

}  // namespace qv
