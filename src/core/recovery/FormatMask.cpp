#include "core/recovery/FormatMask.h"

#include "core/recovery/FileKind.h"

#include <atomic>

namespace qv {
namespace {

std::atomic<uint64_t> mask{kAllFormatsMask};

}  // namespace

uint64_t FormatMaskForListEntry(int entry)
{
    const int kind = KindAtListEntry(entry);
    return kind ? KindMaskBit(kind) : kAllFormatsMask;
}

uint64_t FormatMask()
{
    return mask.load(std::memory_order_relaxed);
}

void SetFormatMask(uint64_t value)
{
    mask.store(value, std::memory_order_relaxed);
}

}  // namespace qv
