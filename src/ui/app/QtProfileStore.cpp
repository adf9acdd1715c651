#include "ui/app/QtProfileStore.h"

#include <QCoreApplication>

namespace qv::ui {

QtProfileStore::QtProfileStore()
    : settings_(std::make_unique<QSettings>(QCoreApplication::organizationName(),
                                            QCoreApplication::applicationName()))
{
}

QtProfileStore::QtProfileStore(std::unique_ptr<QSettings> settings) : settings_(std::move(settings)) {}

std::optional<int64_t> QtProfileStore::readInt(const std::string& name) const
{
    const QVariant value = settings_->value(QString::fromStdString(name));
    if (!value.isValid())
        return std::nullopt;
    bool ok = false;
    // A hand-edited file may hold "0x0000FF" for a colour: base 0 reads
    // decimal, hexadecimal and octal alike.
    const qlonglong number = value.toString().trimmed().toLongLong(&ok, 0);
    if (!ok)
        return std::nullopt;
    return int64_t(number);
}

void QtProfileStore::writeInt(const std::string& name, int64_t value)
{
    settings_->setValue(QString::fromStdString(name), qlonglong(value));
}

void QtProfileStore::sync()
{
    settings_->sync();
}

}  // namespace qv::ui
