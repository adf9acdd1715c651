#include "platform/linux/LinuxBenchFileSystem.h"

#include "core/device/Volume.h"
#include "platform/image/FileIO.h"
#include "platform/linux/MountInfo.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace qv::linux_platform {
namespace {

std::string firstLine(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

bool deviceNumber(const std::string& devFile, dev_t* number)
{
    unsigned major = 0, minor = 0;
    if (std::sscanf(firstLine(devFile).c_str(), "%u:%u", &major, &minor) != 2)
        return false;
    *number = makedev(major, minor);
    return true;
}

std::string realPath(const std::string& path)
{
    char* real = realpath(path.c_str(), nullptr);
    if (!real)
        return path;
    std::string out = real;
    std::free(real);
    return out;
}

class PosixBenchFile : public BenchFile {
public:
    PosixBenchFile(int fd, bool direct) : fd_(fd), direct_(direct) {}
    ~PosixBenchFile() override { ::close(fd_); }

    int64_t writeAt(uint64_t offset, const void* buffer, size_t length) override
    {
        return PwriteFull(fd_, buffer, length, offset);
    }

    int64_t readAt(uint64_t offset, void* buffer, size_t length) override
    {
        // Without O_DIRECT the pages just written would answer the read.
        if (!direct_ && offset == 0)
            posix_fadvise(fd_, 0, 0, POSIX_FADV_DONTNEED);
        return PreadFull(fd_, buffer, length, offset);
    }

    int flush() override { return fdatasync(fd_) == 0 ? 0 : errno; }

private:
    int fd_;
    bool direct_;
};

}  // namespace

std::vector<dev_t> LinuxBenchFileSystem::loopDevicesBackedBy(const std::string& file) const
{
    std::vector<dev_t> numbers;
    const std::string target = realPath(file);
    const std::string block = sysfsRoot_ + "/block";
    DIR* dir = opendir(block.c_str());
    if (!dir)
        return numbers;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.rfind("loop", 0) != 0)
            continue;
        std::string backing = firstLine(block + "/" + name + "/loop/backing_file");
        if (backing.empty() || backing != target)
            continue;
        dev_t number;
        if (deviceNumber(block + "/" + name + "/dev", &number))
            numbers.push_back(number);
        // Partitions of a partitioned image (loop0p1).
        if (DIR* parts = opendir((block + "/" + name).c_str())) {
            while (dirent* part = readdir(parts)) {
                const std::string partName = part->d_name;
                if (partName.rfind(name + "p", 0) == 0 &&
                    deviceNumber(block + "/" + name + "/" + partName + "/dev", &number))
                    numbers.push_back(number);
            }
            closedir(parts);
        }
    }
    closedir(dir);
    return numbers;
}

std::string LinuxBenchFileSystem::mountFolder(const Volume& volume, int* error)
{
    *error = 0;
    struct stat info {};
    if (stat(volume.path().c_str(), &info) != 0) {
        *error = errno;
        return {};
    }
    std::vector<dev_t> numbers;
    if (S_ISBLK(info.st_mode))
        numbers.push_back(info.st_rdev);
    else if (S_ISREG(info.st_mode))
        numbers = loopDevicesBackedBy(volume.path());
    for (dev_t number : numbers)
        for (const DeviceMount& mount : MountsOf(number))
            if (mount.root == "/")
                return mount.point;
    return {};
}

bool LinuxBenchFileSystem::freeBytes(const std::string& folder, uint64_t* bytes, int* error)
{
    struct statvfs fs {};
    if (statvfs(folder.c_str(), &fs) != 0) {
        *error = errno;
        return false;
    }
    // What an ordinary user may still write: reserved blocks do not count.
    *bytes = uint64_t(fs.f_bavail) * uint64_t(fs.f_frsize);
    return true;
}

std::unique_ptr<BenchFile> LinuxBenchFileSystem::open(const std::string& path, int* error)
{
    const int flags = O_RDWR | O_CREAT | O_DSYNC | O_CLOEXEC;
    int fd = ::open(path.c_str(), flags | O_DIRECT, 0644);
    bool direct = true;
    if (fd < 0 && errno == EINVAL) {
        // A file system without direct I/O: write-through, and the cache
        // dropped before each read pass.
        fd = ::open(path.c_str(), flags, 0644);
        direct = false;
    }
    if (fd < 0) {
        *error = errno;
        return nullptr;
    }
    return std::make_unique<PosixBenchFile>(fd, direct);
}

int LinuxBenchFileSystem::remove(const std::string& path)
{
    if (unlink(path.c_str()) == 0 || errno == ENOENT)
        return 0;
    return errno;
}

}  // namespace qv::linux_platform
