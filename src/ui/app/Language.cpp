#include "ui/app/Language.h"

#include "core/text/StringTable.h"

#include <QCoreApplication>
#include <QTranslator>

namespace qv::ui {
namespace {

bool englishInUse = false;

}  // namespace

bool WantEnglishFrom(const QString& quorvaneLang, const QString& language, const QString& lcAll,
                     const QString& lcMessages, const QString& lang)
{
    if (!quorvaneLang.isEmpty())
        return quorvaneLang.startsWith(QLatin1String("en"), Qt::CaseInsensitive);
    for (const QString& value : {language, lcAll, lcMessages, lang}) {
        if (value.isEmpty())
            continue;
        // LANGUAGE is a priority list ("en_GB:ru"); its first entry counts.
        const QString first = value.section(QLatin1Char(':'), 0, 0);
        return first.startsWith(QLatin1String("en"), Qt::CaseInsensitive);
    }
    return false;
}

bool WantEnglish()
{
    return WantEnglishFrom(qEnvironmentVariable("QUORVANE_LANG"), qEnvironmentVariable("LANGUAGE"),
                           qEnvironmentVariable("LC_ALL"), qEnvironmentVariable("LC_MESSAGES"),
                           qEnvironmentVariable("LANG"));
}

bool InstallEnglish(QCoreApplication& app, QTranslator& translator, const QString& dir)
{
    const QString folder = dir.isEmpty() ? QCoreApplication::applicationDirPath() : dir;
    if (!translator.load(QStringLiteral("quorvaneENU"), folder))
        return false;
    app.installTranslator(&translator);
    SetTextProvider([](int id) -> std::string {
        const QByteArray key = QByteArray::number(id);
        const QString text = qtTrId(key.constData());
        // qtTrId answers an unknown id with the id itself.
        return text == QLatin1String(key) ? std::string() : text.toStdString();
    });
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
