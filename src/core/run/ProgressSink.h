#pragma once

#include <cstdint>

namespace qv {

// The worker's synchronous report to its page: the call returns only when
// the page has handled it, so the page may read the record's counters while
// the worker waits. The page's handler returns 1.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual int64_t report(int32_t operation, int64_t value) = 0;
};

}  // namespace qv
