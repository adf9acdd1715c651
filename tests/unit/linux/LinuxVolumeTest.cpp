#include "platform/linux/LinuxVolume.h"

#include "core/device/Scsi.h"
#include "core/device/SectorIO.h"
#include "linux/TempTree.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace qv::linux_platform {
namespace {

constexpr size_t kFileBytes = 1 << 20;

// 4096-aligned memory, freed with the object.
struct AlignedBuffer {
    explicit AlignedBuffer(size_t bytes) : data(static_cast<uint8_t*>(std::aligned_alloc(4096, bytes))), size(bytes) {}
    ~AlignedBuffer() { std::free(data); }
    uint8_t* data;
    size_t size;
};

uint8_t patternByte(uint64_t offset)
{
    return uint8_t((offset * 7 + (offset >> 9)) & 0xFF);
}

// Whether the folder's file system takes O_DIRECT: what the volume must
// find out for itself.
bool acceptsDirect(const std::string& file)
{
    int fd = ::open(file.c_str(), O_RDWR | O_DIRECT | O_CLOEXEC);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

std::vector<uint8_t> readFile(const std::string& path)
{
    std::vector<uint8_t> bytes;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0)
        return bytes;
    bytes.resize(size_t(st.st_size));
    EXPECT_EQ(pread(fd, bytes.data(), bytes.size(), 0), ssize_t(bytes.size()));
    ::close(fd);
    return bytes;
}

// Makes a file of kFileBytes holding the pattern.
std::string makeFile(const test::TempTree& tree, const std::string& name)
{
    std::vector<uint8_t> bytes(kFileBytes);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = patternByte(i);
    const std::string path = tree.path(name);
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(pwrite(fd, bytes.data(), bytes.size(), 0), ssize_t(bytes.size()));
    EXPECT_EQ(fdatasync(fd), 0);
    ::close(fd);
    return path;
}

std::shared_ptr<LinuxVolume> openFile(const std::string& path, IoMode mode = IoMode::Auto)
{
    VolumeTarget target;
    target.volumeNode = path;
    int error = 0;
    auto volume = LinuxVolume::open(target, &error, mode);
    EXPECT_TRUE(volume) << path << ": " << std::strerror(error);
    return volume;
}

// Writes 64 KiB at sector 128 through the sector functions, reads it back
// and checks the neighbours were left alone.
void roundTrip(const std::string& path, const std::shared_ptr<LinuxVolume>& volume)
{
    AlignedBuffer out(65536), in(65536);
    for (size_t i = 0; i < out.size; ++i)
        out.data[i] = uint8_t(~patternByte(i));
    DeviceHandle handle = volume;
    ASSERT_TRUE(WriteSectorsAt(handle, 128, 128, 512, out.data));
    ASSERT_TRUE(volume->flush());
    ASSERT_TRUE(ReadSectorsAt(handle, 128, 128, 512, in.data));
    EXPECT_EQ(std::memcmp(in.data, out.data, out.size), 0);

    const std::vector<uint8_t> file = readFile(path);
    ASSERT_EQ(file.size(), kFileBytes);
    EXPECT_EQ(std::memcmp(file.data() + 65536, out.data, out.size), 0);
    EXPECT_EQ(file[65535], patternByte(65535));
    EXPECT_EQ(file[131072], patternByte(131072));
}

TEST(LinuxVolumeFiles, RoundTripsThroughDirectIoWhereTheFileSystemTakesIt)
{
    // The build tree lies on a disk file system, which takes O_DIRECT.
    test::TempTree tree(".");
    const std::string path = makeFile(tree, "disk.img");
    auto volume = openFile(path);
    ASSERT_TRUE(volume);
    EXPECT_EQ(volume->direct(), acceptsDirect(path));
    EXPECT_TRUE(volume->direct());
    EXPECT_EQ(volume->directUnit(), 4096u);
    roundTrip(path, volume);
}

TEST(LinuxVolumeFiles, TmpAndShmFilesRoundTripInWhicheverModeTheKernelAllows)
{
    // tmpfs refuses O_DIRECT before Linux 6.6 and takes it since: either
    // way the volume opens and moves the data.
    for (const char* parent : {"/tmp", "/dev/shm"}) {
        test::TempTree tree(parent);
        const std::string path = makeFile(tree, "shm.img");
        auto volume = openFile(path);
        ASSERT_TRUE(volume) << parent;
        EXPECT_EQ(volume->direct(), acceptsDirect(path)) << parent;
        roundTrip(path, volume);
    }
}

// Pages of the range [from, to) of a file that are in the page cache.
size_t cachedPages(const std::string& path, size_t from, size_t to)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_GE(fd, 0);
    void* map = mmap(nullptr, kFileBytes, PROT_READ, MAP_SHARED, fd, 0);
    EXPECT_NE(map, MAP_FAILED);
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    std::vector<unsigned char> resident(kFileBytes / page);
    EXPECT_EQ(mincore(map, kFileBytes, resident.data()), 0);
    size_t cached = 0;
    for (size_t i = from / page; i < to / page; ++i)
        cached += resident[i] & 1;
    munmap(map, kFileBytes);
    ::close(fd);
    return cached;
}

