#pragma once

#include "core/files/OutputFiles.h"
#include "core/run/RunFailure.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace qv {

enum class ImageCompression { None, Zstd };

struct ImageWriteOptions {
    ImageCompression compression = ImageCompression::None;
    // Reserved before the first byte is written so that a target without
    // room fails at once; 0 reserves nothing (a compressed image).
    uint64_t reserveBytes = 0;
    // Leaves NAME.sha256 beside the image when it is finished.
    bool checksum = true;
    // The user said an existing image (a regular file) and its checksum
    // file may be replaced; they are, once the new image is complete.
    bool replace = false;
    // What the run works on: the image is never written over or onto it.
    RunInputs inputs;
};

// What a stopped or failed backup kept of its image.
struct PartialImage {
    std::string path;      // empty when nothing was kept
    uint64_t sectors = 0;  // the whole sectors of the medium it holds
};

// An image being written by a backup, under a temporary name until it is
// finished. Destroyed without finish() or keepPartial(), it leaves nothing.
class ImageWriter {
public:
    virtual ~ImageWriter() = default;
    // Appends every byte; 0 or an errno.
    virtual int write(const void* bytes, size_t length) = 0;
    // Makes the image durable, gives it its name and writes its checksum
    // file; 0 or an errno with the failed step in *failure.
    virtual int finish(RunFailure* failure) = 0;
    // Instead of finish(), or after a finish() that failed before the image
    // took its name: keeps what reached the image under a name that says it
    // is partial (NAME.partial, else NAME.2.partial, ...; nothing is
    // replaced), with no checksum file. Nothing is kept when nothing was
    // written or a compressed stream cannot be ended.
    virtual PartialImage keepPartial() = 0;
    // Bytes that reached the file so far (compressed bytes for a
    // compressed image).
    virtual uint64_t bytesWritten() const = 0;
};

// An image being read by a restore, decompressed where it is compressed.
class ImageReader {
public:
    virtual ~ImageReader() = default;
    // Up to length bytes (fewer only at the end); 0 at the end; -errno.
    virtual int64_t read(void* bytes, size_t length) = 0;
    // The image's length in bytes when known without reading it (a plain
    // file); nullopt for a compressed stream.
    virtual std::optional<uint64_t> knownLength() const = 0;
    virtual bool compressed() const = 0;
    // After a read that returned -EBADMSG: the stream's own words for the
    // check it failed ("incorrect data check"); empty when none were given.
    virtual std::string damage() const { return {}; }
};

// The file side of backup and restore: images in the file system.
class ImageFiles {
public:
    virtual ~ImageFiles() = default;
    // Starts the image at path (see ImageWriteOptions); null with *failure
    // set when the target is refused or cannot be created.
    virtual std::unique_ptr<ImageWriter> create(const std::string& path, const ImageWriteOptions& options,
                                                RunFailure* failure) = 0;
    // Opens the image at path, recognising a compressed one by its content;
    // null with *failure set. Only a plain file is an image: a directory,
    // FIFO, device or socket is refused without being read.
    virtual std::unique_ptr<ImageReader> open(const std::string& path, RunFailure* failure) = 0;
    // True (with *failure set) when path is or lies on the drive opened as
    // volumePath (a loop device over an image file, or a file system
    // mounted from one, counting as that file), or when that cannot be
    // told; the image would then be written over, or would overwrite, the
    // medium itself.
    virtual bool onDrive(const std::string& path, const std::string& volumePath, RunFailure* failure) = 0;
};

// The worker's blocking request for a file name: the page shows its dialog
// on the GUI thread, the command line answers with its argument.
struct FileRequest {
    bool save = false;
    std::string filter;        // "label|*.qvn||"
    std::string proposedName;  // the save dialog's starting text
};

class FileChooser {
public:
    virtual ~FileChooser() = default;
    // False when the user cancelled.
    virtual bool chooseFile(const FileRequest& request, std::string* path) = 0;
};

}  // namespace qv
