#include "platform/image/PosixImageFiles.h"

#include "core/text/StringIds.h"
#include "core/text/StringTable.h"
#include "core/text/Units.h"
#include "platform/image/FileIO.h"
#include "platform/image/PathPlacement.h"

#include <archive.h>
#include <archive_entry.h>
#include <openssl/evp.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace qv {
namespace {

int openRetrying(const std::string& path, int flags, mode_t mode = 0)
{
    int fd;
    do
        fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

// Appends every byte at offset; 0 or an errno.
int appendAll(int fd, const void* bytes, size_t length, uint64_t offset)
{
    const auto* p = static_cast<const char*>(bytes);
    while (length > 0) {
        const int64_t n = PwriteFull(fd, p, length, offset);
        if (n < 0)
            return int(-n);
        if (n == 0)
            return EIO;
        p += n;
        length -= size_t(n);
        offset += uint64_t(n);
    }
    return 0;
}

std::string baseName(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
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

// The image file itself: appends, an optional reservation and hash, and
// the checksum file at the end. The compressed writer feeds it its output.
class FileSink {
public:
    FileSink(std::string path, int fd, bool hashed) : path_(std::move(path)), fd_(fd)
    {
        if (hashed)
            hash_ = std::make_unique<Sha256>();
    }
    ~FileSink()
    {
        // A stopped or failed backup keeps what was written, at its length.
        if (fd_ >= 0) {
            if (reserved_)
                (void)ftruncate(fd_, off_t(written_));
            ::close(fd_);
        }
    }

    // Reserves the image's full size so that a target without room fails
    // before the first sector is read. 0, or a failure set.
    int reserve(uint64_t bytes, RunFailure* failure)
    {
        int error = 0;
        do
            error = fallocate(fd_, 0, 0, off_t(bytes)) == 0 ? 0 : errno;
        while (error == EINTR);
        if (error == 0) {
            reserved_ = true;
            return 0;
        }
        if (error == EOPNOTSUPP || error == ENOSYS) {
            // No reservation on this file system: at least compare the room.
            struct statvfs fs;
            if (fstatvfs(fd_, &fs) == 0 && uint64_t(fs.f_bavail) * fs.f_frsize < bytes)
                error = ENOSPC;
            else
                return 0;
        }
        std::string needed = LoadText(str::kSpaceNeeded);
        needed.replace(needed.find("%1"), 2, FormatSizeText(bytes));
        if (error == EFBIG)
            failure->set(str::kFailedFileSize,
                         path_ + " (" + FormatSizeText(bytes) + ")" + LoadText(str::kFileSizeAdvice), 0);
        else if (error == ENOSPC || error == EDQUOT)
            failure->set(str::kFailedSpace, path_ + " (" + needed + ")", error);
        else
            failure->set(str::kFailedCreate, path_, error);
        return error;
    }

    int append(const void* bytes, size_t length)
    {
        const int error = appendAll(fd_, bytes, length, written_);
        if (error)
            return error;
        if (hash_)
            hash_->update(bytes, length);
        written_ += length;
        return 0;
    }

    int finish(RunFailure* failure)
    {
        int error = 0;
        if (reserved_ && ftruncate(fd_, off_t(written_)) != 0)
            error = errno;
        if (!error && fdatasync(fd_) != 0)
            error = errno;
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0 && !error && errno != EINTR)
            error = errno;
        if (error) {
            failure->set(str::kFailedWrite, path_, error);
            return error;
        }
        return hash_ ? writeChecksum(failure) : 0;
    }

    uint64_t written() const { return written_; }
    const std::string& path() const { return path_; }
    bool hashReady() const { return !hash_ || hash_->ok(); }

private:
    // NAME.sha256 beside the image, in the form `sha256sum -c` checks.
    int writeChecksum(RunFailure* failure)
    {
        const std::string sumPath = path_ + ".sha256";
        const std::string line = hash_->hex() + "  " + baseName(path_) + "\n";
        int error = 0;
        const int fd = openRetrying(sumPath, O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (fd < 0)
            error = errno;
        else {
            error = appendAll(fd, line.data(), line.size(), 0);
            if (!error && fdatasync(fd) != 0)
                error = errno;
            ::close(fd);
        }
        if (error)
            failure->set(str::kFailedWrite, sumPath, error);
        return error;
    }

    std::string path_;
    int fd_;
    bool reserved_ = false;
    uint64_t written_ = 0;
    std::unique_ptr<Sha256> hash_;
};

class PlainWriter : public ImageWriter {
public:
    explicit PlainWriter(std::unique_ptr<FileSink> sink) : sink_(std::move(sink)) {}
    int write(const void* bytes, size_t length) override { return sink_->append(bytes, length); }
    int finish(RunFailure* failure) override { return sink_->finish(failure); }
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
        if (archive_) {
            // Ends the stream so the part saved can still be decompressed.
            archive_write_close(archive_);
            archive_write_free(archive_);
        }
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
        }
        return 0;
    }

    int finish(RunFailure* failure) override
    {
        const int result = archive_write_close(archive_);
        const int error = result == ARCHIVE_OK ? 0 : errorOf();
        archive_write_free(archive_);
        archive_ = nullptr;
        if (error) {
            failure->set(str::kFailedWrite, sink_->path(), error);
            return error;
        }
        return sink_->finish(failure);
    }

    uint64_t bytesWritten() const override { return sink_->written(); }

private:
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
};

class PlainReader : public ImageReader {
public:
    explicit PlainReader(int fd) : fd_(fd)
    {
        length_ = FileLength(fd);
        posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    ~PlainReader() override { ::close(fd_); }

    int64_t read(void* bytes, size_t length) override
    {
        const int64_t n = PreadFull(fd_, bytes, length, offset_);
        if (n > 0)
            offset_ += uint64_t(n);
        return n;
    }
    std::optional<uint64_t> knownLength() const override { return length_; }
    bool compressed() const override { return false; }

private:
    int fd_;
    uint64_t offset_ = 0;
    uint64_t length_ = 0;
};

// A gzip, xz, zstd or bzip2 stream, decompressed by libarchive.
class CompressedReader : public ImageReader {
public:
    CompressedReader(archive* a, int fd) : archive_(a), fd_(fd) {}
    ~CompressedReader() override
    {
        archive_read_free(archive_);
        ::close(fd_);
    }

