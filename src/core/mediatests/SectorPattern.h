#pragma once

#include <cstddef>
#include <cstdint>

namespace qv {

inline constexpr int kSectorSize = 512;

// The 512 bytes the error scan writes to sector `sector`: its number in
// hexadecimal and decimal, then fixed byte runs.
void FillSectorPattern(uint64_t sector, uint8_t* buffer);

// The pattern of `count` consecutive sectors starting at `first`.
void FillChunkPattern(uint64_t first, int count, uint8_t* buffer);

// The same pattern in two steps, for a buffer that is written chunk after
// chunk: the parts every sector shares once, then only the 16 numbered
// bytes of each sector per chunk.
void PrepareChunkPattern(int count, uint8_t* buffer);
void StampChunkHeaders(uint64_t first, int count, uint8_t* buffer);

// CountDifferentBytes of `data` against the pattern of `count` sectors from
// `first`, without building the pattern.
uint64_t CountPatternDifferences(uint64_t first, int count, const uint8_t* data);

// The number of byte positions in which a and b differ.
uint64_t CountDifferentBytes(const uint8_t* a, const uint8_t* b, size_t length);

}  // namespace qv
