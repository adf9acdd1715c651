#pragma once

#include "core/device/Volume.h"

#include <cstdint>

namespace qv {

// Direction class of a SCSI opcode: 0 data from the device, 1 data to the
// device, 2 no data.
int ScsiDirectionClass(uint8_t opcode);

// Number of CDB bytes sent for an opcode: 6 below 20h, 10 below 60h, else 12.
int ScsiCdbLength(uint8_t opcode);

inline constexpr uint32_t kScsiTimeoutSeconds = 108000;

// Sends one command; -1 when the system call or the transport failed, 1 for
// GOOD status, otherwise the status byte. The buffer is zeroed over length
// bytes first; the length is 16 bits wide.
int ScsiPassThrough(const DeviceHandle& handle, const uint8_t* cdb, void* buffer, uint32_t length);

// READ CAPACITY (10): the last logical block address, 0 on any failure.
uint32_t ReadCapacity(const DeviceHandle& handle);

}  // namespace qv
