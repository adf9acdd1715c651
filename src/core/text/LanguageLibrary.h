#pragma once

#include "core/text/Languages.h"

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qv {

class ProfileStore;

// A loaded translation file.
class Translation {
public:
    virtual ~Translation() = default;
};

// What the language library loads translation files through (the GUI's
// translator; a fake in the tests).
class TranslationLoader {
public:
    virtual ~TranslationLoader() = default;
    // Loads a translation file without putting it to use; null when it
    // cannot be loaded.
    virtual std::unique_ptr<Translation> load(const std::string& path) = 0;
    // Texts come from translation from now on, or from the built-in table
    // when it is null; language is the one they are in.
    virtual void use(Translation* translation, LanguageId language) = 0;
    // The language a translation file declares; 0 when it cannot be read
    // or declares none.
    virtual LanguageId fileLanguage(const std::string& path) = 0;
};

// Where the user's and the system's languages are read from.
struct LocaleEnvironment {
    std::string quorvaneLang;  // QUORVANE_LANG, a developer's override
    std::string language;      // LANGUAGE, a priority list "de_CH:de:en"
    std::string lcAll;
    std::string lcMessages;
    std::string lcCtype;
    std::string lang;
    std::string systemLocale;  // text of /etc/locale.conf or /etc/default/locale
};

// The process environment and the system's locale file.
LocaleEnvironment ReadLocaleEnvironment();

// The candidates LoadPreferredLanguage tries in order: the setting, the
// user's interface language, the system's interface language, the user's
// locale, the system's locale, the program's own language (0: none).
std::array<LanguageId, 6> PreferredCandidates(LanguageId setting, const LocaleEnvironment& environment,
                                              LanguageId own);

// The family rule over the candidates in order: for a candidate c (0 is
// skipped), c, then its primary language alone (c AND 0x3FF) when c has a
// sublanguage, then the primary language's first sublanguage when c's was
// another. The first id accepted is returned; 0 when none is.
LanguageId FirstAcceptedLanguage(const std::array<LanguageId, 6>& candidates,
                                 const std::function<bool(LanguageId)>& accepts);

// The language of the built-in table's texts for a program without
// translation files or settings (the command-line tool): the window's rule
// over the environment, among Russian, English and German.
LanguageId BuiltinTextLanguage(const LocaleEnvironment& environment);

// Menu command ids of the language sub-menu: the first plus the index in
// languages.
inline constexpr int kLanguageCommandFirst = 28416;
inline constexpr int kLanguageCommandCount = 256;

// Chooses, loads and lists the translation files "<base><ABBR>.qm" found in
// the given folders (the executable's, then the installed data folder).
// The program's own language (Russian) is built in and needs no file.
class LanguageLibrary {
public:
    LanguageLibrary(TranslationLoader& loader, std::vector<std::string> folders, std::string baseName,
                    LanguageId ownLanguage = kRussian, LocaleEnvironment environment = ReadLocaleEnvironment());
    ~LanguageLibrary();
    LanguageLibrary(const LanguageLibrary&) = delete;
    LanguageLibrary& operator=(const LanguageLibrary&) = delete;

    // The first candidate the family rule accepts is loaded: c, then its
    // primary language alone, then the primary language's first
    // sublanguage. Nothing accepted leaves the built-in texts.
    void LoadPreferredLanguage(const ProfileStore& store);
    // Loads currentLanguage alone; false when its file is missing or broken.
    bool TryLanguage();
    // Back to the built-in texts.
    void UnloadLanguage();
    // Rebuilds languages: ownLanguage, then each translation file's.
    void ListLanguages();
    // Writes the chosen language to the store and loads it; false (and
    // nothing written) when the command id is not one of languages.
    bool ChooseLanguage(int commandId, ProfileStore& store);

    // The path a language's file would have in a folder.
    std::string filePath(const std::string& folder, LanguageId language) const;
    bool translationLoaded() const { return resourceModule != nullptr; }
    const std::vector<std::string>& folders() const { return folders_; }

    std::vector<LanguageId> languages;
    const LanguageId ownLanguage;
    LanguageId currentLanguage = 0;
    std::unique_ptr<Translation> resourceModule;

private:
    TranslationLoader& loader_;
    std::vector<std::string> folders_;
    std::string baseName_;
    LocaleEnvironment environment_;
};

}  // namespace qv
