#pragma once

#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace qv::test {

// A sparse file of the given size in the temporary folder, removed with the
// object.
class TempFile {
public:
    explicit TempFile(uint64_t bytes, const char* stem = "quorvane-test")
    {
        const char* dir = std::getenv("TMPDIR");
        path_ = std::string(dir && *dir ? dir : "/tmp") + "/" + stem + "-XXXXXX";
        int fd = mkstemp(path_.data());
        if (fd >= 0) {
            if (ftruncate(fd, off_t(bytes)) != 0)
                path_.clear();
            ::close(fd);
        } else {
            path_.clear();
        }
    }
    ~TempFile()
    {
        if (!path_.empty())
            ::unlink(path_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace qv::test
