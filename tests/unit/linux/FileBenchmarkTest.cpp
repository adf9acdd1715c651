#include "core/mediatests/BenchFileSystem.h"
#include "core/mediatests/FileBenchmarkWorker.h"
#include "core/run/RunState.h"
#include "core/run/SharedContext.h"
#include "core/settings/Settings.h"
#include "core/text/StringIds.h"
#include "linux/TempTree.h"
#include "platform/image/ImageVolume.h"
#include "platform/linux/LinuxBenchFileSystem.h"
#include "platform/linux/MountInfo.h"
#include "support/DirectSink.h"

#include <gtest/gtest.h>

#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace qv::test {
namespace {

using linux_platform::LinuxBenchFileSystem;

std::string runCommand(const std::string& command)
{
    std::string out;
    if (FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r")) {
        char line[256];
        while (fgets(line, sizeof line, pipe))
            out += line;
        if (pclose(pipe) != 0)
            return {};
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' '))
        out.pop_back();
    return out;
}

// An ext4 file system of about 7 MB free on a loop device, mounted in the
// test's folder; needs root.
class MountedImage {
public:
    explicit MountedImage(const TempTree& tree) : image_(tree.path("medium.img")), folder_(tree.path("mnt"))
    {
        std::filesystem::create_directory(folder_);
        if (runCommand("truncate -s 8M " + image_ + " && mkfs.ext4 -q -F -m 0 -O ^has_journal " + image_ +
                       " && echo ok") != "ok")
            return;
        loop_ = runCommand("losetup --find --show " + image_);
        if (loop_.empty())
            return;
        mounted_ = runCommand("mount " + loop_ + " " + folder_ + " && echo ok") == "ok";
    }
    ~MountedImage()
    {
        if (mounted_)
            runCommand("umount " + folder_);
        if (!loop_.empty())
            runCommand("losetup -d " + loop_);
    }
    bool mounted() const { return mounted_; }
    const std::string& image() const { return image_; }
    const std::string& folder() const { return folder_; }
    const std::string& loop() const { return loop_; }
    std::string testFile() const { return folder_ + "/TESTFILE.TMP"; }

private:
    std::string image_, folder_, loop_;
    bool mounted_ = false;
};

// Passes everything to the real file system; reads fail with EIO once the
// file of `failReadsOfMB` megabytes is being read.
class FaultyReads : public BenchFileSystem {
public:
    explicit FaultyReads(BenchFileSystem& inner) : inner_(inner) {}
    std::string mountFolder(const Volume& v, int* e) override { return inner_.mountFolder(v, e); }
    bool freeBytes(const std::string& f, uint64_t* b, int* e) override { return inner_.freeBytes(f, b, e); }
    int remove(const std::string& p) override { return inner_.remove(p); }
    std::unique_ptr<BenchFile> open(const std::string& path, int* error) override
    {
        struct File : BenchFile {
            std::unique_ptr<BenchFile> inner;
            FaultyReads* owner;
            uint64_t highest = 0;
            int64_t writeAt(uint64_t o, const void* b, size_t l) override
            {
                highest = std::max(highest, o + l);
                return inner->writeAt(o, b, l);
            }
            int64_t readAt(uint64_t o, void* b, size_t l) override
            {
                if (highest == uint64_t(owner->failReadsOfMB) << 20)
                    return -EIO;
                return inner->readAt(o, b, l);
            }
            int flush() override { return inner->flush(); }
        };
        auto file = std::make_unique<File>();
        file->inner = inner_.open(path, error);
        file->owner = this;
        if (!file->inner)
            return nullptr;
        return file;
    }
    int failReadsOfMB = 0;

private:
    BenchFileSystem& inner_;
};

// A volume of which only the path is used.
struct NodeOnly : Volume {
    explicit NodeOnly(std::string node) : node(std::move(node)) {}
    int64_t readAt(uint64_t, void*, size_t) override { return -EIO; }
    int64_t writeAt(uint64_t, const void*, size_t) override { return -EIO; }
    bool flush() override { return false; }
    void close() override {}
    bool isOpen() const override { return true; }
    std::shared_ptr<Volume> reopen() override { return nullptr; }
    ScsiResult scsi(const ScsiRequest&) override { return {}; }
    std::string path() const override { return node; }
    std::string node;
};

class FileBenchmarkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int k = 0; k < kFileBenchSizes; ++k) {
            settings.fileSizesMB[k] = kFileBenchSizesMB[k];
            record.fileReadSpeeds[k] = record.fileWriteSpeeds[k] = -1;
        }
        sink.status = &status;
        status.progressWindow = &sink;
        context.device = &record;
        context.status = &status;
        context.settings = &settings;
    }

    void mountScratch()
    {
        if (geteuid() != 0)
            GTEST_SKIP() << "mounting a loop device needs root";
        image = std::make_unique<MountedImage>(tree);
        if (!image->mounted())
            GTEST_SKIP() << "no loop device or ext4 here";
        record.handle = ImageVolume::open(image->image());
        ASSERT_TRUE(record.handle);
    }

    int run(BenchFileSystem& files)
    {
        status.setState(RUN_STARTING);
        return FileBenchmarkWorker(context, files);
    }

    std::vector<int64_t> values() const
    {
        std::vector<int64_t> out;
        for (const auto& r : sink.reports)
            out.push_back(r.value);
        return out;
    }

    TempTree tree;
    std::unique_ptr<MountedImage> image;
    LinuxBenchFileSystem files;
    DeviceRecord record;
    RunStatus status;
    Settings settings;
    SharedContext context;
    DirectSink sink;
};

