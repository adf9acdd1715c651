#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace qv {

class Volume;

// The file benchmark's test file, open for unbuffered, write-through
// transfers; closed when destroyed. Buffers, offsets and lengths are
// multiples of 4096.
class BenchFile {
public:
    virtual ~BenchFile() = default;
    // Bytes moved (short at the end of the file) or -errno.
    virtual int64_t writeAt(uint64_t offset, const void* buffer, size_t length) = 0;
    virtual int64_t readAt(uint64_t offset, void* buffer, size_t length) = 0;
    // 0 or errno.
    virtual int flush() = 0;
};

// Where the selected drive's file system is: the folder its volume is
// mounted on, its free space, and the test file in it.
class BenchFileSystem {
public:
    virtual ~BenchFileSystem() = default;
    // The mount folder of the volume; empty with *error = 0 when the volume
    // is not mounted, empty with errno when it cannot be told.
    virtual std::string mountFolder(const Volume& volume, int* error) = 0;
    // Bytes a new file may take; false with errno in *error.
    virtual bool freeBytes(const std::string& folder, uint64_t* bytes, int* error) = 0;
    // Opens the file, creating it when missing and keeping what it holds.
    virtual std::unique_ptr<BenchFile> open(const std::string& path, int* error) = 0;
    // 0 or errno.
    virtual int remove(const std::string& path) = 0;
};

}  // namespace qv
