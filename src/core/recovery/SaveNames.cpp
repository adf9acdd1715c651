#include "core/recovery/SaveNames.h"

#include "core/recovery/RecoverySaving.h"

#include <cctype>
#include <cstdio>

namespace qv {
namespace {

constexpr size_t kNumberDigits = 8;

std::string folded(const std::string& name)
{
    std::string upper = name;
    for (char& c : upper)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

// The number of a "NNNNNNNN.ext" name (eight digits or more before the
// first dot); false for any other name.
bool numberOf(const std::string& name, uint64_t* number)
{
    const size_t dot = name.find('.');
    if (dot == std::string::npos || dot < kNumberDigits || dot > 18)
        return false;
    uint64_t n = 0;
    for (size_t i = 0; i < dot; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i])))
            return false;
        n = n * 10 + uint64_t(name[i] - '0');
    }
    *number = n;
    return true;
}

std::string trimmedEnd(std::string text)
{
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

}  // namespace

std::string TrimmedEntryName(const std::string& name)
{
    // "%.8s.%.3s": the dot after a whole name field, else the first.
    const size_t dot = name.size() > 8 && name[8] == '.' ? 8 : name.find('.');
    if (dot == std::string::npos)
        return trimmedEnd(name);
    const std::string stem = trimmedEnd(name.substr(0, dot));
    const std::string extension = trimmedEnd(name.substr(dot + 1));
    return extension.empty() ? stem : stem + "." + extension;
}

SaveNames::SaveNames(const std::vector<std::string>& existing)
{
    for (const std::string& name : existing) {
        taken_.insert(folded(name));
        uint64_t number = 0;
        if (numberOf(name, &number) && number > offset_)
            offset_ = number;
    }
}

bool SaveNames::take(const std::string& name)
{
    return taken_.insert(folded(name)).second;
}

std::string SaveNames::unique(const std::string& name)
{
    if (take(name))
        return name;
    const size_t dot = name.rfind('.');
    const std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    const std::string extension = dot == std::string::npos || dot == 0 ? std::string() : name.substr(dot);
    for (int n = 2;; ++n) {
        const std::string candidate = stem + "-" + std::to_string(n) + extension;
        if (take(candidate))
            return candidate;
    }
}

std::string SaveNames::numbered(const std::string& scanName)
{
    uint64_t number = 0;
    if (!numberOf(scanName, &number))
        return unique(SafeFileName(scanName));
    char digits[32];
    std::snprintf(digits, sizeof digits, "%08llu", (unsigned long long)(number + offset_));
    return unique(SafeFileName(digits + scanName.substr(scanName.find('.'))));
}

std::string SaveNames::entry(const std::string& name)
{
    return unique(SafeFileName(TrimmedEntryName(name)));
}

}  // namespace qv
