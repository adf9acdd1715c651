#pragma once

#include <QString>

class QCoreApplication;
class QTranslator;

namespace qv::ui {

// Whether the interface should be English: QUORVANE_LANG=en|ru first, then
// the first of LANGUAGE, LC_ALL, LC_MESSAGES, LANG that is set.
bool WantEnglish();
// The same rule over given values (for the tests).
bool WantEnglishFrom(const QString& quorvaneLang, const QString& language, const QString& lcAll,
                     const QString& lcMessages, const QString& lang);

// Loads quorvaneENU.qm from the executable's folder (or dir when given),
// installs it and makes LoadText answer through it. False when the file
// cannot be loaded; the built-in texts then stay.
bool InstallEnglish(QCoreApplication& app, QTranslator& translator, const QString& dir = QString());
// True while the English translation answers LoadText.
bool EnglishInUse();
// Back to the built-in texts.
void RemoveTranslation(QCoreApplication& app, QTranslator& translator);

}  // namespace qv::ui
