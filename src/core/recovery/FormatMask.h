#pragma once

#include <cstdint>

namespace qv {

// The kinds a scan looks for: all supported formats, or one kind's bit.
// Written by the page before a scan starts and only read by the scanner.
inline constexpr uint64_t kAllFormatsMask = 0xFFFFFFFFull;

// The mask of a 0-based entry of the recovery page's format list: one
// kind's bit for the first twenty, every kind for the last.
uint64_t FormatMaskForListEntry(int entry);

uint64_t FormatMask();
void SetFormatMask(uint64_t mask);

}  // namespace qv
