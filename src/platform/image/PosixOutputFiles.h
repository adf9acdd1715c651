#pragma once

#include "core/files/OutputFiles.h"

namespace qv {

// Output files in the file system. A file is written unnamed (O_TMPFILE)
// in its target's folder, or under a hidden name of its own where the file
// system cannot do that, and is linked or renamed to its name only when it
// is complete and synced: a failed or stopped run never leaves a torn file
// under the name, nor takes away the file that was there. Without the
// replace rule the name is taken atomically (linkat, RENAME_NOREPLACE), so
// a file that appeared meanwhile is not replaced either. A symbolic link as
// the target is refused rather than followed: renaming onto it would
// replace the link, writing through it a file the user did not name.
class PosixOutputFiles : public OutputFiles {
public:
    // unnamedTemporaries false always uses hidden named temporaries (what a
    // file system without O_TMPFILE gets).
    explicit PosixOutputFiles(bool unnamedTemporaries = true) : unnamed_(unnamedTemporaries) {}

    bool check(const std::string& path, ExistingFile existing, const RunInputs& inputs,
               RunFailure* failure) override;
    std::unique_ptr<NewFile> create(const std::string& path, ExistingFile existing, const RunInputs& inputs,
                                    RunFailure* failure) override;
    bool checkFolder(const std::string& folder, const RunInputs& inputs, RunFailure* failure) override;

private:
    bool unnamed_;
};

// The checks of the placement alone: false, with *failure set, when path
// is or lies on one of the inputs, or when that cannot be told.
bool CheckPlacement(const std::string& path, const RunInputs& inputs, RunFailure* failure);

}  // namespace qv
