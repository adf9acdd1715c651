#include "ui/app/Language.h"

#include "core/text/StringTable.h"

#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QMenu>

namespace qv::ui {
namespace {

bool englishInUse = false;

struct QtTranslation : Translation {
    QTranslator translator;
};

// LoadText asks the installed translators by string id.
void answerThroughTranslators()
{
    SetTextProvider([](int id) -> std::string {
        const QByteArray key = QByteArray::number(id);
        const QString text = qtTrId(key.constData());
        // qtTrId answers an unknown id with the id itself.
        return text == QLatin1String(key) ? std::string() : text.toStdString();
    });
}

}  // namespace

QtTranslationLoader::QtTranslationLoader(QCoreApplication& app) : app_(app)
{
    use(nullptr, kRussian);
}

QtTranslationLoader::~QtTranslationLoader()
{
    if (current_)
        app_.removeTranslator(current_);
    app_.removeTranslator(&qtDialogs_);
}

std::unique_ptr<Translation> QtTranslationLoader::load(const std::string& path)
{
    auto translation = std::make_unique<QtTranslation>();
    if (!translation->translator.load(QString::fromStdString(path)))
        return nullptr;
    return translation;
}

void QtTranslationLoader::use(Translation* translation, LanguageId language)
{
    if (current_) {
        app_.removeTranslator(current_);
        current_ = nullptr;
    }
    if (translation) {
        current_ = &static_cast<QtTranslation*>(translation)->translator;
        app_.installTranslator(current_);
        answerThroughTranslators();
    } else {
        SetTextProvider({});
    }
    // Qt's own dialogs: qtbase_de for German, none (Qt's English) where Qt
    // ships no translation.
    app_.removeTranslator(&qtDialogs_);
    qtDialogsLanguage_ = 0;
    const LanguageInfo* info = FindLanguage(language);
    if (info) {
        const QString code = QString::fromLatin1(info->locale).section(QLatin1Char('_'), 0, 0);
        if (qtDialogs_.load(QStringLiteral("qtbase_") + code, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            app_.installTranslator(&qtDialogs_);
            qtDialogsLanguage_ = language;
        }
    }
}

LanguageId QtTranslationLoader::fileLanguage(const std::string& path)
{
    QTranslator probe;
    if (!probe.load(QString::fromStdString(path)))
        return 0;
    return LanguageFromLocale(probe.language().replace(QLatin1Char('-'), QLatin1Char('_')).toStdString());
}

std::vector<std::string> TranslationFolders()
{
    const QString executable = QCoreApplication::applicationDirPath();
    return {QDir::cleanPath(executable).toStdString(),
            QDir::cleanPath(executable + QStringLiteral("/../share/quorvane")).toStdString()};
}

void BuildLanguageMenu(LanguageLibrary* library, QMenu* menu)
{
    menu->clear();
    auto* group = new QActionGroup(menu);
    group->setExclusive(true);
    if (!library) {
        QAction* own = group->addAction(QString::fromStdString(LanguageName(kRussian)));
        own->setCheckable(true);
        own->setChecked(true);
        own->setProperty(kLanguageInUseProperty, true);
        menu->addAction(own);
        return;
    }
    library->ListLanguages();
    const size_t count = std::min<size_t>(library->languages.size(), kLanguageCommandCount);
    for (size_t i = 0; i < count; ++i) {
        const LanguageId language = library->languages[i];
        QAction* item = group->addAction(QString::fromStdString(LanguageName(language)));
        item->setData(kLanguageCommandFirst + int(i));
        item->setCheckable(true);
        item->setChecked(language == library->currentLanguage);
        item->setProperty(kLanguageInUseProperty, item->isChecked());
        menu->addAction(item);
    }
}

bool InstallEnglish(QCoreApplication& app, QTranslator& translator, const QString& dir)
{
    const QString folder = dir.isEmpty() ? QCoreApplication::applicationDirPath() : dir;
    if (!translator.load(QStringLiteral("quorvaneENU"), folder))
        return false;
    app.installTranslator(&translator);
    answerThroughTranslators();
    englishInUse = true;
    return true;
}

bool EnglishInUse()
{
    return englishInUse;
}

void RemoveTranslation(QCoreApplication& app, QTranslator& translator)
{
    SetTextProvider({});
    app.removeTranslator(&translator);
    englishInUse = false;
}

}  // namespace qv::ui
