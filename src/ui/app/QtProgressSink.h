#pragma once

#include "core/run/ProgressSink.h"

#include <QPointer>
#include <QObject>

#include <functional>

namespace qv::ui {

// The worker's report as a call of the page's handler on the GUI thread;
// the worker waits until the handler has returned, so the page may read the
// record's counters meanwhile. A report from the GUI thread itself calls
// the handler directly.
class QtProgressSink : public ProgressSink {
public:
    using Handler = std::function<int64_t(int32_t operation, int64_t value)>;

    // receiver: an object living on the GUI thread (the page).
    QtProgressSink(QObject* receiver, Handler handler) : receiver_(receiver), handler_(std::move(handler)) {}

    int64_t report(int32_t operation, int64_t value) override;

private:
    QPointer<QObject> receiver_;
    Handler handler_;
};

}  // namespace qv::ui
