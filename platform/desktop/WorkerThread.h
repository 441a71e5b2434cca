#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <thread>

namespace kovi {

// Runs one long job at a time on a thread of its own, so that the window stays responsive.
// The job reports back through post(): those calls run on the thread that owns this object,
// in the order they were posted, and `done` runs there after them once the job has returned.
// Destroying the object waits for a job under way, so ask the job to stop first.
class WorkerThread : public QObject {
public:
    using Call = std::function<void()>;
    // Gets the text of an exception that escaped the job, or an empty text.
    using Done = std::function<void(const QString& failure)>;

    explicit WorkerThread(QObject* parent = nullptr);
    ~WorkerThread() override;
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // False, and nothing started, while an earlier job has not finished.
    bool start(Call job, Done done);
    // True from start() until `done` is called.
    bool isBusy() const { return thread_.joinable(); }

    // May be called from any thread; calls still queued when this object dies are dropped.
    void post(Call call);

private:
    void finish(const QString& failure, const Done& done);

    std::thread thread_;
};

} // namespace kovi
