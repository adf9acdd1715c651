#pragma once

#include <memory>
#include <string>

namespace qv::linux_platform {

// What the monitor reports, by whole-disk kernel name ("sdb", "mmcblk0").
class DriveEvents {
public:
    virtual ~DriveEvents() = default;
    virtual void diskArrived(const std::string& kernelName) = 0;
    virtual void diskRemoved(const std::string& kernelName) = 0;
    // A card reader's medium changed (DISK_MEDIA_CHANGE): the medium may now
    // be present or absent.
    virtual void mediaChanged(const std::string& kernelName) = 0;
};

// Reports one uevent of the block subsystem: a disk's add and remove, and a
// change that carries DISK_MEDIA_CHANGE=1; everything else (partitions,
// other changes) is left alone.
void RouteDiskEvent(const std::string& action, const std::string& devtype, const std::string& kernelName,
                    bool mediaChange, DriveEvents& events);

// A libudev monitor on the block subsystem: the udev source, or the kernel
// source where no udev daemon runs. The owner watches fd() for reading (a
// QSocketNotifier in the GUI, poll() in the tool) and calls dispatch(),
// which reports every waiting event on the calling thread.
class UdevMonitor {
public:
    virtual ~UdevMonitor() = default;
    // Null when no monitor can be had.
    static std::unique_ptr<UdevMonitor> create(DriveEvents& events);
    virtual int fd() const = 0;
    virtual void dispatch() = 0;
    // "udev" or "kernel".
    virtual const char* source() const = 0;
};

}  // namespace qv::linux_platform
