#pragma once

#include <cstdint>
#include <string>

namespace qv {

// The total-length text of the recovery page: whole KБ below 1,024,000
// bytes (1 to 1023 bytes show as 1), MB with one decimal up to 100 MB and
// none above.
std::string FormatSizeText(uint64_t bytes);

}  // namespace qv
