#pragma once

#include "core/mediatests/ImageFiles.h"

namespace qv {

// Backup images in the file system: plain files written and read with
// POSIX calls, zstd streams written and gzip, xz, zstd and bzip2 streams
// read through libarchive, and the SHA-256 of what was written (libcrypto)
// left beside the image in sha256sum's format. Images and checksum files
// are written through PosixOutputFiles (PosixImageWriter.cpp).
class PosixImageFiles : public ImageFiles {
public:
    std::unique_ptr<ImageWriter> create(const std::string& path, const ImageWriteOptions& options,
                                        RunFailure* failure) override;
    std::unique_ptr<ImageReader> open(const std::string& path, RunFailure* failure) override;
    bool onDrive(const std::string& path, const std::string& volumePath, RunFailure* failure) override;
};

}  // namespace qv
