#include "platform/linux/OsRelease.h"

#include <sys/utsname.h>

#include <fstream>
#include <sstream>

namespace qv::linux_platform {
namespace {

// Values may be in double or single quotes; inside double quotes a
// backslash escapes the next character.
std::string unquote(const std::string& value)
{
    if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'')
        return value.substr(1, value.size() - 2);
    if (value.size() < 2 || value.front() != '"' || value.back() != '"')
        return value;
    std::string out;
    for (size_t i = 1; i + 1 < value.size(); ++i) {
        if (value[i] == '\\' && i + 2 < value.size())
            ++i;
        out += value[i];
    }
    return out;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

std::string OsReleaseValue(std::string_view text, const std::string& key)
{
    std::istringstream lines{std::string(text)};
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(key + "=", 0) == 0)
            return unquote(line.substr(key.size() + 1));
    }
    return {};
}

std::string DescribeLinux(const std::string& etcRoot)
{
    std::string release = readFile(etcRoot + "/os-release");
    if (release.empty())
        release = readFile("/usr/lib/os-release");
    std::string name = OsReleaseValue(release, "PRETTY_NAME");
    if (name.empty())
        name = OsReleaseValue(release, "NAME");

    struct utsname system {};
    if (uname(&system) != 0)
        return name;
    const std::string kernel = std::string(system.sysname) + " " + system.release + " (" + system.machine + ")";
    return name.empty() ? kernel : name + ", " + kernel;
}

}  // namespace qv::linux_platform
