#pragma once

#include "core/listing/ListingScan.h"
#include "platform/desktop/BusyCursor.h"
#include "platform/desktop/PacedNews.h"
#include "platform/desktop/WorkerThread.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QWidget;

namespace kovi {

class DetailWindow;

// File > Generate Detailed List: shows the one detail window (made afresh once it has been
// closed, raised while it is open) and runs the listing scan into it on a worker thread. The
// summary is shown here when the scan ends, also when the window was closed meanwhile.
class ListingRunner : public QObject {
    Q_OBJECT
public:
    using Engine = std::function<ListingResult(
        const std::filesystem::path& folder, TargetResolution target, bool processSubFolders,
        std::atomic<bool>& abortRequested, const ListingCallbacks&)>;

    // `owner` parents the detail window and the boxes shown after it has closed; the window's
    // export dialog starts in `exportFolder`.
    ListingRunner(QWidget& owner, std::atomic<bool>& abortRequested,
                  std::filesystem::path exportFolder);
    // Stops a scan under way before its next file and waits for it.
    ~ListingRunner() override;

    // Shows the window and scans into it, unless a scan is under way.
    void start(const QString& folder, const QString& target, bool processSubFolders);
    bool isRunning() const { return running_; }
    // The detail window while it is open.
    DetailWindow* window() const;

    // The scan stops before its next file (also when asked while it is still collecting);
    // its summary covers what was listed.
    void stop();
    // Likewise, without the summary: the program is quitting.
    void stopQuietly();

    // Replaces BuildDetailedListing (tests).
    void setEngine(Engine engine) { engine_ = std::move(engine); }

signals:
    void runningChanged(bool running);

private:
    // What the scan has found since the window last looked.
    struct ScanNews {
        std::optional<std::pair<std::size_t, std::size_t>> started; // index and count
        std::vector<ListingRow> rows;
    };

    void showWindow();
    ListingCallbacks callbacks();
    void showNews(const ScanNews& news);
    void setCaption(const QString& caption);
    void finish(const QString& failure);
    void report(const ListingResult& result, const QString& failure);
    QWidget* boxParent() const;
    void setRunning(bool running);

    QWidget& owner_;
    const std::filesystem::path exportFolder_;
    std::atomic<bool>& abortRequested_;
    Engine engine_;
    QPointer<DetailWindow> window_;
    bool running_ = false;
    bool quiet_ = false;
    // Outlives the scan's clearing of the abort flag when the files have been collected.
    std::atomic<bool> stopWanted_{false};
    std::optional<BusyCursorGuard> busyCursor_;
    // Written by the worker; read once the worker has returned.
    ListingResult result_;
    PacedNews<ScanNews> news_{[this](const ScanNews& news) {
        showNews(news);
    }};
    // Last, so that it is destroyed first: the worker uses everything above.
    WorkerThread worker_;
};

} // namespace kovi
