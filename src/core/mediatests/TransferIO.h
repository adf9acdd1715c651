#pragma once

#include "core/device/DeviceRecord.h"
#include "core/mediatests/ImageFiles.h"
#include "core/run/RunStatus.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

namespace qv {

// Sectors per transfer of the erase, backup and restore.
inline constexpr int kTransferChunkSectors = 128;
inline constexpr size_t kTransferChunkBytes = size_t(kTransferChunkSectors) * 512;

// Chunks of 128 sectors over n sectors, the last one holding a remainder.
inline uint64_t TransferChunkCount(uint64_t n)
{
    return (n + kTransferChunkSectors - 1) / kTransferChunkSectors;
}

// The one 64 KiB transfer buffer of a worker, aligned for direct I/O.
struct AlignedChunkFree {
    void operator()(uint8_t* p) const { std::free(p); }
};
using TransferBuffer = std::unique_ptr<uint8_t, AlignedChunkFree>;
TransferBuffer AllocateTransferBuffer();

// Whole-chunk transfers through the record's current handle, as
// ReadSectorsAt and WriteSectorsAt do them, but keeping the reason of a
// failure: 0, or an errno (EIO for a short transfer, ENODEV when the drive
// has left or its handle is closed).
int ReadChunkAt(const DeviceRecord& record, uint64_t sector, int count, void* buffer);
int WriteChunkAt(const DeviceRecord& record, uint64_t sector, int count, const void* buffer);

// The drive's path for messages.
std::string DrivePath(const DeviceRecord& record);

// Moves the run to a new state unless the page has asked for a stop
// meanwhile; false (state left at RUN_STOP) in that case.
bool EnterRunState(RunStatus& status, int32_t value);

// "/dev/sdb, sector 1408": a drive and a sector as the object of a failure.
std::string SectorObject(const std::string& drive, uint64_t sector);

// "%s_%s": the product text and the day as "07-December-2026", with
// English month names whatever the locale.
std::string ProposedImageName(const char* productText, int year, int month, int day);
// The same for today's local date.
std::string ProposedImageName(const char* productText);

// String 232 followed by "|*.qvn||".
std::string ImageFilter();
// The page's dialogs: the same first (and default) entry, then for a save
// a zstd-compressed image ("*.qvn.zst"), for an open compressed images and
// any file (a restore recognises a compressed image by its content).
std::string ImageDialogFilter(bool save);

}  // namespace qv
