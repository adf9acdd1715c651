#pragma once

#include "core/device/Volume.h"

#include <cstdint>
#include <optional>

namespace qv {

// Direction class of a SCSI opcode: 0 data from the device, 1 data to the
// device, 2 no data.
int ScsiDirectionClass(uint8_t opcode);

// Number of CDB bytes sent for an opcode: 6 below 20h, 10 below 60h, 16
// for the 16-byte group 80h to 9Fh (READ CAPACITY (16) among them), else 12.
int ScsiCdbLength(uint8_t opcode);

inline constexpr uint32_t kScsiTimeoutSeconds = 108000;

// Sends one command; -1 when the system call or the transport failed, 1 for
// GOOD status, otherwise the status byte. The buffer is zeroed over length
// bytes first; the length is 16 bits wide.
int ScsiPassThrough(const DeviceHandle& handle, const uint8_t* cdb, void* buffer, uint32_t length);

// READ CAPACITY (10): the last logical block address, 0 on any failure.
uint32_t ReadCapacity(const DeviceHandle& handle);

// What READ CAPACITY says of a medium: the address of its last block (not a
// count) and the length of a block.
struct Capacity {
    uint64_t lastLba = 0;
    uint32_t blockLength = 512;
    bool known = false;
    // The medium's size in 512-byte sectors: every block, the last one too.
    uint64_t sectors() const;
};

// READ CAPACITY (10), and READ CAPACITY (16) when (10) answers 0xFFFFFFFF
// (a medium of 2 TiB or more). A device that answers (10) but not (16)
// keeps the 2^32 blocks (10) vouches for.
Capacity ReadMediumCapacity(const DeviceHandle& handle);

// The answer of a device of `sectors` 512-byte blocks to READ CAPACITY (10)
// or (16), for the volumes that answer from what they know of their size
// (image files, the kernel's record of a disk): a CHECK CONDITION without a
// medium, 0xFFFFFFFF from (10) beyond its reach. Other commands: nullopt.
std::optional<ScsiResult> AnswerReadCapacity(const ScsiRequest& request, uint64_t sectors);

}  // namespace qv
