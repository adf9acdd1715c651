#include "core/text/Language.h"

#include <cstdlib>

namespace qv {
namespace {

bool beginsWithEn(const std::string& value)
{
    return value.size() >= 2 && (value[0] == 'e' || value[0] == 'E') && (value[1] == 'n' || value[1] == 'N');
}

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

bool WantEnglishFrom(const std::string& quorvaneLang, const std::string& language, const std::string& lcAll,
                     const std::string& lcMessages, const std::string& lang)
{
    if (!quorvaneLang.empty())
        return beginsWithEn(quorvaneLang);
    for (const std::string* value : {&language, &lcAll, &lcMessages, &lang}) {
        if (value->empty())
            continue;
        // LANGUAGE is a priority list ("en_GB:ru"); its first entry counts.
        return beginsWithEn(value->substr(0, value->find(':')));
    }
    return false;
}

bool WantEnglish()
{
    return WantEnglishFrom(environment("QUORVANE_LANG"), environment("LANGUAGE"), environment("LC_ALL"),
                           environment("LC_MESSAGES"), environment("LANG"));
}

}  // namespace qv
