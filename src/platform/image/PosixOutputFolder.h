#pragma once

#include "core/recovery/OutputFolder.h"

#include <string>

namespace qv {

// Recovered files written into a folder of the file system through
// PosixOutputFiles: each under a temporary name until it is closed, never
// over anything already there (a name that is taken, or a symbolic link,
// device node or folder of that name, is refused). The folder itself is
// checked once beforehand (OutputFiles::checkFolder).
class PosixOutputFolder : public OutputFolder {
public:
    explicit PosixOutputFolder(std::string path) : path_(std::move(path)) {}

    std::unique_ptr<OutputFile> create(const std::string& name, std::string* error) override;
    bool existingNames(std::vector<std::string>* names, std::string* error) override;
    std::string path() const override { return path_; }

private:
    std::string path_;
};

}  // namespace qv
