#pragma once

#include "core/device/DeviceRecord.h"

#include <cstdint>

namespace qv {

struct SharedContext;
class BenchFileSystem;

// Passes per size of the test plan; the sizes are Settings::fileSizesMB.
inline constexpr int32_t kFileBenchPasses[kFileBenchSizes] = {20, 18, 16, 14, 12, 5, 3};
inline constexpr int32_t kFileBenchSizesMB[kFileBenchSizes] = {1, 2, 3, 4, 5, 10, 15};

// The report values of OP_FILE_BENCH: a write result k, a read result
// kFileBenchReadFlag + k, and the final report (0 after a write failure or
// any other ending, 1 after a read failure).
inline constexpr int64_t kFileBenchReadFlag = 256;
inline constexpr int64_t kFileBenchReadFailed = 1;
// RunStatus::donePhase once the test file was made (a stop removes it).
inline constexpr int32_t kFileBenchPhaseFile = 1;

// The test file's name in the root of the drive's file system.
inline constexpr const char* kBenchFileName = "TESTFILE.TMP";

// Writes and reads a test file of each size of the plan on the selected
// drive's file system, timing each phase with a 100 ms pause at its end, and
// removes the file on every ending. Sizes larger than the free space are
// skipped. Reports every result to status->progressWindow and one final
// report; a failure is named in status->failure (a volume that is not
// mounted as str::kFileSystemNotMounted). Returns 1 after a normal end.
int FileBenchmarkWorker(SharedContext& context, BenchFileSystem& files);

// The speed of one phase in KB/s (1024 bytes).
int32_t FileBenchSpeed(int32_t sizeMB, int32_t passes, long double seconds);

}  // namespace qv
