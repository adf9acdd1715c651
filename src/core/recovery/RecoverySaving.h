#pragma once

#include "core/recovery/FoundFile.h"
#include "core/recovery/OutputFolder.h"
#include "core/run/SharedContext.h"

#include <string>

namespace qv {

// The workers that save the checked rows of status->listControl into a
// folder. Both end with RUN_DONE (0), RUN_STOP (0), or RUN_FAILED with the
// string id 152 (nothing checked) or 109 (a file could not be created or
// written, or a read of the medium failed); *error, when given, names what
// failed. They return 1 when every checked row was saved.

// Signature mode: each checked row as folder/name from its start sector.
int RecoverToFolder(SharedContext& context, OutputFolder& folder, std::string* error = nullptr);

// Directory mode: each checked row as folder/name (the entry's 8.3 name,
// made a safe file name) from its start cluster, in consecutive sectors.
int RecoverDeletedEntries(SharedContext& context, OutputFolder& folder, std::string* error = nullptr);

// Copies a signature-mode file's bytes from the medium into out, in the
// saving workers' chunks, outside any run (no stop, no progress). False,
// with *error naming the failed read, when a read fails.
bool ReadFoundFile(SharedContext& context, const FoundFile& file, OutputFile& out, std::string* error = nullptr);

// A name from the medium made one harmless path component: bytes that
// cannot stand in a file name ('/', NUL, control bytes) become '_', and
// "", "." and ".." become "_".
std::string SafeFileName(const std::string& name);

}  // namespace qv
