#include "platform/image/PosixImageFiles.h"

#include "core/text/StringIds.h"
#include "core/text/StringTable.h"
#include "platform/image/FileIO.h"
#include "platform/image/PathPlacement.h"

#include <archive.h>
#include <archive_entry.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
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
        if (error > 0 && error != EILSEQ)
            return -error;
        const char* words = archive_error_string(archive_);
        damage_ = words ? words : "";
        return -EBADMSG;
    }
    std::optional<uint64_t> knownLength() const override { return std::nullopt; }
    bool compressed() const override { return true; }
    std::string damage() const override { return damage_; }

private:
    archive* archive_;
    int fd_;
    std::string damage_;
};

// A gzip stream through zlib, which checks each member's CRC-32 and
// length against its trailer and calls a stream cut short an error.
class GzipReader : public ImageReader {
public:
    explicit GzipReader(gzFile gz) : gz_(gz) { gzbuffer(gz_, 1 << 20); }
    ~GzipReader() override { gzclose_r(gz_); }

    int64_t read(void* bytes, size_t length) override
    {
        const unsigned want = unsigned(std::min<size_t>(length, INT_MAX / 2));
        errno = 0;
        const int n = gzread(gz_, bytes, want);
        int code = Z_OK;
        const char* words = gzerror(gz_, &code);
        // A stream cut short ends like a whole one, with its error kept.
        if (n > 0 || (n == 0 && code == Z_OK))
            return n;
        if (code == Z_ERRNO)
            return -(errno > 0 ? errno : EIO);
        // zlib names the descriptor first ("<fd:5>: incorrect data check").
        std::string text = words ? words : "";
        if (text.rfind("<fd:", 0) == 0 && text.find(": ") != std::string::npos)
            text.erase(0, text.find(": ") + 2);
        damage_ = text;
        return -EBADMSG;
    }
    std::optional<uint64_t> knownLength() const override { return std::nullopt; }
    bool compressed() const override { return true; }
    std::string damage() const override { return damage_; }

private:
    gzFile gz_;
    std::string damage_;
};

// The text id of what path is when it is not a plain file; 0 for a plain
// file. Asked before opening: opening a FIFO would wait for a writer.
int NotPlainKind(const struct stat& st)
{
    if (S_ISREG(st.st_mode))
        return 0;
    if (S_ISDIR(st.st_mode))
        return str::kFileKindDirectory;
    if (S_ISFIFO(st.st_mode))
        return str::kFileKindFifo;
    if (S_ISCHR(st.st_mode))
        return str::kFileKindCharDevice;
    if (S_ISBLK(st.st_mode))
        return str::kFileKindBlockDevice;
    return str::kFileKindSocket;
}

}  // namespace

std::unique_ptr<ImageReader> PosixImageFiles::open(const std::string& path, RunFailure* failure)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        failure->set(str::kFailedOpen, path, errno);
        return nullptr;
    }
    if (const int kind = NotPlainKind(st)) {
        failure->set(str::kFailedNotPlainFile, LoadText(kind) + " " + path, 0);
        return nullptr;
    }
    // O_NONBLOCK: a FIFO put in the file's place since stat() must not hang.
    const int fd = openRetrying(path, O_RDONLY | O_NONBLOCK);
    if (fd < 0) {
        failure->set(str::kFailedOpen, path, errno);
        return nullptr;
    }
    if (fstat(fd, &st) != 0 || NotPlainKind(st)) {
        failure->set(str::kFailedNotPlainFile, LoadText(NotPlainKind(st)) + " " + path, 0);
        ::close(fd);
        return nullptr;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
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
    if (archive_filter_code(a, 0) == ARCHIVE_FILTER_GZIP && header == ARCHIVE_OK) {
        archive_read_free(a);
        ::close(probe);
        if (gzFile gz = gzdopen(fd, "rb"))
            return std::make_unique<GzipReader>(gz);
        failure->set(str::kFailedMemory, path, ENOMEM);
        ::close(fd);
        return nullptr;
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
