#include "platform/desktop/WorkerThread.h"

#include <QMetaObject>

#include <exception>
#include <utility>

namespace kovi {

WorkerThread::WorkerThread(QObject* parent) : QObject(parent) {}

WorkerThread::~WorkerThread() {
    if (thread_.joinable())
        thread_.join();
}

bool WorkerThread::start(Call job, Done done) {
    if (thread_.joinable())
        return false;
    thread_ = std::thread([this, job = std::move(job), done = std::move(done)] {
        QString failure;
        // Nothing may leave a thread's function: an escaping exception would end the program.
        try {
            job();
        } catch (const std::exception& error) {
            failure = QString::fromLocal8Bit(error.what());
        } catch (...) {
            failure = QStringLiteral("unknown error");
        }
        post([this, failure, done] { finish(failure, done); });
    });
    return true;
}

void WorkerThread::post(Call call) {
    QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

void WorkerThread::finish(const QString& failure, const Done& done) {
    // The job has returned; only the thread's own ending is left to wait for.
    thread_.join();
    if (done)
        done(failure);
}

} // namespace kovi
