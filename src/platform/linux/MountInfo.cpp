#include "platform/linux/MountInfo.h"

#include <sys/sysmacros.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace qv::linux_platform {

std::string UnescapeMountField(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size()) {
            const std::string digits = text.substr(i + 1, 3);
            if (digits.find_first_not_of("01234567") == std::string::npos) {
                out += char(std::stoi(digits, nullptr, 8));
                i += 3;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::vector<DeviceMount> ParseMounts(std::string_view mountinfo, dev_t device)
{
    std::vector<DeviceMount> mounts;
    std::istringstream lines{std::string(mountinfo)};
    for (std::string line; std::getline(lines, line);) {
        // id parent major:minor root mount-point ...
        std::istringstream fields(line);
        std::string id, parent, numbers, root, point;
        if (!(fields >> id >> parent >> numbers >> root >> point))
            continue;
        unsigned major = 0, minor = 0;
        if (std::sscanf(numbers.c_str(), "%u:%u", &major, &minor) != 2)
            continue;
        if (makedev(major, minor) == device)
            mounts.push_back({UnescapeMountField(root), UnescapeMountField(point)});
    }
    return mounts;
}

std::vector<DeviceMount> MountsOf(dev_t device)
{
    std::ifstream in("/proc/self/mountinfo");
    std::stringstream text;
    text << in.rdbuf();
    return ParseMounts(text.str(), device);
}

}  // namespace qv::linux_platform
