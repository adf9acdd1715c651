#include "core/run/RunFailure.h"

#include "core/text/StringTable.h"

#include <cstring>

namespace qv {

std::string FailureText(const RunFailure& failure)
{
    if (failure.empty())
        return {};
    std::string text = LoadText(failure.action);
    if (!failure.object.empty())
        text += " " + failure.object;
    if (failure.error) {
        char buffer[256];
        // The GNU strerror_r returns the text (maybe not in buffer).
        text += std::string(": ") + strerror_r(failure.error, buffer, sizeof buffer);
    }
    return text;
}

}  // namespace qv
