#include "ui/main/BatchRunner.h"

#include "core/run/TargetResolution.h"
#include "platform/desktop/MessageSink.h"
#include "ui/main/BatchMessages.h"
#include "ui/main/ImageView.h"
#include "ui/main/MainWindow.h"

#include <QLocale>

namespace kovi {
namespace {

QString FileName(const std::filesystem::path& path) {
    return QString::fromStdString(path.filename().string());
}

} // namespace

BatchRunner::BatchRunner(MainWindow& window) : window_(window), engine_(ProcessImages) {}

BatchRunner::~BatchRunner() {
    stopQuietly();
}

BatchOptions BatchRunner::options() const {
    BatchOptions options;
    options.folder = window_.SelectedFolder().toStdString();
    options.target = window_.targetResolution().toStdString();
    options.processSubFolders = window_.processSubFolders();
    options.writeLog = window_.settings().WriteLog != 0;
    options.excludedExtensionsFile = window_.programFiles().excludedExtensions;
    options.excludedFoldersFile = window_.programFiles().excludedFolders;
    const ImageView* view = &window_.imageView();
    options.jpegFactors = [view] {
        return JpegFactors{view->JpegChromFactor(), view->JpegLumFactor()};
    };
    return options;
}

void BatchRunner::start() {
    if (running_)
        return;
    const BatchOptions options = this->options();
    if (!ParseTargetResolution(options.target)) {
        ShowError(QStringLiteral("Invalid target resolution"), &window_);
        return;
    }
    stopWanted_ = false;
    runStateShown_ = false;
    filesDone_ = 0;
    setRunning(true);
    const RunCallbacks callbacks = this->callbacks();
    std::atomic<bool>& abortRequested = window_.AbortRequested();
    worker_.start([this, options, callbacks,
                   &abortRequested] { result_ = engine_(options, abortRequested, callbacks); },
                  [this](const QString& failure) { finish(failure); });
}

void BatchRunner::stopQuietly() {
    stopWanted_ = true;
    window_.AbortRequested() = true;
}

// Each callback runs on the worker and hands its news to this thread.
RunCallbacks BatchRunner::callbacks() {
    RunCallbacks callbacks;
    callbacks.collecting = [this] {
        worker_.post([this] { collecting(); });
    };
    callbacks.collected = [this](std::size_t count) {
        worker_.post([this, count] { collected(count); });
    };
    callbacks.started = [this](std::size_t count) {
        // The run has just cleared the flag; a stop asked for before must still hold.
        if (stopWanted_)
            window_.AbortRequested() = true;
        worker_.post([this, count] {
            runStateShown_ = true;
            emit runStateBegun(int(count));
        });
    };
    callbacks.fileStarted = [this](std::size_t index, std::size_t count) {
        worker_.post([this, index, count] {
            showStatusLine1(QStringLiteral("Processing %1 of %2").arg(index + 1).arg(count));
        });
    };
    callbacks.fileLoading = [this](const std::filesystem::path& path) {
        worker_.post([this, name = FileName(path)] { emit statusLine2Changed(name); });
    };
    callbacks.preview = [this](const PreviewPicture& picture) {
        worker_.post([this, picture] { emit pictureChanged(picture); });
    };
    callbacks.fileFinished = [this](const FileReport&) {
        worker_.post([this] { emit progressChanged(++filesDone_); });
    };
    return callbacks;
}

void BatchRunner::collecting() {
    showStatusLine1(QStringLiteral("Acquiring target files..."));
    collectingCursor_.emplace();
}

void BatchRunner::collected(std::size_t count) {
    collectingCursor_.reset();
    showStatusLine1(count == 0 ? QString() : QStringLiteral("Total files: %1").arg(count));
}

void BatchRunner::finish(const QString& failure) {
    collectingCursor_.reset();
    const RunResult result = std::move(result_);
    result_ = RunResult();
    if (runStateShown_)
        emit runStateEnded(); // which clears the status lines
    else
        showStatusLine1(QString());
    statusLine1_.clear();
    // A run stopped for quitting says nothing more.
    if (!stopWanted_)
        report(result, failure);
    setRunning(false);
}

void BatchRunner::report(const RunResult& result, const QString& failure) {
    if (!failure.isEmpty()) {
        ShowError(QStringLiteral("Processing stopped: ") + failure, &window_);
        return;
    }
    switch (result.status) {
    case RunStatus::InvalidTarget:
        ShowError(QStringLiteral("Invalid target resolution"), &window_);
        break;
    case RunStatus::NoFiles:
        ShowError(QStringLiteral("No files to process"), &window_);
        break;
    case RunStatus::LogNotCreated:
        ShowError(QString::fromStdString(LogNotCreatedMessage(result)), &window_);
        break;
    case RunStatus::Completed:
    case RunStatus::Aborted: {
        const std::string separator = QLocale().groupSeparator().toStdString();
        ShowInformation(QStringLiteral("Process Summary"),
                        QString::fromStdString(ProcessSummaryMessage(result, separator)), &window_);
        break;
    }
    }
}

void BatchRunner::showStatusLine1(const QString& text) {
    if (text == statusLine1_)
        return;
    statusLine1_ = text;
    emit statusLine1Changed(text);
}

void BatchRunner::setRunning(bool running) {
    running_ = running;
    emit runningChanged(running);
}

} // namespace kovi
