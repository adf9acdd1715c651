#include "ui/app/DriveWatcher.h"

#include "core/device/DriveList.h"
#include "core/device/SlotDriveSource.h"
#include "platform/linux/SystemDriveEvents.h"
#include "platform/linux/UdevMonitor.h"

#include <QSocketNotifier>

namespace qv::ui {

struct DriveWatcher::Impl {
    Impl(SlotDriveSource& source, DriveList& drives) : events(source, drives)
    {
        monitor = linux_platform::UdevMonitor::create(events);
        if (!monitor)
            return;
        notifier = std::make_unique<QSocketNotifier>(monitor->fd(), QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, [this] { monitor->dispatch(); });
    }
    linux_platform::SystemDriveEvents events;
    std::unique_ptr<linux_platform::UdevMonitor> monitor;
    std::unique_ptr<QSocketNotifier> notifier;
};

DriveWatcher::DriveWatcher(SlotDriveSource& source, DriveList& drives)
    : impl_(std::make_unique<Impl>(source, drives))
{
}

DriveWatcher::~DriveWatcher() = default;

bool DriveWatcher::active() const
{
    return impl_->notifier != nullptr;
}

}  // namespace qv::ui
