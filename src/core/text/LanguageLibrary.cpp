#include "core/text/LanguageLibrary.h"

#include "core/settings/Settings.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace qv {
namespace {

std::string environmentValue(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// A value of a shell-style KEY=value file, quotes removed.
std::string fileValue(const std::string& text, const std::string& key)
{
    std::istringstream lines(text);
    std::string line, found;
    while (std::getline(lines, line)) {
        const size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, key.size() + 1, key + "=") != 0)
            continue;
        found = line.substr(start + key.size() + 1);
        while (!found.empty() && (found.back() == ' ' || found.back() == '\t' || found.back() == '\r'))
            found.pop_back();
        if (found.size() >= 2 && (found.front() == '"' || found.front() == '\'') && found.back() == found.front())
            found = found.substr(1, found.size() - 2);
    }
    return found;
}

// The first of values that is set, as a language id; a LANGUAGE-style
// list counts by its first entry.
LanguageId firstLanguage(std::initializer_list<std::string> values)
{
    for (const std::string& value : values) {
        if (value.empty())
            continue;
        return LanguageFromLocale(value.substr(0, value.find(':')));
    }
    return 0;
}

}  // namespace

LocaleEnvironment ReadLocaleEnvironment()
{
    LocaleEnvironment e;
    e.quorvaneLang = environmentValue("QUORVANE_LANG");
    e.language = environmentValue("LANGUAGE");
    e.lcAll = environmentValue("LC_ALL");
    e.lcMessages = environmentValue("LC_MESSAGES");
    e.lcCtype = environmentValue("LC_CTYPE");
    e.lang = environmentValue("LANG");
    for (const char* path : {"/etc/locale.conf", "/etc/default/locale"}) {
        std::ifstream file(path);
        if (!file)
            continue;
        std::ostringstream text;
        text << file.rdbuf();
        e.systemLocale = text.str();
        break;
    }
    return e;
}

std::array<LanguageId, 6> PreferredCandidates(LanguageId setting, const LocaleEnvironment& e, LanguageId own)
{
    const std::string& system = e.systemLocale;
    return {
        setting,
        firstLanguage({e.quorvaneLang, e.language, e.lcAll, e.lcMessages, e.lang}),
        firstLanguage({fileValue(system, "LANGUAGE"), fileValue(system, "LC_MESSAGES"), fileValue(system, "LANG")}),
        firstLanguage({e.lcAll, e.lcCtype, e.lang}),
        firstLanguage({fileValue(system, "LC_CTYPE"), fileValue(system, "LANG")}),
        own,
    };
}

LanguageId FirstAcceptedLanguage(const std::array<LanguageId, 6>& candidates,
                                 const std::function<bool(LanguageId)>& accepts)
{
    for (LanguageId c : candidates) {
        if (c == 0)
            continue;
        if (accepts(c))
            return c;
        if (c < 0x400)
            continue;
        const LanguageId primary = LanguageId(c & 0x3FF);
        if (accepts(primary))
            return primary;
        if ((c >> 10) != 1 && accepts(LanguageId(primary | 0x400)))
            return LanguageId(primary | 0x400);
    }
    return 0;
}

LanguageId BuiltinTextLanguage(const LocaleEnvironment& environment)
{
    const LanguageId chosen = FirstAcceptedLanguage(PreferredCandidates(0, environment, kRussian), [](LanguageId id) {
        return id == kRussian || id == kEnglishUS || id == kGerman;
    });
    return chosen ? chosen : kRussian;
}

LanguageLibrary::LanguageLibrary(TranslationLoader& loader, std::vector<std::string> folders, std::string baseName,
                                 LanguageId ownLanguage, LocaleEnvironment environment)
    : ownLanguage(ownLanguage), loader_(loader), folders_(std::move(folders)), baseName_(std::move(baseName)),
      environment_(std::move(environment))
{
}

LanguageLibrary::~LanguageLibrary()
{
    UnloadLanguage();
}

void LanguageLibrary::LoadPreferredLanguage(const ProfileStore& store)
{
    const int32_t stored = ReadProfileInt(store, kLanguageIdKey, 0);
    const LanguageId setting = stored > 0 && stored <= 0xFFFF ? LanguageId(stored) : 0;
    FirstAcceptedLanguage(PreferredCandidates(setting, environment_, ownLanguage), [this](LanguageId id) {
        currentLanguage = id;
        return TryLanguage();
    });
}

bool LanguageLibrary::TryLanguage()
{
    if (currentLanguage == ownLanguage) {
        UnloadLanguage();
        return true;
    }
    if (LanguageAbbreviation(currentLanguage).empty())
        return false;
    for (const std::string& folder : folders_) {
        std::unique_ptr<Translation> loaded = loader_.load(filePath(folder, currentLanguage));
        if (!loaded)
            continue;
        UnloadLanguage();
        resourceModule = std::move(loaded);
        loader_.use(resourceModule.get(), currentLanguage);
        return true;
    }
    return false;
}

void LanguageLibrary::UnloadLanguage()
{
    if (!resourceModule)
        return;
    loader_.use(nullptr, ownLanguage);
    resourceModule.reset();
}

void LanguageLibrary::ListLanguages()
{
    languages.clear();
    if (ownLanguage != 0)
        languages.push_back(ownLanguage);
    // "<base>???.qm"; a name found in an earlier folder hides the same name
    // in a later one, as it does for loading.
    std::set<std::string> seen;
    for (const std::string& folder : folders_) {
        std::error_code error;
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
            const std::string name = entry.path().filename().string();
            if (name.size() == baseName_.size() + 6 && name.compare(0, baseName_.size(), baseName_) == 0 &&
                name.compare(name.size() - 3, 3, ".qm") == 0)
                names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            if (!seen.insert(name).second)
                continue;
            const LanguageId language = loader_.fileLanguage(folder + "/" + name);
            if (language != 0)
                languages.push_back(language);
        }
    }
}

bool LanguageLibrary::ChooseLanguage(int commandId, ProfileStore& store)
{
    const int index = commandId - kLanguageCommandFirst;
    if (index < 0 || index >= int(languages.size()) || index >= kLanguageCommandCount)
        return false;
    store.writeInt(kLanguageIdKey, languages[size_t(index)]);
    LoadPreferredLanguage(store);
    return true;
}

std::string LanguageLibrary::filePath(const std::string& folder, LanguageId language) const
{
    return folder + "/" + baseName_ + LanguageAbbreviation(language) + ".qm";
}

}  // namespace qv
