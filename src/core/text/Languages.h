#pragma once

#include <cstdint>
#include <string>

namespace qv {

// The language ids the "LanguageId" setting stores: 16 bits, the primary
// language in the low 10 bits and the sublanguage (country) above them.
using LanguageId = uint16_t;

inline constexpr LanguageId kRussian = 0x0419;
inline constexpr LanguageId kEnglishUS = 0x0409;
inline constexpr LanguageId kGerman = 0x0407;

struct LanguageInfo {
    LanguageId id;
    const char* abbreviation;  // three letters, names the translation file
    const char* locale;        // POSIX locale name, language_TERRITORY
    const char* nativeName;    // UTF-8, as the language calls itself
};

// The entry of a full language id (with its sublanguage); null for
// primary-only ids and ids the table does not know.
const LanguageInfo* FindLanguage(LanguageId id);

// "ENU" for 0x0409; empty when the table has no entry.
std::string LanguageAbbreviation(LanguageId id);

// The language a translation file's abbreviation stands for; 0 when unknown.
LanguageId LanguageFromAbbreviation(const std::string& abbreviation);

// The id of a POSIX locale name ("de_CH.UTF-8@euro" gives 0x0807). A known
// language in an unknown territory, or without one ("de"), gives the
// language's first entry (0x0407); "C", "POSIX", empty and unknown give 0.
LanguageId LanguageFromLocale(const std::string& locale);

// The text a menu shows for a language: its native name, else
// "%u - ???" with the numeric id.
std::string LanguageName(LanguageId id);

}  // namespace qv
