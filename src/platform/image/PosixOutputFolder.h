#pragma once

#include "core/recovery/OutputFolder.h"

#include <string>

namespace qv {

// Recovered files written into a folder of the file system with POSIX
// calls. A file is created with mode 0666 (less the umask), truncated when
// it exists; a symbolic link in its place is not followed.
class PosixOutputFolder : public OutputFolder {
public:
    explicit PosixOutputFolder(std::string path) : path_(std::move(path)) {}

    std::unique_ptr<OutputFile> create(const std::string& name, std::string* error) override;
    std::string path() const override { return path_; }

private:
    std::string path_;
};

}  // namespace qv
