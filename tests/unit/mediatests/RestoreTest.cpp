#include "core/mediatests/TransferIO.h"
#include "support/TransferRig.h"

#include <archive.h>
#include <archive_entry.h>

#include <cstring>

namespace qv::test {
namespace {

class RestoreTest : public TransferRig {
protected:
    std::string image(const Bytes& bytes, const char* name = "image.qvn")
    {
        const std::string path = dir + "/" + name;
        writeFile(path, bytes);
        return path;
    }
};

// A compressed stream of bytes in one of the formats (libarchive's raw
// format), under a name that does not tell the format.
std::string compress(const std::string& path, const Bytes& bytes, int (*addFilter)(archive*))
{
    archive* a = archive_write_new();
    addFilter(a);
    archive_write_set_format_raw(a);
    archive_write_open_filename(a, path.c_str());
    archive_entry* entry = archive_entry_new();
    archive_entry_set_pathname(entry, "image");
    archive_entry_set_filetype(entry, AE_IFREG);
    archive_write_header(a, entry);
    archive_entry_free(entry);
    archive_write_data(a, bytes.data(), bytes.size());
    archive_write_close(a);
    archive_write_free(a);
    return path;
}

constexpr uint32_t kSectors = 2000;

TEST_F(RestoreTest, ImageOfExactlySectorCountIsWrittenAndVerified)
{
    attach(randomBytes(kSectors * 512, 21), kSectors);
    const Bytes content = randomBytes(kSectors * 512, 22);
    chooser.answer = image(content);
    EXPECT_EQ(RestoreWorker(context, job), 1);
    EXPECT_EQ(medium(), content);
    ASSERT_EQ(chooser.requests.size(), 1u);
    EXPECT_FALSE(chooser.requests[0].save);
    // 16 chunks: reported after chunks 0 and 15, then the read-back.
    const std::vector<std::pair<int32_t, int64_t>> expected = {
        {RUN_STARTING, 0},  {RUN_ACTIVE, 0}, {RUN_ACTIVE, 0}, {RUN_ACTIVE, kRestoreVerifying},
        {RUN_ACTIVE, kRestoreVerifying}, {RUN_DONE, 0}};
    EXPECT_EQ(sink.reports, expected);
    EXPECT_EQ(record.total, kSectors);
}

TEST_F(RestoreTest, ImageOneSectorTooLargeIsRefusedWithTheMediumUntouched)
{
    const Bytes before = randomBytes(kSectors * 512, 23);
    attach(before, kSectors);
    chooser.answer = image(randomBytes((kSectors + 1) * 512, 24));
    EXPECT_EQ(RestoreWorker(context, job), 0);
    const std::vector<std::pair<int32_t, int64_t>> tooLarge = {{RUN_TOO_LARGE, 0}};
    EXPECT_EQ(sink.reports, tooLarge);
    EXPECT_EQ(medium(), before);

    // A compressed image records no length: the stream is counted first.
    sink.reports.clear();
    chooser.answer = compress(dir + "/big.qvn", randomBytes((kSectors + 1) * 512, 25), archive_write_add_filter_zstd);
    EXPECT_EQ(RestoreWorker(context, job), 0);
    EXPECT_EQ(sink.reports, tooLarge);
    EXPECT_EQ(medium(), before);
}

TEST_F(RestoreTest, ShorterImagesWriteOnlyTheirSectorsAfterTheStartIsZeroed)
{
    const Bytes before = randomBytes(kSectors * 512, 26);
    attach(before, kSectors);
    const Bytes content = randomBytes(700 * 512, 27);
    chooser.answer = image(content);
    EXPECT_EQ(RestoreWorker(context, job), 1);
    const Bytes after = medium();
    EXPECT_TRUE(std::equal(content.begin(), content.end(), after.begin()));
    EXPECT_TRUE(allZero(after, 700 * 512, 1025 * 512));
    EXPECT_TRUE(std::equal(after.begin() + 1025 * 512, after.end(), before.begin() + 1025 * 512));
}

TEST_F(RestoreTest, ImagesThatAreNotWholeSectorsAreRefusedBeforeTheMediumIsTouched)
{
    const Bytes before = randomBytes(kSectors * 512, 26);
    attach(before, kSectors);
    // A tail is never dropped unsaid; less than one sector is no image.
    chooser.answer = image(randomBytes(700 * 512 + 100, 27));
    EXPECT_EQ(RestoreWorker(context, job), 0);
    EXPECT_EQ(FailureText(status.failure), "the image is not a whole number of sectors: " + chooser.answer +
                                               " (358500 bytes, and a sector is 512 bytes)");
    chooser.answer = image({}, "empty.qvn");
    EXPECT_EQ(RestoreWorker(context, job), 0);
    EXPECT_EQ(FailureText(status.failure), "the image is empty, it holds no sector: " + chooser.answer);
    chooser.answer = dir;
    EXPECT_EQ(RestoreWorker(context, job), 0);
    EXPECT_EQ(FailureText(status.failure), "an image must be a plain file; this is a directory: " + dir);
    EXPECT_EQ(sink.reports.back(), std::make_pair(int32_t(RUN_FAILED), int64_t(0)));
    EXPECT_EQ(medium(), before);
}

TEST_F(RestoreTest, WriteFailureOrPulledDriveEndsNamedAndOnDriveImageIsRefused)
{
    const Bytes content = randomBytes(kSectors * 512, 29);
    FaultPlan plan;
    plan.failingWrites.push_back({1500, 1});
    attach(randomBytes(kSectors * 512, 30), kSectors, plan);
    chooser.answer = image(content);
    EXPECT_EQ(RestoreWorker(context, job), 0);
    EXPECT_EQ(sink.reports.back(), std::make_pair(int32_t(RUN_FAILED), int64_t(0)));
    EXPECT_EQ(FailureText(status.failure), "cannot write " + mediumPath + ", sector 1408: Input/output error");

    FaultPlan pulled;
    pulled.removeAfter = 10;  // the zeroed start takes 9 writes
    attach(randomBytes(kSectors * 512, 31), kSectors, pulled);
    SetTransferRequestBytes(size_t(512) << 10);
    EXPECT_EQ(RestoreWorker(context, job), 0);
    // 9 writes zero the start; the request of chunks 0 to 7 goes through,
    // the next one does not.
    EXPECT_EQ(FailureText(status.failure), "cannot write " + mediumPath + ", sector 1024: No such device");

    const Bytes before = randomBytes(kSectors * 512, 32);
    attach(before, kSectors);
    chooser.answer = mediumPath;
    EXPECT_EQ(RestoreWorker(context, job), 0);
    EXPECT_EQ(FailureText(status.failure), "the image lies on the drive being worked on: " + mediumPath);
    EXPECT_EQ(medium(), before);
}

// An image whose reader ends before the length it announced: the file
// shrank under the restore.
class ShrinkingFiles : public PosixImageFiles {
    class Reader : public ImageReader {
    public:
        int64_t read(void* bytes, size_t length) override
        {
            const size_t n = std::min(length, left);
            std::memset(bytes, 0x5A, n);
            left -= n;
            return int64_t(n);
        }
        std::optional<uint64_t> knownLength() const override { return 1000 * 512; }
        bool compressed() const override { return false; }
        size_t left = 300 * 512;
    };

public:
    std::unique_ptr<ImageReader> open(const std::string&, RunFailure*) override
    {
        return std::make_unique<Reader>();
    }
};

TEST_F(RestoreTest, ShortImageReadAndSilentCorruptionAreFailures)
{
    attach(randomBytes(kSectors * 512, 33), kSectors);
    ShrinkingFiles shrinking;
    job.files = &shrinking;
    chooser.answer = dir + "/shrinking.qvn";
    EXPECT_EQ(RestoreWorker(context, job), 0);
    EXPECT_EQ(FailureText(status.failure), "unexpected end of " + chooser.answer);

    // The medium inverts what is read back from sector 1300 on.
    job.files = &files;
    FaultPlan plan;
    plan.corruptReads.push_back({1300, 5});
    attach(randomBytes(kSectors * 512, 34), kSectors, plan);
    chooser.answer = image(randomBytes(kSectors * 512, 35));
    EXPECT_EQ(RestoreWorker(context, job), 0);
    EXPECT_EQ(FailureText(status.failure), "verify: the image differs from " + mediumPath + ", sector 1300");
    job.verify = false;
    EXPECT_EQ(RestoreWorker(context, job), 1);
}

TEST_F(RestoreTest, CompressedImagesOfEachFormatAreRecognisedByContent)
{
    const Bytes content = randomBytes(1500 * 512, 36);
    const std::pair<const char*, int (*)(archive*)> formats[] = {
        {"gzip", archive_write_add_filter_gzip},
        {"xz", archive_write_add_filter_xz},
        {"zstd", archive_write_add_filter_zstd},
        {"bzip2", archive_write_add_filter_bzip2},
    };
    for (const auto& [name, filter] : formats) {
        attach(randomBytes(kSectors * 512, 37), kSectors);
        chooser.answer = compress(dir + "/" + name + ".qvn", content, filter);
        EXPECT_EQ(RestoreWorker(context, job), 1) << name << ": " << FailureText(status.failure);
        const Bytes after = medium();
        EXPECT_TRUE(std::equal(content.begin(), content.end(), after.begin())) << name;
        EXPECT_EQ(record.total, 1500u) << name;
    }
}

TEST_F(RestoreTest, ZstdBackupRestoresOntoAnotherMedium)
{
    const Bytes content = randomBytes(kSectors * 512, 38);
    attach(content, kSectors);
    chooser.answer = dir + "/stick.qvn";
    job.compression = ImageCompression::Zstd;
    ASSERT_EQ(BackupWorker(context, job), 1) << FailureText(status.failure);
    EXPECT_EQ(job.path, dir + "/stick.qvn.zst");
    const std::string check = "cd '" + dir + "' && sha256sum --quiet -c stick.qvn.zst.sha256";
    EXPECT_EQ(std::system(check.c_str()), 0);

    const std::string zst = job.path;
    attach(randomBytes(kSectors * 512, 39), kSectors);
    chooser.answer = zst;
    EXPECT_EQ(RestoreWorker(context, job), 1) << FailureText(status.failure);
    EXPECT_EQ(medium(), content);
}

}  // namespace
}  // namespace qv::test
