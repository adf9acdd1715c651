#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace qv {

// A file being written by a saving worker, under a temporary name until it
// is closed; destroyed without close() it leaves nothing.
class OutputFile {
public:
    virtual ~OutputFile() = default;
    // Writes every byte (retrying interrupted and short writes); false on failure.
    virtual bool write(const void* bytes, size_t length) = 0;
    // Gives the file its name with what was written; false when the last
    // data could not be written or the name was taken meanwhile.
    virtual bool close() = 0;
};

// The folder the user chose for recovered files. Nothing in it is ever
// replaced: a file takes a name that is free.
class OutputFolder {
public:
    virtual ~OutputFolder() = default;
    // Starts the file called name (one path component) inside the folder;
    // null on failure, with the reason in *error (a name already taken is
    // one).
    virtual std::unique_ptr<OutputFile> create(const std::string& name, std::string* error) = 0;
    // The names already in the folder, for the saving to name its files
    // past them; false, with the reason in *error, when it cannot be read.
    virtual bool existingNames(std::vector<std::string>* names, std::string* error) = 0;
    // The folder's path, for messages.
    virtual std::string path() const = 0;
};

}  // namespace qv
