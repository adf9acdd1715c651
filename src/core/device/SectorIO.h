#pragma once

#include "core/device/Volume.h"

#include <cstdint>

namespace qv {

struct SharedContext;

// Sector transfers through a drive's handle. Sector numbers are positions,
// byte offsets their 64-bit product with the sector size. A failed transfer
// leaves its errno (EBADF for a closed handle); a short read leaves errno as
// it was.
int SeekToSector(const DeviceHandle& handle, uint64_t sector, int32_t sectorSize);
bool ReadSectors(const DeviceHandle& handle, int32_t count, int32_t sectorSize, void* buffer);
bool ReadSectorsAt(const DeviceHandle& handle, uint64_t sector, int32_t count, int32_t sectorSize,
                   void* buffer);
bool WriteSectors(const DeviceHandle& handle, int32_t count, int32_t sectorSize, const void* buffer);
bool WriteSectorsAt(const DeviceHandle& handle, uint64_t sector, int32_t count, int32_t sectorSize,
                    const void* buffer);

// Whether a failed transfer's errno is the host's fault (an image file's
// file system full or over a size limit), not the medium's.
bool HostFault(const DeviceHandle& handle, int error);

// Flushes and closes the selected drive's handle and stores a fresh one on
// the same path (null when the open fails, or when the drive has left).
void ReopenDevice(SharedContext& context);

// Zeroes sectors 0 to 1024 of the selected drive, then reopens it between
// two settle pauses.
void WipeMediumStart(SharedContext& context);

// Reads sector 0 of the selected drive and discards it.
void ReadBootSector(SharedContext& context);

// The settle pause of WipeMediumStart, 500 ms; tests shorten it.
void SetSettleDelayMs(int milliseconds);

// Process-wide timing.
void TimerInit();
void TimerStart();
long double TimerElapsedSeconds();

// Four calls of rand(): (third * 65536) + fourth.
uint64_t Random32();

// A random sector below `bound` (Random32() mod bound); a bound beyond
// Random32's range (a medium of 1 TiB or more) takes two draws, so that
// the whole medium is reached. 0 for a bound of 0.
uint64_t RandomSector(uint64_t bound);

}  // namespace qv
