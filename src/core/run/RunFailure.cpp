#include "core/run/RunFailure.h"

#include "core/device/Volume.h"
#include "core/text/StringIds.h"
#include "core/text/StringTable.h"

#include <cerrno>
#include <cstdio>
#include <vector>

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
        // "File too large" alone does not say which limit was met.
        if (failure.error == EFBIG)
            text += " (" + LoadText(str::kFileSizeLimit) + ")";
    }
    if (failure.action == str::kFailedHostWrite)
        text += LoadText(str::kHostNotMedium);
    return text;
}

std::string VolumeFailureText(const VolumeFailure& failure, const std::string& path)
{
    if (failure.textId) {
        const std::string text = LoadText(failure.textId);
        std::vector<char> line(text.size() + path.size() + failure.place.size() + 1);
        std::snprintf(line.data(), line.size(), text.c_str(), path.c_str(), failure.place.c_str());
        return line.data();
    }
    RunFailure open;
    open.set(str::kFailedOpen, path, failure.error ? failure.error : EACCES);
    return FailureText(open);
}

}  // namespace qv
