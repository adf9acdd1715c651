#include "ui/app/QtProgressSink.h"

#include <QThread>

namespace qv::ui {

int64_t QtProgressSink::report(int32_t operation, int64_t value)
{
    QObject* receiver = receiver_.data();
    if (!receiver)
        return 0;
    if (receiver->thread() == QThread::currentThread())
        return handler_(operation, value);
    int64_t result = 0;
    QMetaObject::invokeMethod(
        receiver, [&] { result = handler_(operation, value); }, Qt::BlockingQueuedConnection);
    return result;
}

}  // namespace qv::ui
