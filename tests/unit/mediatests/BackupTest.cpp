#include "core/mediatests/TransferIO.h"
#include "support/TransferRig.h"

#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>

namespace qv::test {
namespace {

class BackupTest : public TransferRig {};

// 3000 sectors: 23 whole chunks and one of 56 sectors.
constexpr uint32_t kSectors = 3000;

TEST_F(BackupTest, ImageIsByteIdenticalAndItsChecksumChecksWithSha256sum)
{
    const Bytes content = randomBytes((kSectors + 10) * 512, 11);
    attach(content, kSectors);
    chooser.answer = dir + "/stick.qvn";
    EXPECT_EQ(BackupWorker(context, job), 1);

    ASSERT_EQ(chooser.requests.size(), 1u);
    EXPECT_TRUE(chooser.requests[0].save);
    EXPECT_EQ(chooser.requests[0].filter, "QVN backup files|*.qvn||");
    EXPECT_EQ(chooser.requests[0].proposedName.rfind("USB Flash_", 0), 0u);

    const Bytes image = readFile(chooser.answer);
    ASSERT_EQ(image.size(), size_t(kSectors) * 512);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), content.begin()));
    const std::string check = "cd '" + dir + "' && sha256sum --quiet -c stick.qvn.sha256";
    EXPECT_EQ(std::system(check.c_str()), 0);

    const std::vector<std::pair<int32_t, int64_t>> expected = {
        {RUN_STARTING, 0}, {RUN_ACTIVE, 0}, {RUN_ACTIVE, 2048}, {RUN_ACTIVE, 2944}, {RUN_DONE, 0}};
    EXPECT_EQ(sink.reports, expected);
}

TEST_F(BackupTest, ProposedNameAndCancelledChoice)
{
    EXPECT_EQ(ProposedImageName("USB Flash", 2026, 12, 7), "USB Flash_07-December-2026");
    // Characters that file names do not allow go to the dialog unaltered.
    EXPECT_EQ(ProposedImageName("A/B:C", 2027, 1, 31), "A/B:C_31-January-2027");

    attach(randomBytes(2048 * 512, 12), 2048);
    chooser.answer.clear();
    EXPECT_EQ(BackupWorker(context, job), 0);
    const std::vector<std::pair<int32_t, int64_t>> cancelled = {{RUN_STOP, 1}};
    EXPECT_EQ(sink.reports, cancelled);
}

// What a failed or stopped backup read is kept under a name that says it
// is partial, with no checksum file, and an old image of the chosen name
// (the user allowed replacing it) stays as it was with its checksum.
TEST_F(BackupTest, ReadFailureStopOrPulledDriveKeepWhatWasReadAsPartialBesideTheOldImage)
{
    const Bytes content = randomBytes(kSectors * 512, 13);
    FaultPlan plan;
    plan.failingReads.push_back({1500, 1});
    attach(content, kSectors, plan);
    chooser.answer = dir + "/part.qvn";
    writeFile(chooser.answer, Bytes(1000, 7));
    writeFile(chooser.answer + ".sha256", Bytes(10, 8));
    job.replace = true;
    EXPECT_EQ(BackupWorker(context, job), 0);
    EXPECT_EQ(sink.reports.back(), std::make_pair(int32_t(RUN_FAILED), int64_t(0)));
    EXPECT_EQ(FailureText(status.failure), "cannot read " + mediumPath + ", sector 1408: Input/output error");
    EXPECT_EQ(job.partial.path, chooser.answer + ".partial");
    EXPECT_EQ(job.partial.sectors, 1408u);
    const Bytes part = readFile(job.partial.path);
    ASSERT_EQ(part.size(), 1408u * 512);
    EXPECT_TRUE(std::equal(part.begin(), part.end(), content.begin()));

    FaultPlan pulled;
    pulled.removeAfter = 1;  // the first request of 2048 sectors
    attach(content, kSectors, pulled);
    EXPECT_EQ(BackupWorker(context, job), 0);
    EXPECT_EQ(FailureText(status.failure), "cannot read " + mediumPath + ", sector 2048: No such device");
    EXPECT_EQ(job.partial.path, chooser.answer + ".2.partial");
    EXPECT_EQ(readFile(job.partial.path).size(), 2048u * 512);

    // A stop: the chunk read when it came is kept too; a compressed part is
    // a whole stream, but never under the image's name.
    attach(content, kSectors);
    job.compression = ImageCompression::Zstd;
    sink.onReport = [this](int64_t value) {
        if (value == 2048)
            status.setState(RUN_STOP);
    };
    EXPECT_EQ(BackupWorker(context, job), 0);
    EXPECT_EQ(status.state(), RUN_STOP);
    EXPECT_EQ(job.partial.path, chooser.answer + ".zst.partial");
    EXPECT_EQ(job.partial.sectors, 2304u);
    RunFailure failure;
    std::unique_ptr<ImageReader> reader = files.open(job.partial.path, &failure);
    ASSERT_TRUE(reader) << FailureText(failure);
    Bytes unpacked(kSectors * 512);
    size_t got = 0;
    for (int64_t n; (n = reader->read(unpacked.data() + got, unpacked.size() - got)) > 0;)
        got += size_t(n);
    EXPECT_EQ(got, 2304u * 512);
    EXPECT_TRUE(std::equal(unpacked.begin(), unpacked.begin() + long(got), content.begin()));

    EXPECT_EQ(readFile(chooser.answer), Bytes(1000, 7));
    EXPECT_EQ(readFile(chooser.answer + ".sha256"), Bytes(10, 8));
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"medium.img", "part.qvn", "part.qvn.2.partial", "part.qvn.partial",
                                               "part.qvn.sha256", "part.qvn.zst.partial"}));
}

