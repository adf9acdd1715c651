#pragma once

#include "core/mediatests/BenchFileSystem.h"

#include <cerrno>
#include <cstring>
#include <chrono>
#include <map>
#include <thread>
#include <string>
#include <vector>

namespace qv::test {

// A file system in memory with a mount answer and faults the test sets.
class MemoryFileSystem : public BenchFileSystem {
public:
    std::string mountFolder(const Volume&, int* error) override
    {
        *error = 0;
        return mounted ? "/media/stick" : "";
    }
    bool freeBytes(const std::string&, uint64_t* bytes, int*) override
    {
        *bytes = freeMB << 20;
        return true;
    }
    std::unique_ptr<BenchFile> open(const std::string& path, int*) override
    {
        struct File : BenchFile {
            MemoryFileSystem* fs;
            std::vector<uint8_t>* data;
            int64_t writeAt(uint64_t o, const void* b, size_t l) override
            {
                std::this_thread::sleep_for(std::chrono::microseconds(fs->writeMicrosecondsPerMB));
                if (data->size() < o + l)
                    data->resize(o + l);
                std::memcpy(data->data() + o, b, l);
                return int64_t(l);
            }
            int64_t readAt(uint64_t o, void* b, size_t l) override
            {
                if (fs->failReads)
                    return -EIO;
                std::this_thread::sleep_for(std::chrono::microseconds(fs->readMicrosecondsPerMB));
                std::memcpy(b, data->data() + o, l);
                return int64_t(l);
            }
            int flush() override { return 0; }
        };
        auto file = std::make_unique<File>();
        file->fs = this;
        file->data = &files[path];
        return file;
    }
    int remove(const std::string& path) override
    {
        files.erase(path);
        return 0;
    }
    bool mounted = true;
    bool failReads = false;
    // The time a transfer of 1 MiB takes (a medium of a given speed).
    int writeMicrosecondsPerMB = 0;
    int readMicrosecondsPerMB = 0;
    uint64_t freeMB = 100;
    std::map<std::string, std::vector<uint8_t>> files;
};

}  // namespace qv::test
