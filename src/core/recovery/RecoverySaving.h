#pragma once

#include "core/recovery/FoundFile.h"
#include "core/recovery/OutputFolder.h"
#include "core/run/SharedContext.h"

#include <string>
#include <vector>

namespace qv {

// The workers that save the checked rows of status->listControl into a
// folder. Both end with RUN_DONE (0), RUN_STOP (0), or RUN_FAILED with the
// string id 152 (nothing checked) or 109 (the folder could not be read, a
// file could not be created or written, or a read of the medium failed);
// *error, when given, names what failed. They return 1 when every checked
// row was saved. No file already in the folder is replaced (SaveNames); the
// names taken go to *savedAs, in the order of the rows saved. A file whose
// copy stopped or failed keeps what it holds under its name.

// Signature mode: each checked row from its start sector, its number moved
// past the numbered files already in the folder.
int RecoverToFolder(SharedContext& context, OutputFolder& folder, std::string* error = nullptr,
                    std::vector<std::string>* savedAs = nullptr);

// Directory mode: each checked row under the entry's 8.3 name, trimmed,
// made a safe file name and unique, from its start cluster, in consecutive
// sectors.
int RecoverDeletedEntries(SharedContext& context, OutputFolder& folder, std::string* error = nullptr,
                          std::vector<std::string>* savedAs = nullptr);

// Copies a signature-mode file's bytes from the medium into out, in the
// saving workers' chunks, outside any run (no stop, no progress). False,
// with *error naming the failed read, when a read fails.
bool ReadFoundFile(SharedContext& context, const FoundFile& file, OutputFile& out, std::string* error = nullptr);

// A name from the medium made one harmless path component: bytes that
// cannot stand in a file name ('/', NUL, control bytes) become '_', and
// "", "." and ".." become "_".
std::string SafeFileName(const std::string& name);

}  // namespace qv
