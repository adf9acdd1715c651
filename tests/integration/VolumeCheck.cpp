// Sector round trips through LinuxVolume on a real device node, for the
// tests in the emulated-USB guest.
//
//   quorvane_volume_check roundtrip NODE SECTOR COUNT
//       writes a sector-numbered pattern with WriteSectorsAt, reads it back
//       with ReadSectorsAt (aligned and unaligned buffers) and with a plain
//       O_DIRECT read of the volume node; prints "volume=... direct=..." and
//       "roundtrip ok", exits 1 on a mismatch, 3 when the node cannot be opened.
//   quorvane_volume_check pattern SECTOR COUNT
//       prints the pattern of those sectors (to compare with dd).

#include "core/device/SectorIO.h"
#include "platform/linux/LinuxVolume.h"
#include "platform/linux/SystemDrives.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace qv;
using namespace qv::linux_platform;

namespace {

void fillPattern(uint8_t* data, uint64_t sector, uint32_t count)
{
    for (uint32_t s = 0; s < count; ++s) {
        uint8_t* block = data + size_t(s) * 512;
        const uint64_t number = sector + s;
        for (int i = 0; i < 512; ++i)
            block[i] = uint8_t((number * 131 + uint64_t(i) * 7 + 0x5A) & 0xFF);
        std::memcpy(block, &number, sizeof number);
    }
}

struct Aligned {
    explicit Aligned(size_t bytes) : data(static_cast<uint8_t*>(std::aligned_alloc(4096, bytes + 4096))) {}
    ~Aligned() { std::free(data); }
    uint8_t* data;
};

OpenResult openNode(const std::string& node)
{
    struct stat st;
    if (stat(node.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        VolumeTarget target;
        target.volumeNode = node;
        int error = 0;
        auto volume = LinuxVolume::open(target, &error);
        return {volume, error};
    }
    return OpenBlockDevice(node);
}

int roundTrip(const std::string& node, uint64_t sector, uint32_t count)
{
    OpenResult opened = openNode(node);
    auto volume = std::dynamic_pointer_cast<LinuxVolume>(opened.handle);
    if (!volume) {
        std::fprintf(stderr, "cannot open %s: %s\n", node.c_str(), std::strerror(opened.error));
        return 3;
    }
    std::printf("volume=%s direct=%d unit=%zu\n", volume->path().c_str(), volume->direct() ? 1 : 0,
                volume->directUnit());
    const size_t bytes = size_t(count) * 512;
    Aligned out(bytes), in(bytes), odd(bytes);
    fillPattern(out.data, sector, count);
    DeviceHandle handle = volume;
    if (!WriteSectorsAt(handle, uint32_t(sector), int32_t(count), 512, out.data) || !volume->flush()) {
        std::printf("write failed\n");
        return 1;
    }
    std::memset(in.data, 0, bytes);
    if (!ReadSectorsAt(handle, sector, int32_t(count), 512, in.data) || std::memcmp(in.data, out.data, bytes)) {
        std::printf("aligned read-back differs\n");
        return 1;
    }
    if (!ReadSectorsAt(handle, sector, int32_t(count), 512, odd.data + 1) ||
        std::memcmp(odd.data + 1, out.data, bytes)) {
        std::printf("unaligned read-back differs\n");
        return 1;
    }
    // The medium itself, not a cache of this process, holds the data.
    int fd = ::open(volume->path().c_str(), O_RDONLY | O_CLOEXEC | (volume->direct() ? O_DIRECT : 0));
    std::memset(in.data, 0, bytes);
    if (fd < 0 || pread(fd, in.data, bytes, off_t(sector * 512)) != ssize_t(bytes) ||
        std::memcmp(in.data, out.data, bytes)) {
        std::printf("independent read of %s differs\n", volume->path().c_str());
        return 1;
    }
    ::close(fd);
    volume->close();
    if (ReadSectorsAt(handle, sector, 1, 512, in.data)) {
        std::printf("read through a closed volume succeeded\n");
        return 1;
    }
    std::printf("roundtrip ok\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::strcmp(argv[1], "roundtrip") == 0)
        return roundTrip(argv[2], std::strtoull(argv[3], nullptr, 0), uint32_t(std::strtoul(argv[4], nullptr, 0)));
    if (argc == 4 && std::strcmp(argv[1], "pattern") == 0) {
        const uint64_t sector = std::strtoull(argv[2], nullptr, 0);
        const uint32_t count = uint32_t(std::strtoul(argv[3], nullptr, 0));
        std::vector<uint8_t> data(size_t(count) * 512);
        fillPattern(data.data(), sector, count);
        return std::fwrite(data.data(), 1, data.size(), stdout) == data.size() ? 0 : 1;
    }
    std::fprintf(stderr, "usage: quorvane_volume_check roundtrip NODE SECTOR COUNT | pattern SECTOR COUNT\n");
    return 2;
}
