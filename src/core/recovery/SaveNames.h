#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace qv {

// The names recovered files take in a folder: never one already there,
// never one given twice in a saving run, compared without regard to case
// (FAT and exFAT folders make no difference). Both kinds of saving, and any
// later listing of deleted files, take their names from here.
class SaveNames {
public:
    explicit SaveNames(const std::vector<std::string>& existing);

    // A signature-mode name ("00000007.jpg") with its number moved past the
    // highest "NNNNNNNN." number already in the folder, so that a second
    // run's files follow the first's instead of replacing them.
    std::string numbered(const std::string& scanName);
    // A directory entry's 8.3 name ("_HOTO3  .JPG") without its padding
    // blanks, made one harmless path component, and where that is taken
    // given "-2", "-3", ... before its extension ("_HOTO3-2.JPG").
    std::string entry(const std::string& name);

private:
    std::string unique(const std::string& name);
    bool take(const std::string& name);

    std::set<std::string> taken_;
    uint64_t offset_ = 0;
};

// The 8.3 name of a directory entry as a file name: the name and the
// extension without their padding blanks ("README  .TXT" -> "README.TXT",
// "NOEXT   .   " -> "NOEXT").
std::string TrimmedEntryName(const std::string& name);

}  // namespace qv
