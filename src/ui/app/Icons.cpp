#include "ui/app/Icons.h"

#include <QHash>
#include <QString>

// The icons are compiled into the static ui library, whose resource
// initialiser the linker would drop unless something calls it.
static void initIconResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace qv::ui {
namespace {

QString iconPath(int resourceId)
{
    static const bool loaded = (initIconResources(), true);
    (void)loaded;
    static const QHash<int, QString> paths = {
        {128, "app"},
        {173, "refresh"},
        {178, "drive"},
        {156, "usb-controller"},
        {157, "usb-hub"},
        {158, "usb-device"},
        {159, "page-information-selected"},
        {160, "page-information"},
        {147, "page-errorscan-selected"},
        {148, "page-errorscan"},
        {141, "page-erase-selected"},
        {143, "page-erase"},
        {163, "page-recovery-selected"},
        {164, "page-recovery"},
        {167, "page-backup-selected"},
        {168, "page-backup"},
        {131, "page-rawbench-selected"},
        {138, "page-rawbench"},
        {140, "page-filebench-selected"},
        {139, "page-filebench"},
    };
    const auto it = paths.find(resourceId);
    return it == paths.end() ? QString() : QStringLiteral(":/icons/%1.svg").arg(*it);
}

}  // namespace

QIcon ResourceIcon(int resourceId)
{
    const QString path = iconPath(resourceId);
    return path.isEmpty() ? QIcon() : QIcon(path);
}

QPixmap ResourcePixmap(int resourceId, int size)
{
    const QIcon icon = ResourceIcon(resourceId);
    return icon.isNull() ? QPixmap() : icon.pixmap(size, size);
}

QIcon MessageIcon(MessageKind kind)
{
    iconPath(0);
    switch (kind) {
    case MessageKind::Information: return QIcon(":/icons/message-information.svg");
    case MessageKind::Warning: return QIcon(":/icons/message-warning.svg");
    case MessageKind::Error: return QIcon(":/icons/message-error.svg");
    case MessageKind::Question: return QIcon(":/icons/message-question.svg");
    }
    return {};
}

}  // namespace qv::ui
