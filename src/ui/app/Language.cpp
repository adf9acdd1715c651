#include "ui/app/Language.h"

#include "core/text/Language.h"
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
    return qv::WantEnglishFrom(quorvaneLang.toStdString(), language.toStdString(), lcAll.toStdString(),
                               lcMessages.toStdString(), lang.toStdString());
}

bool WantEnglish()
{
    return qv::WantEnglish();
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
