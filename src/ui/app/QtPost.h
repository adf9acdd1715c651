#pragma once

#include "core/run/WorkerThread.h"

#include <QMetaObject>
#include <QObject>

namespace qv::ui {

// Hands closures to the GUI thread through receiver's event queue; those
// still queued when receiver is destroyed are dropped.
inline WorkerThread::Post QtPost(QObject* receiver)
{
    return [receiver](std::function<void()> fn) {
        QMetaObject::invokeMethod(receiver, std::move(fn), Qt::QueuedConnection);
    };
}

}  // namespace qv::ui
