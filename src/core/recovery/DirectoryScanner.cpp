#include "core/recovery/DirectoryScanner.h"

#include "core/device/SectorIO.h"
#include "core/recovery/FoundFileList.h"
#include "core/recovery/RecoveryProgress.h"
#include "core/text/StringIds.h"

#include <cstring>
#include <memory>
#include <set>

namespace qv {
namespace {

constexpr size_t kSector = 512;
// Subdirectories are nested no deeper than a path of this many names.
constexpr int kMaxDepth = 64;

uint16_t le16(const uint8_t* p)
{
    return uint16_t(p[0] | (p[1] << 8));
}

uint32_t le32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// "%.8s.%.3s" of the entry's name and extension fields.
std::string entryName(const uint8_t* entry)
{
    const char* field = reinterpret_cast<const char*>(entry);
    return std::string(field, strnlen(field, 8)) + "." + std::string(field + 8, strnlen(field + 8, 3));
}

// The name field without its trailing blanks (and without what follows a NUL).
std::string directoryName(const uint8_t* entry)
{
    const char* field = reinterpret_cast<const char*>(entry);
    std::string name(field, strnlen(field, 8));
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    return name;
}

// One walk of the volume: directories already walked are not walked again,
// so a directory entry that points back at an ancestor (or at itself) ends
// there instead of looping, and the sectors read are bounded.
struct Walk {
    SharedContext& context;
    const FatLayout& layout;
    std::set<uint64_t> walked;
    uint64_t sectorBudget;

    void directory(uint64_t first, uint32_t limit, const std::string& prefix, int depth);
};

void Walk::directory(uint64_t first, uint32_t limit, const std::string& prefix, int depth)
{
    DeviceRecord& record = *context.device;
    if (!walked.insert(first).second)
        return;
    uint32_t k = 0;
    uint8_t sector[kSector];
    for (uint64_t s = first;; ++s) {
        if (k >= limit || sectorBudget == 0)
            return;
        --sectorBudget;
        if (s >= record.sectorCount || !ReadSectorsAt(record.handle, s, 1, int32_t(kSector), sector))
            return;
        for (int index = 0; index < 16 && k < limit; ++index) {
            uint8_t* entry = sector + index * 32;
            if (entry[0] == 0x00)
                return;
            const uint8_t attribute = entry[11];
            if (attribute & 0x20) {
                if (entry[0] == 0xE5) {
                    entry[0] = '_';
                    auto found = std::make_unique<FoundFile>();
                    found->layout = FoundFile::Layout::Directory;
                    found->name = entryName(entry);
                    found->deleted = 1;
                    found->startCluster = le16(entry + 26);
                    found->entryLength = le32(entry + 28);
                    found->directorySector = s;
                    found->entryIndex = index;
                    const std::string text = prefix + found->name;
                    if (context.status->listControl)
                        context.status->listControl->appendRow(text, std::move(found));
                }
                ++k;
            } else if (attribute & 0x10) {
                if (entry[0] != '.' && depth < kMaxDepth) {
                    const int64_t start = layout.clusterSector(le16(entry + 26));
                    if (start >= 0)
                        directory(uint64_t(start), 0xFFFFFF, prefix + directoryName(entry) + "\\", depth + 1);
                }
                ++k;
            }
        }
    }
}

}  // namespace

bool ReadFatLayout(const uint8_t* b, FatLayout* layout)
{
    if (b[0] != 0xEB || b[2] != 0x90 || le16(b + 11) != 512)
        return false;
    layout->rootSector = uint64_t(le16(b + 14)) + uint64_t(b[16]) * le16(b + 22);
    layout->rootEntries = le16(b + 17);
    layout->rootSectors = layout->rootEntries / 16;
    layout->clusterSectors = b[13];
    return true;
}

void WalkDirectory(SharedContext& context, const FatLayout& layout, uint64_t firstSector, uint32_t limit,
                   const std::string& prefix)
{
    // A sound volume never needs more directory reads than it has sectors;
    // the walk of consecutive sectors may cover some twice.
    Walk walk{context, layout, {}, 4 * uint64_t(context.device->sectorCount) + 64};
    walk.directory(firstSector, limit, prefix, 0);
}

int ScanDeletedEntries(SharedContext& context)
{
    RunStatus& status = *context.status;
    DeviceRecord& record = *context.device;
    status.setState(RUN_ACTIVE);
    uint8_t boot[kSector];
    if (record.sectorCount == 0 || !ReadSectorsAt(record.handle, 0, 1, int32_t(kSector), boot)) {
        status.failure.set(str::kFailedRead, record.handle ? record.handle->path() : std::string(), 0);
        status.setState(RUN_FAILED);
        SendRecoveryProgress(context, str::kReadError);
        return 0;
    }
    FatLayout layout;
    if (ReadFatLayout(boot, &layout))
        WalkDirectory(context, layout, layout.rootSector, layout.rootEntries, "");
    status.setState(RUN_DONE);
    SendRecoveryProgress(context, 0);
    return 1;
}

}  // namespace qv
