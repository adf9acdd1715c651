#pragma once

#include "core/mediatests/ImageFiles.h"

#include <memory>

namespace qv {

// The file side of a transfer on a thread of its own, so that hashing,
// compressing or decompressing the image overlaps the drive's transfers.
// A few blocks of 1 MiB are in flight at most.

// Writes behind: write() queues a copy and returns at once; an error of an
// earlier chunk comes back from a later write() or from finish().
// Destroying it waits for the chunks queued.
std::unique_ptr<ImageWriter> WriteBehind(std::unique_ptr<ImageWriter> inner);

// Reads ahead of the caller in blocks of up to 1 MiB.
std::unique_ptr<ImageReader> ReadAhead(std::unique_ptr<ImageReader> inner);

}  // namespace qv
