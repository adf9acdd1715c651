#include "platform/linux/SysfsScsi.h"

#include "core/device/Scsi.h"
#include "platform/linux/Sysfs.h"

#include <algorithm>
#include <cstring>

namespace qv::linux_platform {
namespace {

void copyPadded(uint8_t* to, const std::string& text, size_t width)
{
    std::memset(to, ' ', width);
    std::memcpy(to, text.data(), std::min(text.size(), width));
}

}  // namespace

ScsiResult AnswerFromSysfs(const std::string& sysfsRoot, const std::string& disk, const ScsiRequest& request)
{
    auto* data = static_cast<uint8_t*>(request.buffer);
    const uint64_t sectors = BlockSectors(sysfsRoot, disk);
    switch (request.cdb[0]) {
    case 0x00:  // TEST UNIT READY
        return {true, uint8_t(sectors ? 0x00 : 0x02)};
    case 0x12: {  // INQUIRY
        const TranslatedIdentity id = IdentityFromSysfs(sysfsRoot, disk);
        uint8_t answer[36] = {};
        answer[0] = 0x00;  // direct-access device
        answer[1] = id.removable ? 0x80 : 0x00;
        answer[2] = 0x05;
        answer[3] = 0x02;
        answer[4] = 31;
        copyPadded(answer + 8, id.vendor, 8);
        copyPadded(answer + 16, id.product, 16);
        copyPadded(answer + 32, id.revision, 4);
        if (data)
            std::memcpy(data, answer, std::min<size_t>(request.length, sizeof answer));
        return {true, 0};
    }
    default:
        // READ CAPACITY (10) and (16), in 512-byte blocks like every transfer.
        if (auto answer = AnswerReadCapacity(request, sectors))
            return *answer;
        return {true, 0x02};  // CHECK CONDITION: not supported
    }
}

std::optional<int64_t> FirstPartitionBytes(const VolumeTarget& target)
{
    if (target.diskName.empty())
        return std::nullopt;
    // A partition named explicitly is the volume, and its length the size.
    if (!target.volumeName.empty() && target.volumeName != target.diskName)
        return int64_t(BlockSectors(target.sysfsRoot, target.volumeName) * 512);
    auto first = FirstPartition(target.sysfsRoot, target.diskName);
    if (!first)
        return std::nullopt;
    return int64_t(first->sectors * 512);
}

}  // namespace qv::linux_platform
