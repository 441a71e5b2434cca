#include "ui/main/BatchRunner.h"

#include "platform/desktop/MessageSink.h"
#include "platform/system/Process.h"
#include "ui/main/BatchMessages.h"

#include <QLocale>

namespace kovi {
namespace {

QString FileName(const std::filesystem::path& path) {
    return QString::fromStdString(path.filename().string());
}

} // namespace

BatchRunner::BatchRunner(QWidget& owner, std::atomic<bool>& abortRequested)
    : owner_(owner), abortRequested_(abortRequested), engine_(ProcessImages) {}

BatchRunner::~BatchRunner() {
    stopQuietly();
}

void BatchRunner::start(const BatchOptions& options) {
    if (running_)
        return;
    stopWanted_ = false;
    runStateShown_ = false;
    filesDone_ = 0;
    news_.start();
    setRunning(true);
    const RunCallbacks callbacks = this->callbacks();
    worker_.start(
        [this, options, callbacks] { result_ = engine_(options, abortRequested_, callbacks); },
        [this](const QString& failure) { finish(failure); });
}

void BatchRunner::stopQuietly() {
    stopWanted_ = true;
    abortRequested_ = true;
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
            abortRequested_ = true;
        worker_.post([this, count] {
            runStateShown_ = true;
            emit runStateBegun(int(count));
        });
    };
    callbacks.fileStarted = [this](std::size_t index, std::size_t count) {
        news_.change([&](FileNews& news) { news.started.emplace(index, count); });
    };
    callbacks.fileLoading = [this](const std::filesystem::path& path) {
        news_.change([name = FileName(path)](FileNews& news) { news.name = name; });
    };
    callbacks.preview = [this](const PreviewPicture& picture) {
        worker_.post([this, picture] { emit pictureChanged(picture); });
    };
    callbacks.fileFinished = [this](const FileReport&) {
        news_.change([](FileNews& news) { ++news.finished; });
    };
    return callbacks;
}

void BatchRunner::showNews(const FileNews& news) {
    if (news.started)
        showStatusLine1(QStringLiteral("Processing %1 of %2")
                            .arg(news.started->first + 1)
                            .arg(news.started->second));
    if (news.name)
        emit statusLine2Changed(*news.name);
    if (news.finished > 0)
        emit progressChanged(filesDone_ += news.finished);
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
    news_.finish();
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
    // The files' buffers were freed, but the heap keeps them; an idle window gives them back.
    ReturnFreeMemory();
    setRunning(false);
}

void BatchRunner::report(const RunResult& result, const QString& failure) {
    if (!failure.isEmpty()) {
        ShowError(QStringLiteral("Processing stopped: ") + failure, &owner_);
        return;
    }
    switch (result.status) {
    case RunStatus::NoFiles:
        ShowError(QStringLiteral("No files to process"), &owner_);
        break;
    case RunStatus::LogNotCreated:
        ShowError(QString::fromStdString(LogNotCreatedMessage(result)), &owner_);
        break;
    case RunStatus::Completed:
    case RunStatus::Aborted: {
        const std::string separator = QLocale().groupSeparator().toStdString();
        ShowInformation(QStringLiteral("Process Summary"),
                        QString::fromStdString(ProcessSummaryMessage(result, separator)), &owner_);
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
