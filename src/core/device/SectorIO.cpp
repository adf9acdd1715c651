#include "core/device/SectorIO.h"

#include "core/run/SharedContext.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace qv {
namespace {

std::atomic<int> settleDelayMs{500};

using Clock = std::chrono::steady_clock;
std::atomic<Clock::rep> timerStart{0};

bool usable(const DeviceHandle& handle)
{
    if (handle && handle->isOpen())
        return true;
    errno = EBADF;
    return false;
}

// Leaves the transfer's errno for a caller that names the failure.
bool failed(int64_t result)
{
    errno = int(-result);
    return false;
}

}  // namespace

int SeekToSector(const DeviceHandle& handle, uint64_t sector, int32_t sectorSize)
{
    if (handle)
        handle->setPosition(sector * uint64_t(int64_t(sectorSize)));
    return 1;
}

bool ReadSectors(const DeviceHandle& handle, int32_t count, int32_t sectorSize, void* buffer)
{
    if (!usable(handle) || count < 0 || sectorSize < 0)
        return false;
    const size_t length = size_t(count) * size_t(sectorSize);
    int64_t got = handle->readAt(handle->position(), buffer, length);
    if (got < 0)
        return failed(got);
    handle->setPosition(handle->position() + uint64_t(got));
    return true;
}

bool ReadSectorsAt(const DeviceHandle& handle, uint64_t sector, int32_t count, int32_t sectorSize,
                   void* buffer)
{
    if (!usable(handle) || count < 0 || sectorSize < 0)
        return false;
    const uint64_t offset = sector * uint64_t(sectorSize);
    const size_t length = size_t(count) * size_t(sectorSize);
    handle->setPosition(offset);
    int64_t got = handle->readAt(offset, buffer, length);
    if (got < 0)
        return failed(got);
    handle->setPosition(offset + uint64_t(got));
    return uint64_t(got) == length;
}

bool WriteSectors(const DeviceHandle& handle, int32_t count, int32_t sectorSize, const void* buffer)
{
    if (!usable(handle) || count < 0 || sectorSize < 0)
        return false;
    const size_t length = size_t(count) * size_t(sectorSize);
    int64_t put = handle->writeAt(handle->position(), buffer, length);
    if (put < 0)
        return failed(put);
    handle->setPosition(handle->position() + uint64_t(put));
    return true;
}

bool WriteSectorsAt(const DeviceHandle& handle, uint64_t sector, int32_t count, int32_t sectorSize,
                    const void* buffer)
{
    SeekToSector(handle, sector, sectorSize);
    return WriteSectors(handle, count, sectorSize, buffer);
}

bool HostFault(const DeviceHandle& handle, int error)
{
    return handle && error != 0 && handle->hostFault(error);
}

void ReopenDevice(SharedContext& context)
{
    DeviceRecord* record = context.device;
    if (!record)
        return;
    DeviceHandle old = record->handle;
    DeviceHandle fresh;
    if (old) {
        old->flush();
        // A drive that has left is never reopened: its path may already
        // belong to another stick.
        if (!record->detached)
            fresh = old->reopen();
        old->close();
    }
    record->handle = std::move(fresh);
}

void WipeMediumStart(SharedContext& context)
{
    if (!context.device)
        return;
    static const char zeros[65536] = {};
    DeviceHandle handle = context.device->handle;
    WriteSectorsAt(handle, 0, 1, 512, zeros);
    for (int i = 0; i < 8; ++i)
        WriteSectors(handle, 128, 512, zeros);
    std::this_thread::sleep_for(std::chrono::milliseconds(settleDelayMs.load()));
    ReopenDevice(context);
    std::this_thread::sleep_for(std::chrono::milliseconds(settleDelayMs.load()));
}

void ReadBootSector(SharedContext& context)
{
    if (!context.device)
        return;
    char scratch[512];
    ReadSectorsAt(context.device->handle, 0, 1, 512, scratch);
}

void SetSettleDelayMs(int milliseconds)
{
    settleDelayMs.store(milliseconds < 0 ? 0 : milliseconds);
}

void TimerInit()
{
    // steady_clock needs no frequency query; kept so every worker's timing
    // starts the same way.
}

void TimerStart()
{
    timerStart.store(Clock::now().time_since_epoch().count(), std::memory_order_relaxed);
}

long double TimerElapsedSeconds()
{
    const Clock::rep now = Clock::now().time_since_epoch().count();
    const Clock::rep start = timerStart.load(std::memory_order_relaxed);
    return (long double)(now - start) * Clock::period::num / Clock::period::den;
}

uint64_t Random32()
{
    std::rand();
    std::rand();
    const uint64_t third = uint64_t(std::rand() & 0x7FFF);
    const uint64_t fourth = uint64_t(std::rand() & 0x7FFF);
    return third * 65536 + fourth;
}

uint64_t RandomSector(uint64_t bound)
{
    if (bound == 0)
        return 0;
    constexpr uint64_t kRandom32Values = 32767ull * 65536 + 32768;
    if (bound <= kRandom32Values)
        return Random32() % bound;
    const uint64_t high = Random32();
    return (high * kRandom32Values + Random32()) % bound;
}

}  // namespace qv