TEST(LinuxVolumeFiles, BufferedFallbackFlushesAndDropsTheCachedPages)
{
    test::TempTree tree(".");
    const std::string path = makeFile(tree, "buffered.img");
    auto volume = openFile(path, IoMode::Buffered);
    ASSERT_TRUE(volume);
    EXPECT_FALSE(volume->direct());
    // Making the file left it in the page cache, clean.
    ASSERT_GT(cachedPages(path, 65536, 131072), 0u);

    DeviceHandle handle = volume;
    AlignedBuffer buffer(65536);
    ASSERT_TRUE(ReadSectorsAt(handle, 128, 128, 512, buffer.data));
    // After a transfer its range is out of the page cache, so a read-back
    // comes from the medium.
    EXPECT_EQ(cachedPages(path, 65536, 131072), 0u);
    ASSERT_TRUE(WriteSectorsAt(handle, 128, 128, 512, buffer.data));
    EXPECT_EQ(cachedPages(path, 65536, 131072), 0u);

    roundTrip(path, volume);
}

TEST(LinuxVolumeBounce, UnalignedBufferOffsetAndLengthReachTheRightBytes)
{
    test::TempTree tree(".");
    const std::string path = makeFile(tree, "bounce.img");
    auto volume = openFile(path);
    ASSERT_TRUE(volume);
    ASSERT_TRUE(volume->direct());

    std::vector<uint8_t> expected = readFile(path);
    AlignedBuffer backing(3 * 65536);
    uint8_t* odd = backing.data + 1;  // never 4096-aligned

    // Sector-aligned but not block-aligned: 3 sectors at sector 9.
    for (size_t i = 0; i < 1536; ++i)
        odd[i] = uint8_t(i ^ 0x5A);
    ASSERT_EQ(volume->writeAt(9 * 512, odd, 1536), 1536);
    std::memcpy(expected.data() + 9 * 512, odd, 1536);
    // Byte offsets and lengths, across a block edge and over a piece of
    // the bounce buffer.
    for (size_t i = 0; i < 70000; ++i)
        odd[i] = uint8_t(i * 3);
    ASSERT_EQ(volume->writeAt(4000, odd, 70000), 70000);
    std::memcpy(expected.data() + 4000, odd, 70000);
    ASSERT_EQ(volume->writeAt(kFileBytes - 4096 + 7, odd, 100), 100);
    std::memcpy(expected.data() + kFileBytes - 4096 + 7, odd, 100);
    // A whole-block write from an unaligned buffer.
    ASSERT_EQ(volume->writeAt(8192, odd + 5, 4096), 4096);
    std::memcpy(expected.data() + 8192, odd + 5, 4096);

    EXPECT_EQ(readFile(path), expected);

    std::vector<uint8_t> got(70000);
    ASSERT_EQ(volume->readAt(4000, odd, 70000), 70000);
    EXPECT_EQ(std::memcmp(odd, expected.data() + 4000, 70000), 0);
    ASSERT_EQ(volume->readAt(9 * 512, odd + 3, 1536), 1536);
    EXPECT_EQ(std::memcmp(odd + 3, expected.data() + 9 * 512, 1536), 0);
    // More than one bounce piece in one call.
    std::vector<uint8_t> large(kFileBytes - 3);
    ASSERT_EQ(volume->readAt(3, large.data(), large.size()), int64_t(large.size()));
    EXPECT_EQ(std::memcmp(large.data(), expected.data() + 3, large.size()), 0);
}