TEST(MountInfoTest, MountsOfADeviceWithEscapedFoldersAndBindMounts)
{
    const std::string text =
        "22 1 8:17 / /media/user/MY\\040STICK rw,nosuid - vfat /dev/sdb1 rw\n"
        "23 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
        "24 1 8:17 /photos /srv/photos rw - vfat /dev/sdb1 rw\n";
    const auto mounts = linux_platform::ParseMounts(text, makedev(8, 17));
    ASSERT_EQ(mounts.size(), 2u);
    EXPECT_EQ(mounts[0].point, "/media/user/MY STICK");
    EXPECT_EQ(mounts[0].root, "/");
    EXPECT_EQ(mounts[1].root, "/photos");
}

TEST_F(FileBenchmarkTest, SevenMegabytesFreeRunsTheSizesUpToFiveAndSkipsTheLarger)
{
    mountScratch();
    if (IsSkipped())
        return;
    // A drive on the block node finds the same mount as the image behind it.
    int error = 0;
    EXPECT_EQ(files.mountFolder(NodeOnly(image->loop()), &error), image->folder());

    EXPECT_EQ(run(files), 1);
    EXPECT_EQ(values(), (std::vector<int64_t>{0, 256, 1, 257, 2, 258, 3, 259, 4, 260, 0}));
    EXPECT_EQ(sink.reports.back().state, RUN_DONE);
    for (int k = 0; k < 5; ++k) {
        EXPECT_GT(record.fileWriteSpeeds[k], 0) << k;
        EXPECT_GT(record.fileReadSpeeds[k], 0) << k;
    }
    for (int k = 5; k < 7; ++k) {
        EXPECT_EQ(record.fileWriteSpeeds[k], -1);
        EXPECT_EQ(record.fileReadSpeeds[k], -1);
    }
    EXPECT_FALSE(std::filesystem::exists(image->testFile()));
}

TEST_F(FileBenchmarkTest, LeftoverTestFileIsOverwrittenFromTheStartAndRemoved)
{
    mountScratch();
    if (IsSkipped())
        return;
    {
        std::ofstream old(image->testFile(), std::ios::binary);
        const std::string junk(1 << 20, '\xAA');
        old << junk << junk;
    }
    char first = 0;
    sink.onReport = [&](int32_t, int64_t value) {
        if (value == 0 && sink.reports.size() == 1) {
            std::ifstream in(image->testFile(), std::ios::binary);
            in.get(first);
            status.setState(RUN_STOP);
        }
    };
    EXPECT_EQ(run(files), 0);
    EXPECT_EQ(first, '\0');
    EXPECT_EQ(sink.reports.back().state, RUN_STOP);
    EXPECT_FALSE(std::filesystem::exists(image->testFile()));
}

TEST_F(FileBenchmarkTest, ReadFailureEndsTheRunKeepingEarlierBarsAndRemovesTheFile)
{
    mountScratch();
    if (IsSkipped())
        return;
    FaultyReads faulty(files);
    faulty.failReadsOfMB = 2;
    EXPECT_EQ(run(faulty), 0);
    EXPECT_EQ(values(), (std::vector<int64_t>{0, 256, 1, kFileBenchReadFailed}));
    EXPECT_EQ(sink.reports.back().state, RUN_FAILED);
    EXPECT_EQ(status.failure.action, str::kFailedRead);
    EXPECT_EQ(status.failure.error, EIO);
    EXPECT_EQ(status.failure.object, image->testFile());
    EXPECT_GT(record.fileWriteSpeeds[1], 0);
    EXPECT_EQ(record.fileReadSpeeds[1], -1);
    EXPECT_FALSE(std::filesystem::exists(image->testFile()));
}

TEST_F(FileBenchmarkTest, StopDuringTheReadPhaseKeepsTheBarsBeforeIt)
{
    mountScratch();
    if (IsSkipped())
        return;
    sink.onReport = [&](int32_t, int64_t value) {
        if (value == 2)
            status.setState(RUN_STOP);
    };
    EXPECT_EQ(run(files), 0);
    EXPECT_EQ(values(), (std::vector<int64_t>{0, 256, 1, 257, 2, 0}));
    EXPECT_EQ(sink.reports.back().state, RUN_STOP);
    EXPECT_GT(record.fileWriteSpeeds[2], 0);
    EXPECT_EQ(record.fileReadSpeeds[2], -1);
    EXPECT_EQ(record.fileWriteSpeeds[3], -1);
    EXPECT_FALSE(std::filesystem::exists(image->testFile()));
}

TEST_F(FileBenchmarkTest, VolumeThatIsNotMountedFailsAtOnce)
{
    const std::string plain = tree.path("unmounted.img");
    std::ofstream(plain) << std::string(4096, '\0');
    record.handle = ImageVolume::open(plain);
    ASSERT_TRUE(record.handle);
    EXPECT_EQ(run(files), 0);
    ASSERT_EQ(sink.reports.size(), 1u);
    EXPECT_EQ(sink.reports[0].value, 0);
    EXPECT_EQ(sink.reports[0].state, RUN_FAILED);
    EXPECT_EQ(status.failure.action, str::kFileSystemNotMounted);
    EXPECT_EQ(status.failure.object, plain);
}

}  // namespace
}  // namespace qv::test
