#pragma once

#include "core/run/SharedContext.h"

#include <cstdint>

namespace qv {

// The length in bytes of the file of kind *kind that begins at startSector,
// worked out from its own structure on the medium. A value below 2 means no
// valid file was found. May refine *kind: doc to xls, ppt or pps; wma to
// wmv. Kinds 1 and 20 (ended by the scanner) and unknown codes give 0.
// Reports progress and polls the stop request through ReportPosition.
int32_t MeasureFileLength(SharedContext& context, uint64_t startSector, int32_t* kind);

// The CRC-32 of the archive headers (reflected 0xEDB88320, all-ones start,
// final complement).
uint32_t Crc32(const uint8_t* bytes, size_t length, uint32_t crc = 0);

// The bytes an ID3v2 tag at h takes (header, body and footer), or 0 when
// the 10 bytes at h are no such header: versions 2.2 to 2.4, a size of four
// 7-bit bytes. Unsynchronisation changes only the body, never the size.
uint64_t Id3v2TagSize(const uint8_t* h);

}  // namespace qv
