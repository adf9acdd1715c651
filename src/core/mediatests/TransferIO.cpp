#include "core/mediatests/TransferIO.h"

#include "core/text/StringIds.h"
#include "core/text/StringTable.h"

#include <cerrno>
#include <cstring>
#include <ctime>

namespace qv {
namespace {

DeviceHandle usableHandle(const DeviceRecord& record)
{
    DeviceHandle handle = record.handle.get();
    if (!handle || !handle->isOpen() || record.detached)
        return nullptr;
    return handle;
}

}  // namespace

TransferBuffer AllocateTransferBuffer()
{
    return TransferBuffer(static_cast<uint8_t*>(std::aligned_alloc(4096, kTransferChunkBytes)));
}

int ReadChunkAt(const DeviceRecord& record, uint64_t sector, int count, void* buffer)
{
    DeviceHandle handle = usableHandle(record);
    if (!handle)
        return ENODEV;
    const size_t length = size_t(count) * 512;
    handle->setPosition(sector * 512);
    const int64_t got = handle->readAt(sector * 512, buffer, length);
    if (got < 0)
        return int(-got);
    handle->setPosition(sector * 512 + uint64_t(got));
    return uint64_t(got) == length ? 0 : EIO;
}

int WriteChunkAt(const DeviceRecord& record, uint64_t sector, int count, const void* buffer)
{
    DeviceHandle handle = usableHandle(record);
    if (!handle)
        return ENODEV;
    const size_t length = size_t(count) * 512;
    handle->setPosition(sector * 512);
    const int64_t put = handle->writeAt(sector * 512, buffer, length);
    if (put < 0)
        return int(-put);
    handle->setPosition(sector * 512 + uint64_t(put));
    if (uint64_t(put) == length)
        return 0;
    // A short write: the rest once more, so that the error names its cause
    // (a full host file system answers ENOSPC only on the second try).
    const int64_t rest = handle->writeAt(sector * 512 + uint64_t(put), static_cast<const uint8_t*>(buffer) + put,
                                         length - size_t(put));
    if (rest < 0)
        return int(-rest);
    return uint64_t(rest) == length - size_t(put) ? 0 : EIO;
}

std::string DrivePath(const DeviceRecord& record)
{
    DeviceHandle handle = record.handle.get();
    return handle ? handle->path() : std::string(record.productText);
}

bool EnterRunState(RunStatus& status, int32_t value)
{
    int32_t current = status.state();
    do {
        if (current == RUN_STOP)
            return false;
    } while (!status.runState.compare_exchange_weak(current, value, std::memory_order_relaxed));
    return true;
}

std::string SectorObject(const std::string& drive, uint64_t sector)
{
    return drive + ", " + LoadText(str::kSector) + " " + std::to_string(sector);
}

std::string ProposedImageName(const char* productText, int year, int month, int day)
{
    static const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                          "July",    "August",   "September", "October", "November", "December"};
    const char* monthName = month >= 1 && month <= 12 ? kMonths[month - 1] : "";
    char date[32];
    std::snprintf(date, sizeof date, "%02d-%s-%04d", day, monthName, year);
    return std::string(productText ? productText : "") + "_" + date;
}

std::string ProposedImageName(const char* productText)
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return ProposedImageName(productText, local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

std::string ImageFilter()
{
    return LoadText(str::kImageFileLabel) + "|*.qvn||";
}

std::string ImageDialogFilter(bool save)
{
    const std::string first = LoadText(str::kImageFileLabel) + "|*.qvn|";
    if (save)
        return first + LoadText(str::kCompressedBackupLabel) + "|*.qvn.zst||";
    return first + LoadText(str::kCompressedImagesLabel) + "|*.zst;*.gz;*.xz;*.bz2|" + LoadText(str::kAllFilesLabel) +
           "|*||";
}

}  // namespace qv
