#include "platform/image/PosixOutputFiles.h"

#include "core/text/StringIds.h"
#include "core/text/StringTable.h"
#include "platform/image/FileIO.h"
#include "platform/image/PathPlacement.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace qv {
namespace {

struct Target {
    std::string folder;
    std::string base;
};

Target split(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return {".", path};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

// The string id of why an existing entry is never written over; 0 for a
// regular file.
int refusalOf(mode_t mode)
{
    if (S_ISREG(mode))
        return 0;
    if (S_ISLNK(mode))
        return str::kTargetSymlink;
    if (S_ISDIR(mode))
        return str::kTargetFolder;
    if (S_ISFIFO(mode))
        return str::kTargetPipe;
    if (S_ISSOCK(mode))
        return str::kTargetSocket;
    return str::kTargetDeviceNode;
}

void refuse(RunFailure* failure, const std::string& path, int why)
{
    failure->set(str::kRefusedTarget, path + " (" + LoadText(why) + ")", 0);
}

// What is at path now allows the file to take its name: nothing, or a
// regular file the rule allows replacing.
bool checkTarget(const std::string& path, ExistingFile existing, RunFailure* failure)
{
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) {
        int error = errno;
        if (error == ENOENT) {
            // A new file: its folder must be there and take it.
            const std::string folder = split(path).folder;
            if (stat(folder.c_str(), &st) != 0)
                error = errno;
            else if (!S_ISDIR(st.st_mode))
                error = ENOTDIR;
            else
                error = access(folder.c_str(), W_OK | X_OK) == 0 ? 0 : errno;
        }
        if (error)
            failure->set(str::kFailedCreate, path, error);
        return error == 0;
    }
    if (const int why = refusalOf(st.st_mode)) {
        refuse(failure, path, why);
        return false;
    }
    if (existing != ExistingFile::ReplaceRegular) {
        refuse(failure, path, str::kTargetExists);
        return false;
    }
    return true;
}

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

std::string hiddenName(const std::string& base)
{
    static thread_local std::mt19937 random{std::random_device{}()};
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".qv%06x", unsigned(random() & 0xFFFFFF));
    // Room for the suffix within a name's 255 bytes.
    return "." + base.substr(0, 200) + suffix;
}

class PosixNewFile : public NewFile {
public:
    PosixNewFile(std::string path, Target target, ExistingFile existing)
        : path_(std::move(path)), target_(std::move(target)), existing_(existing)
    {
    }
    ~PosixNewFile() override
    {
        if (fd_ >= 0)
            ::close(fd_);
        // Only the temporary this run made is ever removed.
        if (!temporary_.empty() && !placed_)
            unlinkat(folder_, temporary_.c_str(), 0);
        if (folder_ >= 0)
            ::close(folder_);
    }

