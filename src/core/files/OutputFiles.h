#pragma once

#include "core/run/RunFailure.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qv {

// What a run works on, which no file it writes may be or lie inside: the
// drive (its device node or image file) and the other files it reads or
// writes (the image a restore reads, the backup a report describes).
struct RunInputs {
    std::string drive;
    std::vector<std::string> files;
};

// What happens to a file already at the target's name.
enum class ExistingFile {
    Refuse,          // nothing is replaced
    ReplaceRegular,  // the user said so: a regular file is replaced, nothing else
};

// A file being written under a temporary name in its target's folder. It
// takes its name only at commit(), when it is complete and on the medium;
// destroyed without a commit it leaves nothing behind.
class NewFile {
public:
    virtual ~NewFile() = default;
    // Appends every byte; 0 or an errno.
    virtual int write(const void* bytes, size_t length) = 0;
    // Reserves room for the whole file so that a folder without it fails at
    // once; 0, or an errno (ENOSPC, EFBIG, ...).
    virtual int reserve(uint64_t bytes) = 0;
    // Bytes written so far.
    virtual uint64_t size() const = 0;
    // Makes the file durable and gives it its name, replacing only what the
    // rule it was created with allows; 0, or an errno with *failure naming
    // the file.
    virtual int commit(RunFailure* failure) = 0;
    // Gives it the first of nameFor(1), nameFor(2), ... that is free instead,
    // never replacing anything; the name taken in *used. 0 or an errno.
    virtual int commitAs(const std::function<std::string(int)>& nameFor, std::string* used, RunFailure* failure) = 0;
    // The name it is to take, for messages.
    virtual const std::string& path() const = 0;
};

// Files the tool writes: backups and their checksums, reports, snapshots,
// recovered files. A target that is a device node, a directory, a named
// pipe, a socket or a symbolic link is refused, as is an existing file
// unless the rule allows replacing it, and anything that is, or lies on,
// one of the run's inputs.
class OutputFiles {
public:
    virtual ~OutputFiles() = default;
    // The checks alone, before a run that will write path.
    virtual bool check(const std::string& path, ExistingFile existing, const RunInputs& inputs,
                       RunFailure* failure) = 0;
    // Checks path and starts it under a temporary name; null with *failure
    // set when refused or when it cannot be created.
    virtual std::unique_ptr<NewFile> create(const std::string& path, ExistingFile existing, const RunInputs& inputs,
                                            RunFailure* failure) = 0;
    // A folder files will be created in: a writable folder, or one that can
    // be made in a writable parent, and not on the run's inputs.
    virtual bool checkFolder(const std::string& folder, const RunInputs& inputs, RunFailure* failure) = 0;
};

}  // namespace qv