TEST_F(BackupTest, ImageOnTheDriveItselfIsRefusedBeforeAnythingIsWritten)
{
    const Bytes content = randomBytes(kSectors * 512, 14);
    attach(content, kSectors);
    chooser.answer = mediumPath;
    EXPECT_EQ(BackupWorker(context, job), 0);
    EXPECT_EQ(FailureText(status.failure), "the image lies on the drive being worked on: " + mediumPath);
    EXPECT_EQ(medium(), content);
}

// A tmpfs of 1 MiB stands for a full target; mounting needs root.
TEST_F(BackupTest, TargetWithoutRoomFailsBeforeTheFirstReadAndSaysTheSpaceNeeded)
{
    const std::string small = dir + "/small";
    std::filesystem::create_directory(small);
    if (mount("tmpfs", small.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    FaultPlan plan;
    attach(randomBytes(4096 * 512, 15), 4096, plan);
    chooser.answer = small + "/big.qvn";
    const int result = BackupWorker(context, job);
    const bool left = std::filesystem::exists(chooser.answer);
    umount(small.c_str());

    EXPECT_EQ(result, 0);
    EXPECT_EQ(FailureText(status.failure),
              "not enough free space for " + chooser.answer + " (2.0 MB needed): No space left on device");
    EXPECT_EQ(faults->transfers.load(), 0u);
    EXPECT_FALSE(left);
}

// The limit of a FAT32 target is played by the process's file-size limit,
// which makes the kernel answer EFBIG the same way.
TEST_F(BackupTest, FileSizeLimitOfTheTargetIsExplainedPlainAndCompressed)
{
    const Bytes content = randomBytes(4096 * 512, 16);
    attach(content, 4096);
    struct rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = saved;
    limit.rlim_cur = 1 << 20;
    setrlimit(RLIMIT_FSIZE, &limit);

    chooser.answer = dir + "/limit.qvn";
    const int plain = BackupWorker(context, job);
    const std::string plainLine = FailureText(status.failure);
    job.compression = ImageCompression::Zstd;  // random data does not shrink
    const int compressed = BackupWorker(context, job);
    const std::string compressedLine = FailureText(status.failure);

    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(plain, 0);
    EXPECT_EQ(plainLine, "the image is too large for the file system of " + dir +
                             "/limit.qvn (2.0 MB); turn on compression or choose another folder: File too large "
                             "(the file size limit (of the process or of the file system) was reached)");
    EXPECT_EQ(compressed, 0);
    EXPECT_NE(compressedLine.find("too large for the file system of " + dir + "/limit.qvn.zst ("), std::string::npos)
        << compressedLine;
}

}  // namespace
}  // namespace qv::test
