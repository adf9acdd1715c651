#pragma once

#include <cstdint>

namespace qv {

enum RunStateValue : int32_t {
    RUN_STARTING = 0,
    RUN_ACTIVE = 1,
    RUN_STOP = 2,
    RUN_DONE = 3,
    RUN_FAILED = 4,
    RUN_TOO_LARGE = 7,
};

// The operation named by a progress report (the first value of the report).
enum ProgressOperation : int32_t {
    OP_RECOVERY = 0,
    OP_RAW_BENCH = 1,
    OP_FILE_BENCH = 2,
    OP_ERASE = 3,
    OP_ERROR_SCAN = 4,
    OP_BACKUP = 5,
    OP_RESTORE = 6,
    OP_RAW_BENCH_ACCESS = 16,
};

}  // namespace qv
