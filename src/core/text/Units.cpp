#include "core/text/Units.h"

#include "core/text/StringIds.h"
#include "core/text/StringTable.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>

namespace qv {

std::string Format(const char* pattern, ...)
{
    char text[512];
    va_list args;
    va_start(args, pattern);
    std::vsnprintf(text, sizeof text, pattern, args);
    va_end(args);
    return text;
}

std::string MegabytesText(uint64_t sectors)
{
    return Format("%lld %s", (long long)(sectors / 2048), LoadText(str::kMegabytes).c_str());
}

std::string SizeText(uint64_t bytes)
{
    if (bytes < 1000000)
        return LoadText(str::kUnderOneMegabyte);
    const uint64_t megabytes = bytes / 1000000;
    if (megabytes > 1000)
        return Format("%" PRIu64 " %s", megabytes / 1000, LoadText(str::kGigabytes).c_str());
    return Format("%" PRIu64 " %s", megabytes, LoadText(str::kMegabytes).c_str());
}

std::string CapacityText(uint64_t sectors)
{
    return Format(LoadText(str::kCapacityText).c_str(), SizeText(sectors * 512).c_str(),
                  std::to_string(sectors * 512).c_str(), std::to_string(sectors).c_str());
}

std::string SpeedText(double megabytesPerSecond)
{
    return Format("%.1f %s", megabytesPerSecond, LoadText(str::kMegabytesPerSecond).c_str());
}

std::string DurationText(uint64_t milliseconds)
{
    return Format("%d:%02d", int(milliseconds / 60000), int(milliseconds / 1000 % 60));
}

std::string PercentText(int percent)
{
    return Format("%d %%", percent);
}

std::string FormatSizeText(uint64_t bytes)
{
    if (bytes >= 1024000) {
        const double megabytes = double(bytes) / 1048576.0;
        return Format(megabytes > 100 ? "%.0f %s" : "%.1f %s", megabytes, LoadText(str::kMegabytes).c_str());
    }
    const uint64_t kilobytes = bytes > 0 && bytes < 1024 ? 1 : bytes / 1024;
    return Format("%" PRIu64 " %s", kilobytes, LoadText(str::kKilobytes).c_str());
}

}  // namespace qv
