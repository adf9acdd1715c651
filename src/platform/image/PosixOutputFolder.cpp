#include "platform/image/PosixOutputFolder.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace qv {
namespace {

class PosixOutputFile : public OutputFile {
public:
    explicit PosixOutputFile(int fd) : fd_(fd) {}
    ~PosixOutputFile() override { close(); }

    bool write(const void* bytes, size_t length) override
    {
        const auto* p = static_cast<const char*>(bytes);
        while (length > 0) {
            const ssize_t n = ::write(fd_, p, length);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            p += n;
            length -= size_t(n);
        }
        return true;
    }

    bool close() override
    {
        if (fd_ < 0)
            return true;
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 || errno == EINTR;
    }

private:
    int fd_;
};

}  // namespace

std::unique_ptr<OutputFile> PosixOutputFolder::create(const std::string& name, std::string* error)
{
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") {
        if (error)
            *error = "not a file name";
        return nullptr;
    }
    const std::string full = path_.empty() || path_.back() == '/' ? path_ + name : path_ + "/" + name;
    int fd;
    do
        fd = ::open(full.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (error)
            *error = std::strerror(errno);
        return nullptr;
    }
    return std::make_unique<PosixOutputFile>(fd);
}

}  // namespace qv
