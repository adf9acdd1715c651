#include "platform/linux/UdevMonitor.h"

#include <libudev.h>
#include <unistd.h>

namespace qv::linux_platform {
namespace {

class LibudevMonitor : public UdevMonitor {
public:
    LibudevMonitor(DriveEvents& events, udev* context, udev_monitor* monitor, const char* source)
        : events_(events), udev_(context), monitor_(monitor), source_(source)
    {
    }
    ~LibudevMonitor() override
    {
        udev_monitor_unref(monitor_);
        udev_unref(udev_);
    }

    int fd() const override { return udev_monitor_get_fd(monitor_); }
    const char* source() const override { return source_; }

    void dispatch() override
    {
        // The socket is non-blocking: receive until nothing waits.
        while (udev_device* device = udev_monitor_receive_device(monitor_)) {
            auto text = [](const char* value) { return std::string(value ? value : ""); };
            const char* media = udev_device_get_property_value(device, "DISK_MEDIA_CHANGE");
            RouteDiskEvent(text(udev_device_get_action(device)), text(udev_device_get_devtype(device)),
                           text(udev_device_get_sysname(device)), media && std::string(media) == "1",
                           events_);
            udev_device_unref(device);
        }
    }

private:
    DriveEvents& events_;
    udev* udev_;
    udev_monitor* monitor_;
    const char* source_;
};

udev_monitor* listen(udev* context, const char* source)
{
    udev_monitor* monitor = udev_monitor_new_from_netlink(context, source);
    if (!monitor)
        return nullptr;
    if (udev_monitor_filter_add_match_subsystem_devtype(monitor, "block", "disk") < 0 ||
        udev_monitor_enable_receiving(monitor) < 0) {
        udev_monitor_unref(monitor);
        return nullptr;
    }
    return monitor;
}

}  // namespace

void RouteDiskEvent(const std::string& action, const std::string& devtype, const std::string& kernelName,
                    bool mediaChange, DriveEvents& events)
{
    if (devtype != "disk" || kernelName.empty())
        return;
    if (action == "add")
        events.diskArrived(kernelName);
    else if (action == "remove")
        events.diskRemoved(kernelName);
    else if (action == "change" && mediaChange)
        events.mediaChanged(kernelName);
}

std::unique_ptr<UdevMonitor> UdevMonitor::create(DriveEvents& events)
{
    udev* context = udev_new();
    if (!context)
        return nullptr;
    // Events from udevd come after its rules ran (device nodes and their
    // permissions are in place); without a daemon only the kernel's own
    // events exist.
    const bool daemon = access("/run/udev/control", F_OK) == 0;
    for (const char* source : {daemon ? "udev" : "kernel", "kernel"}) {
        if (udev_monitor* monitor = listen(context, source))
            return std::make_unique<LibudevMonitor>(events, context, monitor, source);
    }
    udev_unref(context);
    return nullptr;
}

}  // namespace qv::linux_platform
