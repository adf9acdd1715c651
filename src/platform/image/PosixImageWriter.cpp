#include "platform/image/PosixImageFiles.h"

#include "core/text/StringIds.h"
#include "core/text/StringTable.h"
#include "core/text/Units.h"
#include "platform/image/PosixOutputFiles.h"

#include <archive.h>
#include <archive_entry.h>
#include <openssl/evp.h>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace qv {
namespace {

std::string baseName(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// NAME.partial, NAME.2.partial, ...
std::string partialName(const std::string& path, int n)
{
    return n == 1 ? path + ".partial" : path + "." + std::to_string(n) + ".partial";
}

class Sha256 {
public:
    Sha256() : ctx_(EVP_MD_CTX_new())
    {
        if (ctx_ && EVP_DigestInit_ex(ctx_, EVP_sha256(), nullptr) != 1) {
            EVP_MD_CTX_free(ctx_);
            ctx_ = nullptr;
        }
    }
    ~Sha256() { EVP_MD_CTX_free(ctx_); }
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    bool ok() const { return ctx_ != nullptr; }
    void update(const void* bytes, size_t length) { EVP_DigestUpdate(ctx_, bytes, length); }
    std::string hex()
    {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        EVP_DigestFinal_ex(ctx_, digest, &length);
        static const char kDigits[] = "0123456789abcdef";
        std::string text;
        for (unsigned int i = 0; i < length; ++i) {
            text += kDigits[digest[i] >> 4];
            text += kDigits[digest[i] & 15];
        }
        return text;
    }

private:
    EVP_MD_CTX* ctx_;
};

// The image file and its checksum file, both under temporary names until
// the image is complete; the compressed writer feeds it its output.
class FileSink {
public:
    FileSink(std::unique_ptr<NewFile> image, std::unique_ptr<NewFile> sum)
        : image_(std::move(image)), sum_(std::move(sum))
    {
        if (sum_)
            hash_ = std::make_unique<Sha256>();
    }

    // Reserves the image's full size so that a target without room fails
    // before the first sector is read. 0, or a failure set.
    int reserve(uint64_t bytes, bool replacing, RunFailure* failure)
    {
        const int error = image_->reserve(bytes);
        if (!error)
            return 0;
        const std::string& path = image_->path();
        std::string needed = LoadText(str::kSpaceNeeded);
        needed.replace(needed.find("%1"), 2, FormatSizeText(bytes));
        if (error == EFBIG)
            failure->set(str::kFailedFileSize,
                         path + " (" + FormatSizeText(bytes) + ")" + LoadText(str::kFileSizeAdvice), EFBIG);
        else if (error == ENOSPC || error == EDQUOT)
            // An old image stays until the new one is complete: both need room.
            failure->set(str::kFailedSpace, path + " (" + needed + (replacing ? LoadText(str::kOldFileStays) : "") + ")",
                         error);
        else
            failure->set(str::kFailedCreate, path, error);
        return error;
    }

    int append(const void* bytes, size_t length)
    {
        const int error = image_->write(bytes, length);
        if (error) {
            failed_ = true;
            return error;
        }
        if (hash_)
            hash_->update(bytes, length);
        return 0;
    }

    int finish(RunFailure* failure)
    {
        if (const int error = image_->commit(failure))
            return error;
        placed_ = true;
        if (!sum_)
            return 0;
        // NAME.sha256 beside the image, in the form `sha256sum -c` checks.
        const std::string line = hash_->hex() + "  " + baseName(image_->path()) + "\n";
        if (const int error = sum_->write(line.data(), line.size())) {
            failure->set(str::kFailedWrite, sum_->path(), error);
            return error;
        }
        return sum_->commit(failure);
    }

    PartialImage keepPartial()
    {
        PartialImage kept;
        if (placed_ || image_->size() == 0)
            return kept;
        std::string path;
        RunFailure ignored;
        const std::string& name = image_->path();
        if (image_->commitAs([&name](int n) { return partialName(name, n); }, &path, &ignored) == 0)
            kept.path = path;
        return kept;
    }

    uint64_t written() const { return image_->size(); }
    const std::string& path() const { return image_->path(); }
    bool hashReady() const { return !hash_ || hash_->ok(); }
    // A write of the image failed: what it holds ends somewhere in a block.
    bool failed() const { return failed_; }

private:
    std::unique_ptr<NewFile> image_;
    std::unique_ptr<NewFile> sum_;
    std::unique_ptr<Sha256> hash_;
    bool failed_ = false;
    bool placed_ = false;
};

class PlainWriter : public ImageWriter {
public:
    explicit PlainWriter(std::unique_ptr<FileSink> sink) : sink_(std::move(sink)) {}
    int write(const void* bytes, size_t length) override { return sink_->append(bytes, length); }
    int finish(RunFailure* failure) override { return sink_->finish(failure); }
    PartialImage keepPartial() override
    {
        PartialImage kept = sink_->keepPartial();
        if (!kept.path.empty())
            kept.sectors = sink_->written() / 512;
        return kept;
    }
    uint64_t bytesWritten() const override { return sink_->written(); }

private:
    std::unique_ptr<FileSink> sink_;
};

// A zstd stream (libarchive's raw format) whose output goes to the sink.
class ZstdWriter : public ImageWriter {
public:
    explicit ZstdWriter(std::unique_ptr<FileSink> sink) : sink_(std::move(sink)) {}
    ~ZstdWriter() override
    {
        if (archive_)
            archive_write_free(archive_);
    }

    int start()
    {
        archive_ = archive_write_new();
        if (!archive_)
            return ENOMEM;
        archive_entry* entry = archive_entry_new();
        if (!entry)
            return ENOMEM;
        archive_entry_set_pathname(entry, "image");
        archive_entry_set_filetype(entry, AE_IFREG);
        int result = archive_write_add_filter_zstd(archive_);
        if (result == ARCHIVE_OK)
            result = archive_write_set_format_raw(archive_);
        if (result == ARCHIVE_OK)
            result = archive_write_set_bytes_per_block(archive_, 65536);
        if (result == ARCHIVE_OK)
            result = archive_write_set_bytes_in_last_block(archive_, 1);
        if (result == ARCHIVE_OK)
            result = archive_write_open(archive_, this, nullptr, &ZstdWriter::onWrite, nullptr);
        if (result == ARCHIVE_OK)
            result = archive_write_header(archive_, entry);
        archive_entry_free(entry);
        return result == ARCHIVE_OK ? 0 : errorOf();
    }

    int write(const void* bytes, size_t length) override
    {
        const auto* p = static_cast<const char*>(bytes);
        while (length > 0) {
            const la_ssize_t n = archive_write_data(archive_, p, length);
            if (n <= 0)
                return errorOf();
            p += n;
            length -= size_t(n);
            fed_ += uint64_t(n);
        }
        return 0;
    }

    int finish(RunFailure* failure) override
    {
        if (const int error = endStream()) {
            failure->set(str::kFailedWrite, sink_->path(), error);
            return error;
        }
        return sink_->finish(failure);
    }

    // The stream is ended so that what was saved decompresses whole; a
    // stream the file did not take to its end is not kept.
    PartialImage keepPartial() override
    {
        if ((archive_ && endStream() != 0) || sink_->failed())
            return {};
        PartialImage kept = sink_->keepPartial();
        if (!kept.path.empty())
            kept.sectors = fed_ / 512;
        return kept;
    }

    uint64_t bytesWritten() const override { return sink_->written(); }

private:
    int endStream()
    {
        if (!archive_)
            return 0;
        const int result = archive_write_close(archive_);
        const int error = result == ARCHIVE_OK ? 0 : errorOf();
        archive_write_free(archive_);
        archive_ = nullptr;
        return error;
    }

    static la_ssize_t onWrite(archive* a, void* self, const void* bytes, size_t length)
    {
        const int error = static_cast<ZstdWriter*>(self)->sink_->append(bytes, length);
        if (error) {
            archive_set_error(a, error, "%s", std::strerror(error));
            return -1;
        }
        return la_ssize_t(length);
    }

    int errorOf() const
    {
        const int error = archive_ ? archive_errno(archive_) : 0;
        return error > 0 ? error : EIO;
    }

    std::unique_ptr<FileSink> sink_;
    archive* archive_ = nullptr;
    uint64_t fed_ = 0;
};

}  // namespace

std::unique_ptr<ImageWriter> PosixImageFiles::create(const std::string& path, const ImageWriteOptions& options,
                                                     RunFailure* failure)
{
    PosixOutputFiles outputs;
    const ExistingFile existing = options.replace ? ExistingFile::ReplaceRegular : ExistingFile::Refuse;
    // The checksum file is checked before anything is written too: an old
    // one the user did not allow replacing stops the backup at once.
    std::unique_ptr<NewFile> sum;
    if (options.checksum && !outputs.check(path + ".sha256", existing, options.inputs, failure))
        return nullptr;
    std::unique_ptr<NewFile> image = outputs.create(path, existing, options.inputs, failure);
    if (!image)
        return nullptr;
    if (options.checksum && !(sum = outputs.create(path + ".sha256", existing, options.inputs, failure)))
        return nullptr;
    auto sink = std::make_unique<FileSink>(std::move(image), std::move(sum));
    if (!sink->hashReady()) {
        failure->set(str::kFailedMemory, path, ENOMEM);
        return nullptr;
    }
    struct stat st;
    const bool replacing = options.replace && lstat(path.c_str(), &st) == 0;
    if (options.reserveBytes && sink->reserve(options.reserveBytes, replacing, failure) != 0)
        return nullptr;
    if (options.compression == ImageCompression::None)
        return std::make_unique<PlainWriter>(std::move(sink));
    auto writer = std::make_unique<ZstdWriter>(std::move(sink));
    if (const int error = writer->start()) {
        failure->set(str::kFailedCreate, path, error);
        return nullptr;
    }
    return writer;
}

}  // namespace qv
