#include "core/device/Scsi.h"

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
    return (uint32_t(data[0]) << 24) | (uint32_t(data[1]) << 16) | (uint32_t(data[2]) << 8) |
           uint32_t(data[3]);
}

}  // namespace qv
