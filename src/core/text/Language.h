#pragma once

#include <string>

namespace qv {

// The interface language, one rule for the window and the command-line
// tool: QUORVANE_LANG ("en", "ru") when set, else the first of LANGUAGE,
// LC_ALL, LC_MESSAGES and LANG that is set (LANGUAGE's first entry) asks
// for English when it begins with "en"; Russian, the program's own
// language, otherwise.
bool WantEnglishFrom(const std::string& quorvaneLang, const std::string& language, const std::string& lcAll,
                     const std::string& lcMessages, const std::string& lang);
// The rule over this process's environment.
bool WantEnglish();

}  // namespace qv
