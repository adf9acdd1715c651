#include "core/text/Languages.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iterator>

namespace qv {
namespace {

// Full language ids only: a primary id alone (0x0007) has no abbreviation,
// so the family rule goes on to the language's first sublanguage.
constexpr LanguageInfo kLanguages[] = {
    {0x0401, "ARA", "ar_SA", "العربية"},
    {0x0402, "BGR", "bg_BG", "Български"},
    {0x0403, "CAT", "ca_ES", "Català"},
    {0x0404, "CHT", "zh_TW", "中文(繁體)"},
    {0x0405, "CSY", "cs_CZ", "Čeština"},
    {0x0406, "DAN", "da_DK", "Dansk"},
    {0x0407, "DEU", "de_DE", "Deutsch"},
    {0x0408, "ELL", "el_GR", "Ελληνικά"},
    {0x0409, "ENU", "en_US", "English"},
    {0x040A, "ESP", "es_ES", "Español"},
    {0x040B, "FIN", "fi_FI", "Suomi"},
    {0x040C, "FRA", "fr_FR", "Français"},
    {0x040D, "HEB", "he_IL", "עברית"},
    {0x040E, "HUN", "hu_HU", "Magyar"},
    {0x0410, "ITA", "it_IT", "Italiano"},
    {0x0411, "JPN", "ja_JP", "日本語"},
    {0x0412, "KOR", "ko_KR", "한국어"},
    {0x0413, "NLD", "nl_NL", "Nederlands"},
    {0x0414, "NOR", "nb_NO", "Norsk (bokmål)"},
    {0x0415, "PLK", "pl_PL", "Polski"},
    {0x0416, "PTB", "pt_BR", "Português (Brasil)"},
    {0x0418, "ROM", "ro_RO", "Română"},
    {0x0419, "RUS", "ru_RU", "Русский"},
    {0x041A, "HRV", "hr_HR", "Hrvatski"},
    {0x041B, "SKY", "sk_SK", "Slovenčina"},
    {0x041D, "SVE", "sv_SE", "Svenska"},
    {0x041F, "TRK", "tr_TR", "Türkçe"},
    {0x0422, "UKR", "uk_UA", "Українська"},
    {0x0423, "BEL", "be_BY", "Беларуская"},
    {0x0424, "SLV", "sl_SI", "Slovenščina"},
    {0x0425, "ETI", "et_EE", "Eesti"},
    {0x0426, "LVI", "lv_LV", "Latviešu"},
    {0x0427, "LTH", "lt_LT", "Lietuvių"},
    {0x042A, "VIT", "vi_VN", "Tiếng Việt"},
    {0x043F, "KKZ", "kk_KZ", "Қазақ тілі"},
    {0x0804, "CHS", "zh_CN", "中文(简体)"},
    {0x0807, "DES", "de_CH", "Deutsch (Schweiz)"},
    {0x0809, "ENG", "en_GB", "English (United Kingdom)"},
    {0x080C, "FRB", "fr_BE", "Français (Belgique)"},
    {0x0816, "PTG", "pt_PT", "Português (Portugal)"},
    {0x0819, "RUM", "ru_MD", "Русский (Молдова)"},
    {0x0C07, "DEA", "de_AT", "Deutsch (Österreich)"},
    {0x0C09, "ENA", "en_AU", "English (Australia)"},
    {0x0C0A, "ESN", "es_ES", "Español (moderno)"},
    {0x0C0C, "FRC", "fr_CA", "Français (Canada)"},
    {0x1007, "DEL", "de_LU", "Deutsch (Luxemburg)"},
    {0x1009, "ENC", "en_CA", "English (Canada)"},
    {0x1407, "DEC", "de_LI", "Deutsch (Liechtenstein)"},
};

// The language part of a table locale ("de" of "de_CH").
bool sameLanguage(const char* tableLocale, const std::string& language)
{
    return std::string(tableLocale).substr(0, std::string(tableLocale).find('_')) == language;
}

}  // namespace

const LanguageInfo* FindLanguage(LanguageId id)
{
    auto it = std::find_if(std::begin(kLanguages), std::end(kLanguages),
                           [id](const LanguageInfo& l) { return l.id == id; });
    return it == std::end(kLanguages) ? nullptr : it;
}

std::string LanguageAbbreviation(LanguageId id)
{
    const LanguageInfo* info = FindLanguage(id);
    return info ? info->abbreviation : "";
}

LanguageId LanguageFromAbbreviation(const std::string& abbreviation)
{
    for (const LanguageInfo& l : kLanguages)
        if (abbreviation.size() == 3 && std::equal(abbreviation.begin(), abbreviation.end(), l.abbreviation,
                                                   [](char a, char b) { return std::toupper(a) == b; }))
            return l.id;
    return 0;
}

LanguageId LanguageFromLocale(const std::string& localeIn)
{
    // Drop the code set and modifier: "de_CH.UTF-8@euro" -> "de_CH".
    const std::string locale = localeIn.substr(0, localeIn.find_first_of(".@"));
    if (locale.empty() || locale == "C" || locale == "POSIX")
        return 0;
    for (const LanguageInfo& l : kLanguages)
        if (locale == l.locale)
            return l.id;
    // A language alone, or in a territory the table does not know, is the
    // language's first entry: a bare primary id would never load.
    const std::string language = locale.substr(0, locale.find('_'));
    for (const LanguageInfo& l : kLanguages)
        if (sameLanguage(l.locale, language))
            return l.id;
    return 0;
}

std::string LanguageName(LanguageId id)
{
    if (const LanguageInfo* info = FindLanguage(id))
        return info->nativeName;
    char text[32];
    std::snprintf(text, sizeof text, "%u - ???", unsigned(id));
    return text;
}

}  // namespace qv
