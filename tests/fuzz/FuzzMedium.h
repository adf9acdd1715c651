#pragma once

#include "support/MemoryVolume.h"

#include "core/recovery/FoundFileList.h"
#include "core/run/SharedContext.h"

#include <cstdint>
#include <memory>

namespace qv::fuzz {

class NullSink : public ProgressSink {
public:
    int64_t report(int32_t, int64_t) override { return 1; }
};

// A medium holding the fuzzer's bytes, padded with zeros to whole sectors.
struct FuzzMedium {
    FuzzMedium(const uint8_t* data, size_t size)
    {
        const size_t sectors = (size + 511) / 512;
        auto volume = std::make_shared<test::MemoryVolume>(sectors * 512);
        if (size)
            std::memcpy(volume->bytes().data(), data, size);
        record.handle = volume;
        record.sectorCount = uint32_t(sectors);
        status.progressWindow = &sink;
        status.listControl = &list;
        context.device = &record;
        context.status = &status;
    }

    DeviceRecord record;
    RunStatus status;
    SharedContext context;
    NullSink sink;
    MemoryFoundFileList list;
};

}  // namespace qv::fuzz