    // Opens the folder and the temporary; 0 or an errno.
    int open(bool unnamed)
    {
        folder_ = ::open(target_.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder_ < 0 && errno == EACCES) {
            // A folder that may be written but not listed: no sync of it.
            folder_ = ::open(target_.folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
            syncFolder_ = false;
        }
        if (folder_ < 0)
            return errno;
        if (unnamed) {
            do
                fd_ = openat(folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
            while (fd_ < 0 && errno == EINTR);
            if (fd_ >= 0)
                return 0;
            // Only a file system without unnamed files falls back.
            if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
                return errno;
        }
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string name = hiddenName(target_.base);
            do
                fd_ = openat(folder_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
            while (fd_ < 0 && errno == EINTR);
            if (fd_ >= 0) {
                temporary_ = name;
                return 0;
            }
            if (errno != EEXIST)
                return errno;
        }
        return EEXIST;
    }

    int write(const void* bytes, size_t length) override
    {
        const int error = appendAll(fd_, bytes, length, size_);
        if (!error)
            size_ += length;
        return error;
    }

    int reserve(uint64_t bytes) override
    {
        int error = 0;
        do
            error = fallocate(fd_, 0, 0, off_t(bytes)) == 0 ? 0 : errno;
        while (error == EINTR);
        if (error == EOPNOTSUPP || error == ENOSYS) {
            // No reservation on this file system: at least compare the room.
            struct statvfs fs;
            error = fstatvfs(fd_, &fs) == 0 && uint64_t(fs.f_bavail) * fs.f_frsize < bytes ? ENOSPC : 0;
            return error;
        }
        return error;
    }

    uint64_t size() const override { return size_; }
    const std::string& path() const override { return path_; }

    int commit(RunFailure* failure) override
    {
        if (const int error = complete(failure))
            return error;
        if (existing_ == ExistingFile::ReplaceRegular) {
            // What is there now, maybe changed since the run began.
            if (!checkTarget(path_, existing_, failure))
                return EEXIST;
            return finishPlacing(replace(target_.base), path_, failure);
        }
        const int error = takeName(target_.base);
        if (error == EEXIST) {
            refuse(failure, path_, str::kTargetExists);
            return error;
        }
        return finishPlacing(error, path_, failure);
    }

    int commitAs(const std::function<std::string(int)>& nameFor, std::string* used, RunFailure* failure) override
    {
        if (const int error = complete(failure))
            return error;
        for (int n = 1; n <= 1000; ++n) {
            const std::string candidate = nameFor(n);
            const int error = takeName(split(candidate).base);
            if (error == EEXIST)
                continue;
            if (!error && used)
                *used = candidate;
            return finishPlacing(error, candidate, failure);
        }
        failure->set(str::kFailedCreate, nameFor(1000), EEXIST);
        return EEXIST;
    }

private:
    // The data on the medium at its length; 0 or an errno.
    int complete(RunFailure* failure)
    {
        // Bytes of a failed append and the reservation go.
        int error = 0;
        if (ftruncate(fd_, off_t(size_)) != 0)
            error = errno;
        if (!error && fdatasync(fd_) != 0)
            error = errno;
        if (error)
            failure->set(str::kFailedWrite, path_, error);
        return error;
    }

    int finishPlacing(int error, const std::string& name, RunFailure* failure)
    {
        if (error) {
            failure->set(str::kFailedCreate, name, error);
            return error;
        }
        placed_ = true;
        // The new name on the medium too.
        if (syncFolder_)
            (void)fsync(folder_);
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0 && errno != EINTR) {
            failure->set(str::kFailedWrite, name, errno);
            return errno;
        }
        return 0;
    }

    // Links the unnamed file in as name; 0 or an errno.
    int link(const std::string& name)
    {
        char self[64];
        std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd_);
        if (linkat(AT_FDCWD, self, folder_, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return 0;
        // Without /proc, only a process that may look up any inode can.
        if (errno == ENOENT && linkat(fd_, "", folder_, name.c_str(), AT_EMPTY_PATH) == 0)
            return 0;
        return errno;
    }

    // Takes name only while nothing is there; EEXIST when something is.
    int takeName(const std::string& name)
    {
        if (temporary_.empty())
            return link(name);
        if (renameat2(folder_, temporary_.c_str(), folder_, name.c_str(), RENAME_NOREPLACE) == 0) {
            temporary_.clear();
            return 0;
        }
        if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
            return errno;
        if (linkat(folder_, temporary_.c_str(), folder_, name.c_str(), 0) == 0) {
            unlinkat(folder_, temporary_.c_str(), 0);
            temporary_.clear();
            return 0;
        }
        if (errno != EPERM && errno != EOPNOTSUPP)
            return errno;
        // A file system with neither (FAT): look, then rename.
        struct stat st;
        if (fstatat(folder_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
            return EEXIST;
        return renameOver(name);
    }

    // Replaces name with the file (the rule and the target were checked).
    int replace(const std::string& name)
    {
        if (!temporary_.empty())
            return renameOver(name);
        // An unnamed file is linked under a hidden name first, then renamed.
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string hidden = hiddenName(name);
            const int error = link(hidden);
            if (error == EEXIST)
                continue;
            if (error)
                return error;
            temporary_ = hidden;
            return renameOver(name);
        }
        return EEXIST;
    }

    int renameOver(const std::string& name)
    {
        if (renameat(folder_, temporary_.c_str(), folder_, name.c_str()) != 0)
            return errno;
        temporary_.clear();
        return 0;
    }

    std::string path_;
    Target target_;
    ExistingFile existing_;
    int folder_ = -1;
    int fd_ = -1;
    bool syncFolder_ = true;
    // The hidden name of a named temporary, until it takes its own.
    std::string temporary_;
    bool placed_ = false;
    uint64_t size_ = 0;
};

}  // namespace

bool CheckPlacement(const std::string& path, const RunInputs& inputs, RunFailure* failure)
{
    auto onInput = [&](const std::string& input, int action) {
        if (input.empty())
            return false;
        int error = 0;
        switch (PlaceOfPath(input, path, &error)) {
        case PathPlace::Elsewhere:
            return false;
        case PathPlace::OnDrive:
            failure->set(action, input == path ? path : path + " (" + input + ")", 0);
            return true;
        case PathPlace::Unknown:
            failure->set(str::kFailedPlace, path, error);
            return true;
        }
        return true;
    };
    if (onInput(inputs.drive, str::kOutputOnDrive))
        return false;
    for (const std::string& file : inputs.files)
        if (onInput(file, str::kOutputOverRunFile))
            return false;
    return true;
}

bool PosixOutputFiles::check(const std::string& path, ExistingFile existing, const RunInputs& inputs,
                             RunFailure* failure)
{
    if (split(path).base.empty() || split(path).base == "." || split(path).base == "..") {
        refuse(failure, path, str::kTargetFolder);
        return false;
    }
    return checkTarget(path, existing, failure) && CheckPlacement(path, inputs, failure);
}

std::unique_ptr<NewFile> PosixOutputFiles::create(const std::string& path, ExistingFile existing,
                                                  const RunInputs& inputs, RunFailure* failure)
{
    if (!check(path, existing, inputs, failure))
        return nullptr;
    auto file = std::make_unique<PosixNewFile>(path, split(path), existing);
    if (const int error = file->open(unnamed_)) {
        failure->set(str::kFailedCreate, path, error);
        return nullptr;
    }
    return file;
}

bool PosixOutputFiles::checkFolder(const std::string& folder, const RunInputs& inputs, RunFailure* failure)
{
    struct stat st;
    if (stat(folder.c_str(), &st) == 0) {
        if (!S_ISDIR(st.st_mode)) {
            failure->set(str::kNotAFolder, folder, 0);
            return false;
        }
        if (access(folder.c_str(), W_OK | X_OK) != 0) {
            failure->set(str::kFolderNotWritable, folder, errno);
            return false;
        }
    } else if (errno == ENOENT) {
        // Made when there is something to save, in a parent that takes it.
        const std::string parent = split(folder).folder;
        int error = 0;
        if (stat(parent.c_str(), &st) != 0)
            error = errno;
        else if (!S_ISDIR(st.st_mode))
            error = ENOTDIR;
        else if (access(parent.c_str(), W_OK | X_OK) != 0)
            error = errno;
        if (error) {
            failure->set(str::kFailedCreate, folder, error);
            return false;
        }
    } else {
        failure->set(str::kFolderNotWritable, folder, errno);
        return false;
    }
    return CheckPlacement(folder, inputs, failure);
}

}  // namespace qv
