#pragma once

#include <cstdint>

namespace qv {

// The kinds a scan looks for: all supported formats, or one kind's bit.
// Written by the page before a scan starts and only read by the scanner.
inline constexpr uint64_t kAllFormatsMask = 0xFFFFFFFFull;

uint64_t FormatMask();
void SetFormatMask(uint64_t mask);

}  // namespace qv
