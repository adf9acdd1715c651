#pragma once

#include <cstdint>
#include <string>

namespace qv {

// One file found by a scan. Signature mode fills name, kind, length and
// startSector; directory mode fills name and the entry fields below.
struct FoundFile {
    enum class Layout { Signature, Directory };
    Layout layout = Layout::Signature;

    // Signature mode: "%08d.%s" (running number, extension);
    // directory mode: "%.8s.%.3s" from the entry's name and extension fields.
    std::string name;
    int32_t kind = 0;
    int32_t length = 0;
    uint64_t startSector = 0;

    // Directory mode.
    int32_t deleted = 0;
    uint32_t startCluster = 0;
    uint32_t entryLength = 0;
    uint64_t directorySector = 0;
    int32_t entryIndex = 0;
};

}  // namespace qv
