#pragma once

#include "core/device/DriveList.h"
#include "core/device/SlotDriveSource.h"
#include "core/run/SharedContext.h"
#include "platform/image/ImageCandidates.h"

#include <memory>
#include <string>
#include <vector>

namespace qv::cli {

// The drive list of a command-line run: the kernel's disks, image files
// given with --image, and one device node named on the command line.
class CliSession {
public:
    CliSession();

    // Attaches an image file as a drive; returns its slot name.
    std::string attachImage(const std::string& path);
    // Makes a device node ("/dev/loop0") a candidate even where the list
    // would not offer it; returns its slot name.
    std::string attachNode(const std::string& node);

    // Builds the list (EnumerateDrives).
    void enumerate();

    // Selects the listed drive called name ("sdb", "/dev/sdb", "img1");
    // false with a message when there is none: what failed on path when
    // its open failed.
    bool select(const std::string& name, std::string* error) { return select(name, name, error); }
    bool select(const std::string& name, const std::string& path, std::string* error);

    SharedContext& context() { return context_; }
    DriveList& drives() { return *drives_; }
    SlotDriveSource& source() { return source_; }
    MemorySelector& selector() { return selector_; }

private:
    class NodeCandidates : public CandidateProvider {
    public:
        std::vector<DriveCandidate> candidates() override { return list; }
        std::vector<DriveCandidate> list;
    };

    RunStatus status_;
    SharedContext context_;
    MemorySelector selector_;
    SlotDriveSource source_;
    std::unique_ptr<CandidateProvider> system_;
    NodeCandidates nodes_;
    ImageCandidates images_;
    std::unique_ptr<DriveList> drives_;
};

// The text followed by blanks up to that many columns (UTF-8 characters).
std::string PadToColumns(const std::string& text, size_t columns);

}  // namespace qv::cli
