// The worker's report runs the page's handler on the GUI thread and the
// worker waits until the handler has returned.
#include "ui/app/QtProgressSink.h"

#include <QTest>
#include <QThread>

#include <atomic>
#include <thread>

using namespace qv;
using namespace qv::ui;

class QtProgressSinkTest : public QObject {
    Q_OBJECT
private slots:
    void workerWaitsForTheHandler()
    {
        QObject page;
        std::atomic<bool> handlerDone{false};
        std::atomic<bool> workerReturned{false};
        std::atomic<bool> returnedEarly{false};
        QThread* handlerThread = nullptr;
        QtProgressSink sink(&page, [&](int32_t operation, int64_t value) -> int64_t {
            handlerThread = QThread::currentThread();
            // Give a worker that did not wait every chance to run on.
            QTest::qWait(50);
            returnedEarly = workerReturned.load();
            handlerDone = true;
            return operation * 100 + value;
        });
        int64_t result = 0;
        bool doneAtReturn = false;
        std::thread worker([&] {
            result = sink.report(4, 2);
            doneAtReturn = handlerDone.load();
            workerReturned = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(workerReturned.load(), 10000);
        worker.join();
        QCOMPARE(handlerThread, QThread::currentThread());
        QVERIFY(doneAtReturn);
        QVERIFY(!returnedEarly.load());
        QCOMPARE(result, int64_t(402));
    }

    void reportOnTheGuiThreadCallsTheHandlerDirectly()
    {
        QObject page;
        int calls = 0;
        QtProgressSink sink(&page, [&](int32_t, int64_t value) -> int64_t {
            ++calls;
            return value + 1;
        });
        QCOMPARE(sink.report(3, 41), int64_t(42));
        QCOMPARE(calls, 1);
    }

    void reportAfterThePageIsGoneReturnsAtOnce()
    {
        auto* page = new QObject;
        int calls = 0;
        QtProgressSink sink(page, [&](int32_t, int64_t) -> int64_t { return ++calls; });
        delete page;
        int64_t result = -1;
        std::thread worker([&] { result = sink.report(1, 0); });
        worker.join();
        QCOMPARE(result, int64_t(0));
        QCOMPARE(calls, 0);
    }
};

QTEST_MAIN(QtProgressSinkTest)
#include "tst_QtProgressSink.moc"
