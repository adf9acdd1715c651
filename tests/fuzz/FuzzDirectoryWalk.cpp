// The directory-mode walk (ScanDeletedEntries) over an arbitrary image, and
// the names it lists made into file names.
#include "FuzzMedium.h"

#include "core/recovery/DirectoryScanner.h"
#include "core/recovery/RecoverySaving.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    qv::fuzz::FuzzMedium medium(data, size);
    qv::ScanDeletedEntries(medium.context);
    for (int i = 0; i < medium.list.rowCount(); ++i) {
        const std::string name = qv::SafeFileName(medium.list.row(i).file->name);
        if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
            name.find('\0') != std::string::npos)
            std::abort();
    }
    return 0;
}
