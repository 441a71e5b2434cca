#pragma once

#include "core/run/BatchRun.h"
#include "platform/desktop/BusyCursor.h"
#include "platform/desktop/PacedNews.h"
#include "platform/desktop/WorkerThread.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <optional>
#include <utility>

class QWidget;

namespace kovi {

// Runs the batch resize for the main window: runs ProcessImages with the options the window
// built on a worker thread, and turns what the run reports into signals that the window shows.
// Error and summary boxes are shown here, once the run has ended.
class BatchRunner : public QObject {
    Q_OBJECT
public:
    using Engine = std::function<RunResult(const BatchOptions&, std::atomic<bool>& abortRequested,
                                           const RunCallbacks&)>;

    // `owner` parents the boxes; `abortRequested` is the window's stop flag, which the run
    // clears when it starts and tests before each file.
    BatchRunner(QWidget& owner, std::atomic<bool>& abortRequested);
    // Stops a run under way after its current file and waits for it.
    ~BatchRunner() override;

    // Starts a run unless one is under way.
    void start(const BatchOptions& options);
    bool isRunning() const { return running_; }
    // The run stops after its current file (also when asked while it is still collecting)
    // and ends without its summary.
    void stopQuietly();

    // Replaces ProcessImages (tests).
    void setEngine(Engine engine) { engine_ = std::move(engine); }

signals:
    void runningChanged(bool running);
    void statusLine1Changed(const QString& text);
    void statusLine2Changed(const QString& text);
    // The window's running state, with the progress bar counting to `targetCount`.
    void runStateBegun(int targetCount);
    void progressChanged(int value);
    void pictureChanged(const kovi::PreviewPicture& picture);
    void runStateEnded();

private:
    // What the run has said of its files since the window last looked.
    struct FileNews {
        std::optional<std::pair<std::size_t, std::size_t>> started; // index and count
        std::optional<QString> name;
        int finished = 0;
    };

    RunCallbacks callbacks();
    void showNews(const FileNews& news);
    void collecting();
    void collected(std::size_t count);
    void finish(const QString& failure);
    void report(const RunResult& result, const QString& failure);
    void showStatusLine1(const QString& text);
    void setRunning(bool running);

    QWidget& owner_;
    std::atomic<bool>& abortRequested_;
    Engine engine_;
    bool running_ = false;
    bool runStateShown_ = false;
    int filesDone_ = 0;
    QString statusLine1_;
    // Outlives the engine's clearing of the abort flag when the files have been collected.
    std::atomic<bool> stopWanted_{false};
    std::optional<BusyCursorGuard> collectingCursor_;
    // Written by the worker; read once the worker has returned.
    RunResult result_;
    PacedNews<FileNews> news_{[this](const FileNews& news) {
        showNews(news);
    }};
    // Last, so that it is destroyed first: the worker uses everything above.
    WorkerThread worker_;
};

} // namespace kovi