TEST(LinuxVolumeBounce, ReadsPastTheEndAreShortAndWritesDoNotPadTheFile)
{
    test::TempTree tree(".");
    const std::string path = makeFile(tree, "end.img");
    auto volume = openFile(path);
    ASSERT_TRUE(volume);
    DeviceHandle handle = volume;

    // The last sector reads; one more passes the end and is short.
    AlignedBuffer buffer(65536);
    EXPECT_TRUE(ReadSectorsAt(handle, kFileBytes / 512 - 1, 1, 512, buffer.data));
    EXPECT_FALSE(ReadSectorsAt(handle, kFileBytes / 512 - 1, 2, 512, buffer.data));
    EXPECT_EQ(volume->readAt(kFileBytes - 100, buffer.data + 1, 300), 100);

    // A partial block past the end grows the file by exactly what was written.
    uint8_t tail[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    ASSERT_EQ(volume->writeAt(kFileBytes + 5, tail, sizeof tail), int64_t(sizeof tail));
    const std::vector<uint8_t> file = readFile(path);
    ASSERT_EQ(file.size(), kFileBytes + 15);
    EXPECT_EQ(file[kFileBytes], 0);
    EXPECT_EQ(std::memcmp(file.data() + kFileBytes + 5, tail, sizeof tail), 0);
}

TEST(LinuxVolumeClose, TransferInFlightFinishesAndLaterTransfersFail)
{
    test::TempTree tree(".");
    const std::string path = makeFile(tree, "close.img");
    auto volume = openFile(path);
    ASSERT_TRUE(volume);

    std::atomic<int> transfers{0};
    std::atomic<int64_t> lastResult{0};
    std::thread worker([&] {
        AlignedBuffer buffer(65536);
        for (uint64_t sector = 0;; sector = (sector + 128) % (kFileBytes / 512)) {
            const int64_t r = volume->readAt(sector * 512, buffer.data, buffer.size);
            lastResult = r;
            if (r < 0)
                return;
            ++transfers;
        }
    });
    while (transfers < 50)
        std::this_thread::yield();
    volume->close();
    worker.join();

    EXPECT_EQ(lastResult, -EBADF);
    EXPECT_FALSE(volume->isOpen());
    AlignedBuffer buffer(4096);
    EXPECT_EQ(volume->readAt(0, buffer.data, 4096), -EBADF);
    EXPECT_EQ(volume->writeAt(0, buffer.data, 4096), -EBADF);
    EXPECT_FALSE(volume->flush());
    EXPECT_FALSE(volume->scsi(ScsiRequest{}).delivered);
}

TEST(LinuxVolumeClose, ClosedVolumeNeverWritesThroughAReusedDescriptor)
{
    test::TempTree tree(".");
    const std::string first = makeFile(tree, "first.img");
    const std::string second = makeFile(tree, "second.img");
    auto volume = openFile(first);
    ASSERT_TRUE(volume);
    volume->close();
    // The freed descriptor number goes to the next open.
    auto other = openFile(second);
    ASSERT_TRUE(other);
    AlignedBuffer zeros(4096);
    std::memset(zeros.data, 0, zeros.size);
    EXPECT_EQ(volume->writeAt(0, zeros.data, zeros.size), -EBADF);
    EXPECT_EQ(readFile(second)[0], patternByte(0));
}

TEST(LinuxVolumeOpen, ReopenGivesAFreshVolumeOnTheSameNodeAndMissingNodesReportErrno)
{
    test::TempTree tree(".");
    const std::string path = makeFile(tree, "reopen.img");
    auto volume = openFile(path);
    ASSERT_TRUE(volume);
    volume->close();
    auto fresh = volume->reopen();
    ASSERT_TRUE(fresh);
    EXPECT_TRUE(fresh->isOpen());
    EXPECT_EQ(fresh->path(), path);
    AlignedBuffer buffer(4096);
    EXPECT_EQ(fresh->readAt(0, buffer.data, 4096), 4096);
    EXPECT_EQ(buffer.data[1], patternByte(1));

    VolumeTarget missing;
    missing.volumeNode = tree.path("none");
    int error = 0;
    EXPECT_FALSE(LinuxVolume::open(missing, &error));
    EXPECT_EQ(error, ENOENT);
    missing.volumeNode = tree.root();
    EXPECT_FALSE(LinuxVolume::open(missing, &error));
    EXPECT_EQ(error, EISDIR);
}

TEST(LinuxVolumeScsi, PlainFileHasNoScsiPath)
{
    test::TempTree tree(".");
    auto volume = openFile(makeFile(tree, "plain.img"));
    ASSERT_TRUE(volume);
    DeviceHandle handle = volume;
    uint8_t cdb[6] = {0x12, 0, 0, 0, 0x40, 0};
    uint8_t data[64];
    EXPECT_EQ(ScsiPassThrough(handle, cdb, data, sizeof data), -1);
    EXPECT_EQ(ReadCapacity(handle), 0u);
    EXPECT_FALSE(volume->firstPartitionBytes());
}

// A card reader's disk in a fake sysfs: INQUIRY and READ CAPACITY come
// from its entries.
TEST(LinuxVolumeScsi, CardWithoutScsiPathAnswersFromSysfs)
{
    test::TempTree tree(".");
    const std::string path = makeFile(tree, "card.img");
    test::TempTree sys;
    sys.disk("mmcblk0", 31116288, "179:0");
    sys.write("devices/mmcblk0/device/name", "SL16G\n");
    sys.write("devices/mmcblk0/device/type", "SD\n");
    sys.write("devices/mmcblk0/device/prv", "0x80\n");
    sys.partition("mmcblk0", "mmcblk0p1", 1, 31108096, "179:1");

    VolumeTarget target;
    target.volumeNode = path;
    target.diskName = "mmcblk0";
    target.volumeName = "mmcblk0p1";
    target.sysfsRoot = sys.root();
    auto volume = LinuxVolume::open(target);
    ASSERT_TRUE(volume);
    DeviceHandle handle = volume;

    uint8_t cdb[6] = {0x12, 0, 0, 0, 0x40, 0};
    uint8_t data[64];
    ASSERT_EQ(ScsiPassThrough(handle, cdb, data, sizeof data), 1);
    EXPECT_EQ(data[0], 0x00);
    EXPECT_EQ(data[1] & 0x80, 0x80);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data + 8), 28), "SD      SL16G           8.0 ");
    EXPECT_EQ(ReadCapacity(handle), 31116287u);
    EXPECT_EQ(volume->firstPartitionBytes(), int64_t(31108096) * 512);

    // The medium taken out: READ CAPACITY fails like a reader without a card.
    sys.write("devices/mmcblk0/size", "0\n");
    EXPECT_EQ(ReadCapacity(handle), 0u);
}

}  // namespace
}  // namespace qv::linux_platform
