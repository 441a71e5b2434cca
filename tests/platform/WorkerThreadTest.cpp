#include "platform/WorkerThread.h"

#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>
#include <optional>
#include <stdexcept>
#include <thread>

namespace kovi {

class WorkerThreadTest : public QObject {
    Q_OBJECT

private slots:
    void postedCallsRunHereInOrderThenDone() {
        WorkerThread worker;
        QList<int> seen;
        bool onThisThread = true;
        std::optional<QString> failure;
        QVERIFY(worker.start(
            [&] {
                for (int i = 1; i <= 100; ++i)
                    worker.post([&, i] {
                        seen.append(i);
                        onThisThread = onThisThread && QThread::currentThread() == thread();
                    });
            },
            [&](const QString& text) {
                failure = text;
                seen.append(0);
            }));
        QVERIFY(worker.isBusy());
        QTRY_VERIFY(failure.has_value());
        QVERIFY(!worker.isBusy());
        QCOMPARE(*failure, QString());
        QCOMPARE(seen.size(), 101);
        QCOMPARE(seen.first(), 1);
        QCOMPARE(seen.at(99), 100);
        QCOMPARE(seen.last(), 0);
        QVERIFY(onThisThread);
    }

    void escapingExceptionBecomesTheFailureText() {
        WorkerThread worker;
        std::optional<QString> failure;
        QVERIFY(worker.start([] { throw std::runtime_error("disk on fire"); },
                             [&](const QString& text) { failure = text; }));
        QTRY_VERIFY(failure.has_value());
        QCOMPARE(*failure, QStringLiteral("disk on fire"));
    }

    void secondJobWaitsUntilTheFirstIsDone() {
        WorkerThread worker;
        std::atomic<bool> release{false};
        int done = 0;
        QVERIFY(worker.start(
            [&] {
                while (!release)
                    std::this_thread::yield();
            },
            [&](const QString&) { ++done; }));
        QVERIFY(!worker.start([] {}, [&](const QString&) { ++done; }));
        release = true;
        QTRY_COMPARE(done, 1);
        QVERIFY(worker.start([] {}, [&](const QString&) { ++done; }));
        QTRY_COMPARE(done, 2);
    }

    void destroyingWaitsForTheJobAndDropsItsNews() {
        auto worker = std::make_unique<WorkerThread>();
        WorkerThread* raw = worker.get();
        std::atomic<bool> stop{false};
        std::atomic<bool> finished{false};
        std::atomic<bool> running{false};
        bool newsArrived = false;
        QVERIFY(raw->start(
            [&] {
                running = true;
                while (!stop)
                    std::this_thread::yield();
                raw->post([&] { newsArrived = true; });
                finished = true;
            },
            [&](const QString&) { newsArrived = true; }));
        QTRY_VERIFY(running);
        stop = true;
        worker.reset();
        QVERIFY(finished);
        QCoreApplication::processEvents();
        QVERIFY(!newsArrived);
    }
};

} // namespace kovi

QTEST_GUILESS_MAIN(kovi::WorkerThreadTest)
#include "WorkerThreadTest.moc"
