#pragma once

// What the tests of the pages that write to a drive share beside the page
// fixtures: answering the write warning, and image files with given bytes.
#include "support/UiFixtures.h"
#include "ui/app/WriteWarningDialog.h"

#include <QByteArray>
#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <QRandomGenerator>

namespace qv::ui::test {

// A ModalCatcher handler that ticks the write warning's box and presses OK.
inline void AcceptWarning(QWidget* dialog)
{
    if (auto* warning = qobject_cast<CWriteWarningDialog*>(dialog)) {
        warning->checkBox()->setChecked(true);
        warning->okButton()->click();
    }
}
inline void acceptWarning(QWidget* dialog)
{
    AcceptWarning(dialog);
}

inline QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

// An image file of the folder holding bytes; its path.
inline QString ImageWith(ImageFolder& images, const QString& name, const QByteArray& bytes)
{
    const QString path = images.make(name, 0);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return path;
}

inline QByteArray RandomBytes(int n)
{
    QByteArray bytes(n, 0);
    for (char& b : bytes)
        b = char(QRandomGenerator::global()->generate());
    return bytes;
}

}  // namespace qv::ui::test
