#include "core/device/Scsi.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace qv {
namespace {

constexpr std::array<uint8_t, 256> makeDirectionTable()
{
    std::array<uint8_t, 256> table{};
    table.fill(2);
    constexpr uint8_t fromDevice[] = {
        0x03, 0x08, 0x12, 0x1A, 0x1C, 0x23, 0x25, 0x28, 0x33, 0x3C, 0x42, 0x43, 0x44, 0x46,
        0x51, 0x52, 0x5A, 0x5C, 0x60, 0x78, 0xA8, 0xAC, 0xAD, 0xAF, 0xB9, 0xBE, 0xD7, 0xD8,
        0xD9, 0xDF, 0xE9, 0xEA, 0xEF, 0xF0, 0xF1, 0xF3, 0xF4, 0xF8, 0xFA, 0xFF};
    constexpr uint8_t toDevice[] = {0x04, 0x0A, 0x15, 0x1D, 0x2A, 0x3B, 0x54, 0x55,
                                    0x5D, 0xAA, 0xB6, 0xBF, 0xF2, 0xF9, 0xFC};
    for (uint8_t op : fromDevice)
        table[op] = 0;
    for (uint8_t op : toDevice)
        table[op] = 1;
    return table;
}

constexpr std::array<uint8_t, 256> kDirection = makeDirectionTable();

uint32_t be32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

void putBe32(uint8_t* p, uint32_t value)
{
    p[0] = uint8_t(value >> 24);
    p[1] = uint8_t(value >> 16);
    p[2] = uint8_t(value >> 8);
    p[3] = uint8_t(value);
}

}  // namespace

int ScsiDirectionClass(uint8_t opcode)
{
    return kDirection[opcode];
}

int ScsiCdbLength(uint8_t opcode)
{
    if (opcode < 0x20)
        return 6;
    if (opcode < 0x60)
        return 10;
    if (opcode >= 0x80 && opcode < 0xA0)
        return 16;
    return 12;
}

int ScsiPassThrough(const DeviceHandle& handle, const uint8_t* cdb, void* buffer, uint32_t length)
{
    if (!handle || !handle->isOpen())
        return -1;
    ScsiRequest request;
    request.cdbLength = ScsiCdbLength(cdb[0]);
    std::memcpy(request.cdb, cdb, request.cdbLength);
    request.length = length & 0xFFFF;
    // Class 2 (no data) goes out as data-in like class 0; with no buffer
    // there is nothing to move either way.
    if (request.length == 0)
        request.direction = ScsiDirection::None;
    else if (ScsiDirectionClass(cdb[0]) == 1)
        request.direction = ScsiDirection::ToDevice;
    else
        request.direction = ScsiDirection::FromDevice;
    request.buffer = buffer;
    request.timeoutSeconds = kScsiTimeoutSeconds;
    // Incoming data lands in a zeroed buffer; outgoing data is sent as the
    // caller gave it (zeroing it would send zeros instead).
    if (buffer && request.direction == ScsiDirection::FromDevice)
        std::memset(buffer, 0, request.length);

    ScsiResult result = handle->scsi(request);
    if (!result.delivered)
        return -1;
    return result.status == 0 ? 1 : result.status;
}

uint32_t ReadCapacity(const DeviceHandle& handle)
{
    uint8_t cdb[10] = {0x25};
    uint8_t data[8];
    if (ScsiPassThrough(handle, cdb, data, sizeof data) != 1)
        return 0;
    return be32(data);
}

uint64_t Capacity::sectors() const
{
    if (!known)
        return 0;
    // Blocks of whole multiples of 512 bytes (4096 on some disks) are
    // counted as the 512-byte sectors every transfer uses.
    const uint64_t perBlock = blockLength >= 512 && blockLength % 512 == 0 ? blockLength / 512 : 1;
    // A size whose byte count would not fit 64 bits is no medium to work on.
    if (lastLba >= UINT64_MAX / 512 / perBlock)
        return 0;
    return (lastLba + 1) * perBlock;
}

Capacity ReadMediumCapacity(const DeviceHandle& handle)
{
    Capacity capacity;
    uint8_t cdb10[10] = {0x25};
    uint8_t data10[8];
    if (ScsiPassThrough(handle, cdb10, data10, sizeof data10) != 1)
        return capacity;
    capacity.lastLba = be32(data10);
    capacity.blockLength = be32(data10 + 4);
    // A last address of 0 is what a failed or empty answer looks like: no
    // medium to work on.
    capacity.known = capacity.lastLba != 0;
    if (capacity.lastLba != 0xFFFFFFFFu)
        return capacity;
    // SERVICE ACTION IN (16), READ CAPACITY (16), allocation length 32.
    uint8_t cdb16[16] = {0x9E, 0x10};
    cdb16[13] = 32;
    uint8_t data16[32];
    if (ScsiPassThrough(handle, cdb16, data16, sizeof data16) != 1)
        return capacity;
    const uint64_t last = (uint64_t(be32(data16)) << 32) | be32(data16 + 4);
    if (last >= 0xFFFFFFFFu) {
        capacity.lastLba = last;
        capacity.blockLength = be32(data16 + 8);
    }
    return capacity;
}

std::optional<ScsiResult> AnswerReadCapacity(const ScsiRequest& request, uint64_t sectors)
{
    const bool ten = request.cdb[0] == 0x25;
    const bool sixteen = request.cdb[0] == 0x9E && (request.cdb[1] & 0x1F) == 0x10;
    if (!ten && !sixteen)
        return std::nullopt;
    if (sectors == 0)
        return ScsiResult{true, 0x02};  // CHECK CONDITION: no medium
    const uint64_t last = sectors - 1;
    uint8_t answer[32] = {};
    size_t length = 8;
    if (ten) {
        putBe32(answer, last > 0xFFFFFFFFull ? 0xFFFFFFFFu : uint32_t(last));
        putBe32(answer + 4, 512);
    } else {
        putBe32(answer, uint32_t(last >> 32));
        putBe32(answer + 4, uint32_t(last));
        putBe32(answer + 8, 512);
        length = 32;
    }
    if (request.buffer)
        std::memcpy(request.buffer, answer, std::min<size_t>(request.length, length));
    return ScsiResult{true, 0};
}

}  // namespace qv
