#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace qv {

// A file being written by a saving worker; closed when destroyed.
class OutputFile {
public:
    virtual ~OutputFile() = default;
    // Writes every byte (retrying interrupted and short writes); false on failure.
    virtual bool write(const void* bytes, size_t length) = 0;
    // Closes the file; false when the last data could not be written.
    virtual bool close() = 0;
};

// The folder the user chose for recovered files.
class OutputFolder {
public:
    virtual ~OutputFolder() = default;
    // Creates (or truncates) the file called name inside the folder; name is
    // one path component. Null on failure, with errno's text in *error.
    virtual std::unique_ptr<OutputFile> create(const std::string& name, std::string* error) = 0;
    // The folder's path, for messages.
    virtual std::string path() const = 0;
};

}  // namespace qv
