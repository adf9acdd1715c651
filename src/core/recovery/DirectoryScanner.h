#pragma once

#include "core/run/SharedContext.h"

#include <cstdint>
#include <string>

namespace qv {

// The FAT12/FAT16 layout read from a volume's boot sector.
struct FatLayout {
    uint64_t rootSector = 0;       // R
    uint64_t rootSectors = 0;      // N
    uint64_t clusterSectors = 0;   // C
    uint32_t rootEntries = 0;      // the root directory's entry count
    // The first sector of cluster c (clusters begin at 2).
    int64_t clusterSector(uint32_t cluster) const
    {
        return int64_t(rootSector + rootSectors) + (int64_t(cluster) - 2) * int64_t(clusterSectors);
    }
};

// Reads the layout from a boot sector; false when the sector is not the
// boot sector of a FAT volume with 512-byte sectors.
bool ReadFatLayout(const uint8_t* bootSector, FatLayout* layout);

// The worker of directory mode: lists the deleted file entries of the
// volume's FAT12/FAT16 directories. A volume that is not FAT ends RUN_DONE
// with nothing listed; 0 (RUN_FAILED, 109) when the boot sector cannot be
// read, else 1.
int ScanDeletedEntries(SharedContext& context);

// Walks one directory from its first sector (consecutive sectors) and
// recurses into its subdirectories, listing deleted files with the row text
// prefix + name. limit ends the walk after that many file and directory
// entries.
void WalkDirectory(SharedContext& context, const FatLayout& layout, uint64_t firstSector, uint32_t limit,
                   const std::string& prefix);

}  // namespace qv
