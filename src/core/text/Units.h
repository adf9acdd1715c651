#pragma once

#include <cstdint>
#include <string>

namespace qv {

// printf into a std::string (texts of the pages and the command-line tool).
std::string Format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

// "%d MB": sectors of 512 bytes as whole megabytes (sectors / 2048).
std::string MegabytesText(uint64_t sectors);

// The one rule for every text that states the size of a drive or a
// volume: decimal megabytes (10^6 bytes, truncated), gigabytes above
// 1000 MB (10^9 bytes, truncated); "under 1 MB" below that.
std::string SizeText(uint64_t bytes);

// SizeText with the exact bytes and sectors beside it, where there is
// room: "67 MB (67108864 bytes, 131072 sectors)".
std::string CapacityText(uint64_t sectors);

// "%.1f MБ/сек": megabytes per second.
std::string SpeedText(double megabytesPerSecond);

// "%d:%02d": minutes and two-digit seconds of a duration in milliseconds.
std::string DurationText(uint64_t milliseconds);

// A remaining time that is not known yet.
inline constexpr const char* kUnknownDuration = "-:--";

// "%d %%".
std::string PercentText(int percent);

// The total-length text of the recovery page: whole KБ below 1,024,000
// bytes (1 to 1023 bytes show as 1), MB with one decimal up to 100 MB and
// none above.
std::string FormatSizeText(uint64_t bytes);

}  // namespace qv