    int64_t read(void* bytes, size_t length) override
    {
        const la_ssize_t n = archive_read_data(archive_, bytes, length);
        if (n >= 0)
            return n;
        const int error = archive_errno(archive_);
        // A damaged stream carries no errno of its own.
        return -(error > 0 ? error : EBADMSG);
    }
    std::optional<uint64_t> knownLength() const override { return std::nullopt; }
    bool compressed() const override { return true; }

private:
    archive* archive_;
    int fd_;
};

}  // namespace

std::unique_ptr<ImageWriter> PosixImageFiles::create(const std::string& path, const ImageWriteOptions& options,
                                                     RunFailure* failure)
{
    const int fd = openRetrying(path, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0) {
        failure->set(str::kFailedCreate, path, errno);
        return nullptr;
    }
    auto sink = std::make_unique<FileSink>(path, fd, options.checksum);
    if (!sink->hashReady()) {
        failure->set(str::kFailedMemory, path, ENOMEM);
        return nullptr;
    }
    if (options.reserveBytes && sink->reserve(options.reserveBytes, failure) != 0) {
        sink.reset();
        // Nothing was saved: leave no empty image behind.
        ::unlink(path.c_str());
        return nullptr;
    }
    if (options.compression == ImageCompression::None)
        return std::make_unique<PlainWriter>(std::move(sink));
    auto writer = std::make_unique<ZstdWriter>(std::move(sink));
    if (const int error = writer->start()) {
        failure->set(str::kFailedCreate, path, error);
        return nullptr;
    }
    return writer;
}

std::unique_ptr<ImageReader> PosixImageFiles::open(const std::string& path, RunFailure* failure)
{
    const int fd = openRetrying(path, O_RDONLY);
    if (fd < 0) {
        failure->set(str::kFailedOpen, path, errno);
        return nullptr;
    }
    // libarchive bids on the content: a compressed stream is recognised by
    // its own header, whatever the file's name.
    const int probe = openRetrying(path, O_RDONLY);
    if (probe < 0) {
        failure->set(str::kFailedOpen, path, errno);
        ::close(fd);
        return nullptr;
    }
    archive* a = archive_read_new();
    archive_read_support_filter_gzip(a);
    archive_read_support_filter_xz(a);
    archive_read_support_filter_zstd(a);
    archive_read_support_filter_bzip2(a);
    archive_read_support_format_raw(a);
    archive_entry* entry = nullptr;
    const bool opened = archive_read_open_fd(a, probe, 65536) == ARCHIVE_OK;
    const int header = opened ? archive_read_next_header(a, &entry) : ARCHIVE_FATAL;
    const bool compressed = opened && archive_filter_count(a) > 1 && archive_filter_code(a, 0) != ARCHIVE_FILTER_NONE;
    if (!compressed) {
        archive_read_free(a);
        ::close(probe);
        return std::make_unique<PlainReader>(fd);
    }
    ::close(fd);
    if (header != ARCHIVE_OK) {
        const int error = archive_errno(a);
        failure->set(str::kFailedRead, path, error > 0 ? error : EBADMSG);
        archive_read_free(a);
        ::close(probe);
        return nullptr;
    }
    return std::make_unique<CompressedReader>(a, probe);
}

bool PosixImageFiles::onDrive(const std::string& path, const std::string& volumePath, RunFailure* failure)
{
    int error = 0;
    switch (PlaceOfPath(volumePath, path, &error)) {
    case PathPlace::Elsewhere:
        return false;
    case PathPlace::OnDrive:
        failure->set(str::kFailedImageOnDrive, path, 0);
        return true;
    case PathPlace::Unknown:
        failure->set(str::kFailedPlace, path, error);
        return true;
    }
    return true;
}

}  // namespace qv
