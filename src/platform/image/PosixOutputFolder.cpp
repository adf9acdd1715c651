#include "platform/image/PosixOutputFolder.h"

#include "platform/image/PosixOutputFiles.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>

namespace qv {
namespace {

class PosixOutputFile : public OutputFile {
public:
    explicit PosixOutputFile(std::unique_ptr<NewFile> file) : file_(std::move(file)) {}

    bool write(const void* bytes, size_t length) override { return file_->write(bytes, length) == 0; }

    bool close() override
    {
        if (closed_)
            return true;
        closed_ = true;
        RunFailure failure;
        return file_->commit(&failure) == 0;
    }

private:
    std::unique_ptr<NewFile> file_;
    bool closed_ = false;
};

}  // namespace

std::unique_ptr<OutputFile> PosixOutputFolder::create(const std::string& name, std::string* error)
{
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") {
        if (error)
            *error = "not a file name";
        return nullptr;
    }
    const std::string full = path_.empty() || path_.back() == '/' ? path_ + name : path_ + "/" + name;
    PosixOutputFiles files;
    RunFailure failure;
    std::unique_ptr<NewFile> file = files.create(full, ExistingFile::Refuse, {}, &failure);
    if (!file) {
        if (error)
            *error = failure.error ? std::strerror(failure.error) : FailureText(failure);
        return nullptr;
    }
    return std::make_unique<PosixOutputFile>(std::move(file));
}

bool PosixOutputFolder::existingNames(std::vector<std::string>* names, std::string* error)
{
    DIR* folder = opendir(path_.empty() ? "." : path_.c_str());
    if (!folder) {
        if (error)
            *error = std::strerror(errno);
        return false;
    }
    while (const dirent* entry = readdir(folder)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names->push_back(name);
    }
    closedir(folder);
    return true;
}

}  // namespace qv
