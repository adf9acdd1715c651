#pragma once

#include "core/text/LanguageLibrary.h"

#include <QString>
#include <QStringList>
#include <QTranslator>

class QCoreApplication;
class QMenu;

namespace qv::ui {

// Loads translation files with QTranslator and installs the one in use into
// the application, together with Qt's own translation of its dialogs
// (qtbase_xx), so that LoadText, the menus and Qt's buttons all speak it.
class QtTranslationLoader : public TranslationLoader {
public:
    explicit QtTranslationLoader(QCoreApplication& app);
    ~QtTranslationLoader() override;

    std::unique_ptr<Translation> load(const std::string& path) override;
    void use(Translation* translation, LanguageId language) override;
    LanguageId fileLanguage(const std::string& path) override;

    // The language whose Qt dialog translation is installed; 0 for none.
    LanguageId qtDialogsLanguage() const { return qtDialogsLanguage_; }

private:
    QCoreApplication& app_;
    QTranslator* current_ = nullptr;
    QTranslator qtDialogs_;
    LanguageId qtDialogsLanguage_ = 0;
};

// Where translation files are looked for: the executable's folder, then the
// installed data folder (<prefix>/share/quorvane beside <prefix>/bin).
std::vector<std::string> TranslationFolders();

// Fills the language sub-menu: one radio item per language of the library
// (its command id in the item's data), the language in use checked. Without
// a library the menu names the program's own language alone.
void BuildLanguageMenu(LanguageLibrary* library, QMenu* menu);
// The item property that marks the language the menu was built in.
inline constexpr const char* kLanguageInUseProperty = "languageInUse";

// Loads quorvaneENU.qm from the executable's folder (or dir when given),
// installs it and makes LoadText answer through it. False when the file
// cannot be loaded; the built-in texts then stay. (Tests use it to look at
// a window in English.)
bool InstallEnglish(QCoreApplication& app, QTranslator& translator, const QString& dir = QString());
// True while InstallEnglish's translation answers LoadText.
bool EnglishInUse();
// Back to the built-in texts.
void RemoveTranslation(QCoreApplication& app, QTranslator& translator);

}  // namespace qv::ui
