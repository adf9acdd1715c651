// IdentifySignature and MeasureFileLength on an arbitrary small medium. The
// last input byte names a kind to measure as well as the one identified, so
// every rule is reached without its signature.
#include "FuzzMedium.h"

#include "core/recovery/FormatMask.h"
#include "core/recovery/LengthRules.h"
#include "core/recovery/SignatureScanner.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const int32_t forced = data[size - 1] % 21;
    qv::fuzz::FuzzMedium medium(data, size - 1);
    int32_t kind = qv::IdentifySignature(static_cast<const uint8_t*>(
        static_cast<qv::test::MemoryVolume*>(medium.record.handle.get().get())->bytes().data()), qv::kAllFormatsMask);
    if (kind != 0)
        qv::MeasureFileLength(medium.context, 0, &kind);
    kind = forced;
    qv::MeasureFileLength(medium.context, 0, &kind);
    return 0;
}
