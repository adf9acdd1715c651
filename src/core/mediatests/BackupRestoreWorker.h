#pragma once

#include "core/mediatests/ImageFiles.h"

namespace qv {

struct SharedContext;

// What the backup and restore workers need besides the shared context.
struct TransferJob {
    FileChooser* chooser = nullptr;
    ImageFiles* files = nullptr;
    ImageCompression compression = ImageCompression::None;  // backup
    bool checksum = true;                                   // backup: NAME.sha256
    bool verify = true;                                     // restore: read back and compare
    // The file dialog offers compressed images too (the page's dialogs);
    // a backup whose chosen name ends in ".zst" is then written as zstd.
    bool offerCompressed = false;
    // Backup: the user said an existing image may be replaced (a regular
    // file only, once the new one is complete).
    bool replace = false;
    // The file that was chosen, once chosen.
    std::string path;
    // Backup: the image was begun, and what a stopped or failed backup kept
    // of it (set by the worker).
    bool imageBegun = false;
    PartialImage partial;
};

// The restore's progress value while it reads the medium back.
inline constexpr int64_t kRestoreVerifying = 2;
// RunStatus::donePhase of a restore: writing the image (doneSectors
// written, sectors 0 to 1024 zeroed before), then reading it back.
inline constexpr int32_t kRestoreWriting = 1;
inline constexpr int32_t kRestoreVerifyingPhase = 2;

// The workers' one-line failure record is the run status's: what failed on
// which file or drive, with the system's error.

// Saves every sector of the selected drive into an image file chosen
// through job.chooser. Reports OP_BACKUP. 1 after a complete backup.
int BackupWorker(SharedContext& context, TransferJob& job);

// Writes an image file chosen through job.chooser onto the selected drive,
// then (job.verify) reads the drive back and compares. Reports OP_RESTORE.
// 1 after a complete restore.
int RestoreWorker(SharedContext& context, TransferJob& job);

}  // namespace qv
