#include "ui/listing/ListingRunner.h"

#include "core/run/TargetResolution.h"
#include "kovi/Version.h"
#include "platform/desktop/MessageSink.h"
#include "platform/system/Process.h"
#include "ui/listing/DetailWindow.h"

#include <QLocale>
#include <QWidget>

namespace kovi {
namespace {

QString Caption(const char* purpose) {
    return QString::fromLatin1(ProductName) + QStringLiteral(" - ") + QString::fromLatin1(purpose);
}

} // namespace

ListingRunner::ListingRunner(QWidget& owner, std::atomic<bool>& abortRequested,
                             std::filesystem::path exportFolder)
    : owner_(owner), exportFolder_(std::move(exportFolder)), abortRequested_(abortRequested),
      engine_(BuildDetailedListing) {}

ListingRunner::~ListingRunner() {
    stopQuietly();
}

void ListingRunner::start(const QString& folder, const QString& target, bool processSubFolders) {
    if (running_)
        return;
    showWindow();
    window_->clearListing();
    setCaption(Caption("Detailed Listing"));
    const auto box = ParseTargetResolution(target.toStdString());
    if (!box) {
        ShowError(QStringLiteral("Invalid target resolution"), boxParent());
        return;
    }
    stopWanted_ = false;
    quiet_ = false;
    news_.start();
    setRunning(true);
    const ListingCallbacks callbacks = this->callbacks();
    worker_.start(
        [this, folder = std::filesystem::path(folder.toStdString()), box = *box, processSubFolders,
         callbacks] {
            result_ = engine_(folder, box, processSubFolders, abortRequested_, callbacks);
        },
        [this](const QString& failure) { finish(failure); });
}

DetailWindow* ListingRunner::window() const {
    return window_;
}

void ListingRunner::stop() {
    stopWanted_ = true;
    abortRequested_ = true;
}

void ListingRunner::stopQuietly() {
    quiet_ = true;
    stop();
}

void ListingRunner::showWindow() {
    if (!window_) {
        // Owned by `owner_` and deleted when it closes.
        window_ = new DetailWindow(exportFolder_, &owner_);
        connect(window_, &DetailWindow::abortRequested, this, &ListingRunner::stop);
        // Its rows are many small blocks, which the heap keeps once they are freed; they are
        // all freed once the deletion that this signal begins has ended.
        connect(
            window_, &QObject::destroyed, this, [] { ReturnFreeMemory(); }, Qt::QueuedConnection);
    }
    window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
    window_->show();
    window_->raise();
    window_->activateWindow();
}

// Each callback runs on the worker and hands its news to this thread.
ListingCallbacks ListingRunner::callbacks() {
    ListingCallbacks callbacks;
    callbacks.collecting = [this] {
        worker_.post([this] {
            setCaption(Caption("Acquiring target files..."));
            busyCursor_.emplace();
        });
    };
    callbacks.started = [this](std::size_t) {
        // The scan has just cleared the flag; a stop asked for before must still hold.
        if (stopWanted_)
            abortRequested_ = true;
    };
    callbacks.fileStarted = [this](std::size_t index, std::size_t count) {
        news_.change([&](ScanNews& news) { news.started.emplace(index, count); });
    };
    callbacks.row = [this](const ListingRow& row) {
        news_.change([&](ScanNews& news) { news.rows.push_back(row); });
    };
    return callbacks;
}

void ListingRunner::showNews(const ScanNews& news) {
    if (!window_)
        return;
    if (news.started)
        setCaption(QStringLiteral("Scanning %1 of %2 - ESCAPE Aborts")
                       .arg(news.started->first + 1)
                       .arg(news.started->second));
    for (const ListingRow& row : news.rows)
        window_->addRow(row);
}

void ListingRunner::setCaption(const QString& caption) {
    if (window_)
        window_->setWindowTitle(caption);
}

void ListingRunner::finish(const QString& failure) {
    news_.finish();
    busyCursor_.reset();
    const ListingResult result = result_;
    result_ = ListingResult();
    if (!quiet_)
        report(result, failure);
    ReturnFreeMemory();
    setRunning(false);
}

void ListingRunner::report(const ListingResult& result, const QString& failure) {
    if (!failure.isEmpty()) {
        ShowError(QStringLiteral("Listing stopped: ") + failure, boxParent());
        return;
    }
    switch (result.status) {
    case ListingStatus::NoFiles:
        // The caption keeps saying that files were being acquired.
        ShowError(QStringLiteral("No files to process"), boxParent());
        break;
    case ListingStatus::Completed:
    case ListingStatus::Aborted: {
        const std::string separator = QLocale().groupSeparator().toStdString();
        ShowInformation(QStringLiteral("Summary"),
                        QString::fromStdString(ListingSummaryText(result, separator)), boxParent());
        setCaption(Caption("Detailed Listing"));
        break;
    }
    }
}

QWidget* ListingRunner::boxParent() const {
    return window_ ? static_cast<QWidget*>(window_) : &owner_;
}

void ListingRunner::setRunning(bool running) {
    running_ = running;
    emit runningChanged(running);
}

} // namespace kovi
