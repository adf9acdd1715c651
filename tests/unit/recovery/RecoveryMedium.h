#pragma once

#include "support/MemoryVolume.h"
#include "support/SampleFiles.h"

#include "core/recovery/FoundFileList.h"
#include "core/recovery/OutputFolder.h"
#include "core/run/SharedContext.h"

#include <map>
#include <memory>
#include <vector>

namespace qv::test {

// Records every report; can ask for a stop after a number of reports.
class RecordingSink : public ProgressSink {
public:
    explicit RecordingSink(RunStatus& status) : status_(status) {}
    int64_t report(int32_t operation, int64_t value) override
    {
        operations.push_back(operation);
        values.push_back(value);
        states.push_back(status_.state());
        if (stopAfter && values.size() >= stopAfter)
            status_.setState(RUN_STOP);
        return 1;
    }
    std::vector<int32_t> operations;
    std::vector<int64_t> values;
    std::vector<int32_t> states;
    size_t stopAfter = 0;

private:
    RunStatus& status_;
};

// A drive in memory with the record, run status and found-file list of a
// recovery run wired together.
struct RecoveryMedium {
    explicit RecoveryMedium(uint32_t sectors) : volume(std::make_shared<MemoryVolume>(size_t(sectors) * 512)), sink(status)
    {
        record.handle = volume;
        record.sectorCount = sectors;
        status.progressWindow = &sink;
        status.listControl = &list;
        context.device = &record;
        context.status = &status;
    }

    void place(uint64_t sector, const Bytes& bytes)
    {
        std::memcpy(volume->bytes().data() + sector * 512, bytes.data(), bytes.size());
    }
    Bytes slice(uint64_t sector, size_t length) const
    {
        const uint8_t* at = volume->bytes().data() + sector * 512;
        return Bytes(at, at + length);
    }

    std::shared_ptr<MemoryVolume> volume;
    DeviceRecord record;
    RunStatus status;
    SharedContext context;
    RecordingSink sink;
    MemoryFoundFileList list;
};

// An output folder in memory; can refuse to create or to write.
class MemoryFolder : public OutputFolder {
public:
    class File : public OutputFile {
    public:
        File(MemoryFolder& folder, std::string name) : folder_(folder), name_(std::move(name)) {}
        bool write(const void* bytes, size_t length) override
        {
            if (folder_.failWrites)
                return false;
            const auto* p = static_cast<const uint8_t*>(bytes);
            folder_.files[name_].insert(folder_.files[name_].end(), p, p + length);
            folder_.writeSizes.push_back(length);
            return true;
        }
        bool close() override { return true; }

    private:
        MemoryFolder& folder_;
        std::string name_;
    };

    // Like a real folder, a name already there is never taken again.
    std::unique_ptr<OutputFile> create(const std::string& name, std::string* error) override
    {
        if (failCreate || files.count(name)) {
            *error = failCreate ? "refused" : "exists";
            return nullptr;
        }
        files[name];
        return std::make_unique<File>(*this, name);
    }
    bool existingNames(std::vector<std::string>* names, std::string*) override
    {
        for (const auto& [name, bytes] : files)
            names->push_back(name);
        return true;
    }
    std::string path() const override { return "memory"; }

    std::map<std::string, Bytes> files;
    std::vector<size_t> writeSizes;
    bool failCreate = false;
    bool failWrites = false;
};

}  // namespace qv::test
