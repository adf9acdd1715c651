#include "platform/linux/DeferredVolume.h"

#include "platform/linux/Sysfs.h"
#include "platform/linux/SysfsScsi.h"

#include <cerrno>
#include <unistd.h>

namespace qv::linux_platform {
namespace {

std::mutex serviceMutex;
std::shared_ptr<DiskService> currentService;

std::string kernelName(const VolumeTarget& target)
{
    return target.volumeName.empty() ? target.diskName : target.volumeName;
}

}  // namespace

void SetDiskService(std::shared_ptr<DiskService> service)
{
    std::lock_guard lock(serviceMutex);
    currentService = std::move(service);
}

std::shared_ptr<DiskService> CurrentDiskService()
{
    std::lock_guard lock(serviceMutex);
    return currentService;
}

DeferredVolume::DeferredVolume(VolumeTarget target, std::shared_ptr<DiskService> service)
    : target_(std::move(target)), service_(std::move(service))
{
}

std::shared_ptr<LinuxVolume> DeferredVolume::ensure(bool write, bool askAgain, VolumeFailure* failure)
{
    std::unique_lock lock(mutex_);
    if (closed_) {
        if (failure)
            *failure = {EBADF, 0, {}, {}};
        return nullptr;
    }
    if (opened_ && (writable_ || !write))
        return opened_;
    if (refused_ && !askAgain) {
        if (failure)
            *failure = *refused_;
        return nullptr;
    }
    VolumeFailure refusal;
    auto volume = open(write, &refusal);
    if (!volume)
        refused_ = refusal;
    else
        refused_.reset();
    if (failure && !volume)
        *failure = refusal;
    return volume;
}

// Called with the mutex held.
std::shared_ptr<LinuxVolume> DeferredVolume::open(bool write, VolumeFailure* failure)
{
    // A volume opened for reading is given back before the exclusive open
    // for writing, which its own descriptor would otherwise block.
    if (opened_) {
        opened_->close();
        opened_.reset();
    }
    if (write) {
        // Every file system of the disk goes, not only the volume's: a
        // write test covers the whole medium's first partition, and the
        // others are unmounted as the desktop would before formatting.
        std::vector<std::string> nodes{target_.diskName};
        for (const PartitionEntry& part : Partitions(target_.sysfsRoot, target_.diskName))
            nodes.push_back(part.name);
        for (const std::string& node : nodes)
            if (!service_->unmount(node, failure))
                return nullptr;
    }
    DiskService::Opened result = service_->openDevice(kernelName(target_), write);
    if (result.fd < 0) {
        if (failure)
            *failure = result.failure;
        return nullptr;
    }
    // Reopening asks the service again, never the path.
    const VolumeTarget target = target_;
    const std::shared_ptr<DiskService> service = service_;
    auto reopen = [target, service]() -> std::shared_ptr<Volume> {
        return std::make_shared<DeferredVolume>(target, service);
    };
    int error = 0;
    opened_ = LinuxVolume::adopt(target_, result.fd, !write, reopen, service_->name(), &error);
    if (!opened_) {
        if (failure)
            *failure = {error, 0, {}, {}};
        return nullptr;
    }
    writable_ = write;
    return opened_;
}

bool DeferredVolume::prepare(bool write, VolumeFailure* failure)
{
    auto volume = ensure(write, true, failure);
    return volume && volume->prepare(write, failure);
}

void DeferredVolume::release()
{
    if (auto volume = opened())
        volume->release();
}

int64_t DeferredVolume::readAt(uint64_t offset, void* buffer, size_t length)
{
    VolumeFailure failure;
    auto volume = ensure(false, false, &failure);
    return volume ? volume->readAt(offset, buffer, length) : -(failure.error ? failure.error : EACCES);
}

int64_t DeferredVolume::writeAt(uint64_t offset, const void* buffer, size_t length)
{
    VolumeFailure failure;
    auto volume = ensure(true, false, &failure);
    return volume ? volume->writeAt(offset, buffer, length) : -(failure.error ? failure.error : EACCES);
}

bool DeferredVolume::flush()
{
    auto volume = opened();
    return volume ? volume->flush() : isOpen();
}

void DeferredVolume::close()
{
    std::shared_ptr<LinuxVolume> volume;
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        volume = opened_;
    }
    if (volume)
        volume->close();
}

bool DeferredVolume::isOpen() const
{
    std::lock_guard lock(mutex_);
    return !closed_;
}

std::shared_ptr<Volume> DeferredVolume::reopen()
{
    // The fresh volume opens on demand like this one did, asking the service
    // again (a writer holds the device exclusively, so this one lets go of
    // it first; the caller closes the old handle anyway). It is not opened
    // here: after a format the desktop may have mounted the new file system,
    // which only a write has reason to unmount.
    close();
    return std::make_shared<DeferredVolume>(target_, service_);
}

ScsiResult DeferredVolume::scsi(const ScsiRequest& request)
{
    if (auto volume = opened())
        return volume->scsi(request);
    if (!isOpen())
        return {false, 0};
    return AnswerFromSysfs(target_.sysfsRoot, target_.diskName, request);
}

std::optional<int64_t> DeferredVolume::firstPartitionBytes()
{
    return FirstPartitionBytes(target_);
}

std::string DeferredVolume::access() const
{
    return service_->name();
}

std::shared_ptr<LinuxVolume> DeferredVolume::opened() const
{
    std::lock_guard lock(mutex_);
    return opened_;
}

}  // namespace qv::linux_platform
