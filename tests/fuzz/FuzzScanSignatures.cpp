// ScanSignatures over an arbitrary image, every kind wanted.
#include "FuzzMedium.h"

#include "core/recovery/FormatMask.h"
#include "core/recovery/SignatureScanner.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    qv::SetFormatMask(qv::kAllFormatsMask);
    qv::fuzz::FuzzMedium medium(data, size);
    if (qv::ScanSignatures(medium.context) != 1)
        std::abort();
    for (int i = 0; i < medium.list.rowCount(); ++i)
        if (medium.list.row(i).file->length < 2)
            std::abort();
    return 0;
}
