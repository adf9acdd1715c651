#pragma once

#include "core/run/ProgressSink.h"
#include "core/run/RunStatus.h"

#include <functional>
#include <vector>

namespace qv::test {

// A worker run on the test's own thread calls its page synchronously; here
// the page is a closure, and every report is kept with the run state it saw.
class DirectSink : public ProgressSink {
public:
    struct Report {
        int32_t operation;
        int64_t value;
        int32_t state;
    };

    int64_t report(int32_t operation, int64_t value) override
    {
        reports.push_back({operation, value, status ? status->state() : -1});
        if (onReport)
            onReport(operation, value);
        return 1;
    }

    RunStatus* status = nullptr;
    std::vector<Report> reports;
    std::function<void(int32_t, int64_t)> onReport;
};

}  // namespace qv::test
