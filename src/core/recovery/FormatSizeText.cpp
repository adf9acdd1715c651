#include "core/recovery/FormatSizeText.h"

#include "core/text/StringTable.h"

#include <cinttypes>
#include <cstdio>

namespace qv {

std::string FormatSizeText(uint64_t bytes)
{
    char text[64];
    if (bytes >= 1024000) {
        const double megabytes = double(bytes) / 1048576.0;
        std::snprintf(text, sizeof text, megabytes > 100 ? "%.0f %s" : "%.1f %s", megabytes,
                      LoadText(201).c_str());
    } else {
        const uint64_t kilobytes = bytes > 0 && bytes < 1024 ? 1 : bytes / 1024;
        std::snprintf(text, sizeof text, "%" PRIu64 " %s", kilobytes, LoadText(203).c_str());
    }
    return text;
}

}  // namespace qv
