// The detail window as the user sees it: the rows a scan lists, the captions, the summary,
// stopping by Escape or by closing, and the export through the file dialog.

// First: glib's headers under libvips use `signals` as a name, which Qt defines as a keyword.
#include "tests/support/TestImages.h"

#include "app/BatchRunner.h"
#include "app/MainWindow.h"
#include "app/ProgramFolder.h"
#include "engine/ImagingControl.h"
#include "engine/NumberFormat.h"
#include "listing/DetailedListing.h"
#include "listing/FormatNames.h"
#include "listing/frmDetail.h"
#include "platform/Twips.h"

#include "tests/support/Mount.h"
#include "tests/support/SettingsSandbox.h"
#include "tests/support/TempFolder.h"
#include "tests/support/WindowFakes.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLocale>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStyle>
#include <QTableWidget>
#include <QTest>

#include <algorithm>
#include <functional>
#include <optional>

namespace kovi {

namespace fs = std::filesystem;
using testing::Gate;
using testing::RecordingMessages;
using testing::ScriptedFileDialogs;
using testing::SettingsSandbox;
using testing::TempFolder;
using Cells = std::vector<std::string>;

namespace {

constexpr int ScanTimeout = 30000;
constexpr char DetailCaption[] = "Kovi rZk Lite - Detailed Listing";
constexpr char HeaderLine[] = "FILENAME,FILESIZE,XRES,YRES,FORMAT,COLOURS,BPP\r\n";

void DrawImage(const fs::path& path, int width, int height) {
    testing::ColourRamp(width, height).write_to_file(path.c_str());
}

QString Text(const fs::path& path) {
    return QString::fromStdString(path.string());
}

// The row an image should get, as the imaging layer measures it.
Cells ExpectedRow(const fs::path& path) {
    ImagingControl control;
    control.SetLoadPath(path);
    return {path.string(),
            std::to_string(control.FileBytes()),
            std::to_string(control.ImageWidth()),
            std::to_string(control.ImageHeight()),
            GetFormatName(control.FileTypeCode()),
            std::to_string(control.ColourCount()),
            std::to_string(control.BitsPerPixel())};
}

std::string Joined(const Cells& cells) {
    std::string line;
    for (const std::string& cell : cells)
        line += (line.empty() ? "" : ",") + cell;
    return line;
}

// Where the real scan is held for the test to act.
enum class Hold {
    BeforeCollecting, // nothing told yet
    FirstRowListed,   // the first image's row is handed over
};

DetailedListing::Engine HeldScan(Hold hold, Gate* gate) {
    return [hold, gate](const fs::path& folder, const std::string& target, bool subFolders,
                        std::atomic<bool>& abortRequested, const ListingCallbacks& callbacks) {
        ListingCallbacks held = callbacks;
        if (hold == Hold::BeforeCollecting) {
            held.collecting = [&callbacks, gate] {
                gate->pass();
                callbacks.collecting();
            };
        } else {
            held.row = [&callbacks, gate, first = true](const ListingRow& row) mutable {
                callbacks.row(row);
                if (std::exchange(first, false))
                    gate->pass();
            };
        }
        return BuildDetailedListing(folder, target, subFolders, abortRequested, held);
    };
}

} // namespace

class DetailWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void gridHasBoldHeadersAndTheColumnWidths();
    void scanListsEveryReadableImageAndCountsTheLargerOnes();
    void captionsFollowTheScan();
    void emptyFolderSaysNoFilesAndKeepsTheAcquiringCaption();
    void invalidTargetIsRefused();
    void escapeReleasedInTheGridStopsTheScan();
    void closingTheWindowStopsTheScanAndStillSummarises_data();
    void closingTheWindowStopsTheScanAndStillSummarises();
    void secondScanReplacesTheRowsOfTheFirst();
    void windowIsOneAndComesBackAfterClosing();
    void commandsAreLockedWhileAScanRuns();
    void quittingDuringAScanWaitsForItsEnd();
    void exportWritesTheGridByteForByte();
    void cancelledExportWritesAndShowsNothing();
    void exportToAFolderThatCannotBeWrittenSaysSo_data();
    void exportToAFolderThatCannotBeWrittenSaysSo();

private:
    // The main window on `folder`, its scan held at `hold` when one is given.
    MainWindow& start(const fs::path& folder, std::optional<Hold> hold = std::nullopt);
    // Chooses File > Generate Detailed List and waits for the scan to end, or to be held.
    bool generate() {
        return generateUntil([this] { return !scanRunning(); });
    }
    bool generateUntilHeld() {
        return generateUntil([this] { return gate_->reached(); });
    }
    bool generateUntil(const std::function<bool()>& done) {
        action("mnuDetailedList")->trigger();
        return QTest::qWaitFor(done, ScanTimeout);
    }
    bool waitForScanEnd() {
        return QTest::qWaitFor([this] { return !scanRunning(); }, ScanTimeout);
    }
    bool scanRunning() const { return window_->detailedListing().isRunning(); }
    QAction* action(const char* name) const {
        return window_->findChild<QAction*>(QString::fromLatin1(name));
    }
    frmDetail& detail() const;
    std::vector<Cells> gridRows() const { return detail().cells(); }
    // The one box shown, a summary of `rows` rows of `bytes` bytes in all.
    void checkSummary(std::int64_t bytes, int rows);

    std::unique_ptr<SettingsSandbox> sandbox_;
    std::unique_ptr<TempFolder> folder_;
    std::unique_ptr<RecordingMessages> messages_;
    std::unique_ptr<ScriptedFileDialogs> dialogs_;
    fs::path album_;
    ProgramSettings settings_;
    std::unique_ptr<Gate> gate_;
    std::unique_ptr<MainWindow> window_;
};

void DetailWindowTest::initTestCase() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void DetailWindowTest::init() {
    sandbox_ = std::make_unique<SettingsSandbox>();
    QVERIFY(sandbox_->isValid());
    folder_ = std::make_unique<TempFolder>();
    messages_ = std::make_unique<RecordingMessages>();
    dialogs_ = std::make_unique<ScriptedFileDialogs>();
    album_ = *folder_ / "album";
    fs::create_directories(album_);
    fs::create_directories(*folder_ / "program");
    SetProgramFolder(*folder_ / "program");
    settings_ = ProgramSettings();
}

void DetailWindowTest::cleanup() {
    if (gate_)
        gate_->open(); // a failed test must not leave the scan waiting for ever
    window_.reset();
    gate_.reset();
    SetProgramFolder({});
    dialogs_.reset();
    messages_.reset();
    folder_.reset();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
}

MainWindow& DetailWindowTest::start(const fs::path& folder, std::optional<Hold> hold) {
    window_ = std::make_unique<MainWindow>(settings_);
    window_->SetSelectedFolder(Text(folder));
    window_->chooseResolution(3); // 640x480
    if (hold) {
        gate_ = std::make_unique<Gate>();
        window_->detailedListing().setEngine(HeldScan(*hold, gate_.get()));
    }
    return *window_;
}

frmDetail& DetailWindowTest::detail() const {
    frmDetail* shown = window_->detailedListing().window();
    if (shown == nullptr)
        qFatal("no detail window");
    return *shown;
}

void DetailWindowTest::checkSummary(std::int64_t bytes, int rows) {
    QCOMPARE(messages_->boxes.size(), std::size_t(1));
    QCOMPARE(messages_->boxes[0].icon, MessageIcon::Information);
    QCOMPARE(messages_->boxes[0].title, QStringLiteral("Summary"));
    QCOMPARE(messages_->boxes[0].text,
             QStringLiteral("Total image bytes: %1\r\nWould be processed by current resolution: %2")
                 .arg(QString::fromStdString(FormatGrouped(bytes, ",")))
                 .arg(rows));
}

void DetailWindowTest::gridHasBoldHeadersAndTheColumnWidths() {
    start(album_);
    QVERIFY(generate()); // nothing to list: the grid as it opens
    frmDetail& shown = detail();
    QVERIFY(QTest::qWaitForWindowExposed(&shown));
    QTableWidget& grid = shown.grid();

    QStringList headers;
    for (int column = 0; column < grid.columnCount(); ++column) {
        headers.append(grid.horizontalHeaderItem(column)->text());
        QVERIFY(grid.horizontalHeaderItem(column)->font().bold());
        QCOMPARE(grid.columnWidth(column), TwipsToPixels(column == 0 ? 5000 : 1000));
    }
    QCOMPARE(headers,
             (QStringList{"FILENAME", "FILESIZE", "XRES", "YRES", "FORMAT", "COLOURS", "BPP"}));
    // Nearly the whole screen: 15 twips narrower and 1000 twips lower, at the top left.
    const QRect screen = shown.screen()->geometry();
    QCOMPARE(grid.size(),
             QSize(screen.width() - TwipsToPixels(15), screen.height() - TwipsToPixels(1000)));
    QCOMPARE(grid.mapTo(&shown, QPoint(0, 0)).x(), 0);
    QCOMPARE(grid.geometry().top(), shown.menuBar()->geometry().bottom() + 1);
}

void DetailWindowTest::scanListsEveryReadableImageAndCountsTheLargerOnes() {
    DrawImage(album_ / "a-640x480.png", 640, 480);
    DrawImage(album_ / "b-641x480.jpg", 641, 480);
    testing::WriteBytes(album_ / "c-notes.txt", "not an image");
    DrawImage(album_ / "d-640x481.gif", 640, 481);
    DrawImage(album_ / "e-100x2000.tif", 100, 2000);
    testing::WriteBytes(album_ / "f-readme.txt", "nor this");
    DrawImage(album_ / "g-320x240.png", 320, 240);
    start(album_);

    QVERIFY(generate());

    std::vector<Cells> expected;
    std::int64_t bytes = 0;
    for (const char* name :
         {"a-640x480.png", "b-641x480.jpg", "d-640x481.gif", "e-100x2000.tif", "g-320x240.png"}) {
        expected.push_back(ExpectedRow(album_ / name));
        bytes += std::stoll(expected.back()[1]);
    }
    expected.push_back(Cells(7)); // the empty last row
    QCOMPARE(gridRows(), expected);
    QCOMPARE(expected[1][4], std::string("JPG"));
    // No number is cut short: "16777216" colours do not fit 1000 twips.
    const QTableWidget& grid = detail().grid();
    const int margins = 2 * (grid.style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
    for (int row = 0; row + 1 < grid.rowCount(); ++row) {
        for (int column = 1; column < grid.columnCount(); ++column) {
            const QString text = grid.item(row, column)->text();
            const int width = grid.fontMetrics().horizontalAdvance(text) + margins;
            QVERIFY2(width < grid.columnWidth(column), qPrintable(text));
        }
    }
    checkSummary(bytes, 3);
    QCOMPARE(detail().windowTitle(), QString::fromLatin1(DetailCaption));
}

void DetailWindowTest::captionsFollowTheScan() {
    DrawImage(album_ / "a.png", 10, 10);
    testing::WriteBytes(album_ / "b.txt", "text");
    DrawImage(album_ / "c.png", 10, 10);
    start(album_, Hold::BeforeCollecting);

    QVERIFY(generateUntilHeld());
    QCOMPARE(detail().windowTitle(), QString::fromLatin1(DetailCaption));
    QSignalSpy captions(&detail(), &QWidget::windowTitleChanged);
    gate_->open();
    QVERIFY(waitForScanEnd());

    QStringList shown;
    for (const QList<QVariant>& arguments : captions)
        shown.append(arguments.at(0).toString());
    QCOMPARE(shown,
             (QStringList{"Kovi rZk Lite - Acquiring target files...",
                          "Scanning 1 of 3 - ESCAPE Aborts", "Scanning 2 of 3 - ESCAPE Aborts",
                          "Scanning 3 of 3 - ESCAPE Aborts", DetailCaption}));
}

void DetailWindowTest::emptyFolderSaysNoFilesAndKeepsTheAcquiringCaption() {
    start(album_);
    QVERIFY(generate());
    QCOMPARE(detail().windowTitle(), QStringLiteral("Kovi rZk Lite - Acquiring target files..."));
    QCOMPARE(messages_->boxes.size(), std::size_t(1));
    QCOMPARE(messages_->boxes[0].icon, MessageIcon::Critical);
    QCOMPARE(messages_->boxes[0].title, QStringLiteral("Error"));
    QCOMPARE(messages_->boxes[0].text, QStringLiteral("No files to process"));
    QCOMPARE(gridRows(), std::vector<Cells>{Cells(7)});
}

void DetailWindowTest::invalidTargetIsRefused() {
    testing::WriteBytes(CustomResolutionsFile(), "640x0\r\n");
    DrawImage(album_ / "a.png", 10, 10);
    MainWindow& window = start(album_);
    window.chooseResolution(9);
    QSignalSpy running(&window.detailedListing(), &DetailedListing::runningChanged);
    QVERIFY(generate());
    QVERIFY(running.isEmpty());
    QCOMPARE(messages_->boxes.size(), std::size_t(1));
    QCOMPARE(messages_->boxes[0].text, QStringLiteral("Invalid target resolution"));
    QCOMPARE(gridRows(), std::vector<Cells>{Cells(7)});
}

void DetailWindowTest::escapeReleasedInTheGridStopsTheScan() {
    for (const char* name : {"a.png", "b.png", "c.png"})
        DrawImage(album_ / name, 800, 600);
    start(album_, Hold::FirstRowListed);

    QVERIFY(generateUntilHeld());
    QTableWidget& grid = detail().grid();
    QTRY_COMPARE(grid.rowCount(), 2);
    QTest::keyClick(&grid, Qt::Key_Escape);
    gate_->open();
    QVERIFY(waitForScanEnd());

    const Cells first = ExpectedRow(album_ / "a.png");
    QCOMPARE(gridRows(), (std::vector<Cells>{first, Cells(7)}));
    checkSummary(std::stoll(first[1]), 1);
    QCOMPARE(detail().windowTitle(), QString::fromLatin1(DetailCaption));
}

void DetailWindowTest::closingTheWindowStopsTheScanAndStillSummarises_data() {
    QTest::addColumn<bool>("byMenu");
    QTest::newRow("close box") << false;
    QTest::newRow("File > Close") << true;
}

void DetailWindowTest::closingTheWindowStopsTheScanAndStillSummarises() {
    QFETCH(bool, byMenu);
    DrawImage(album_ / "a.png", 800, 600);
    DrawImage(album_ / "b.png", 800, 600);
    MainWindow& window = start(album_, Hold::FirstRowListed);

    QVERIFY(generateUntilHeld());
    if (byMenu)
        detail().findChild<QAction*>(QStringLiteral("mnuClose"))->trigger();
    else
        QVERIFY(detail().close());
    QTRY_VERIFY(window.detailedListing().window() == nullptr);
    gate_->open();
    QVERIFY(waitForScanEnd());

    checkSummary(std::stoll(ExpectedRow(album_ / "a.png")[1]), 1);
}

void DetailWindowTest::secondScanReplacesTheRowsOfTheFirst() {
    for (const char* name : {"a.png", "b.png", "c.png"})
        DrawImage(album_ / name, 10, 10);
    const fs::path other = *folder_ / "other";
    fs::create_directories(other);
    DrawImage(other / "z.png", 20, 20);
    MainWindow& window = start(album_);
    QVERIFY(generate());
    QCOMPARE(gridRows().size(), std::size_t(4));
    frmDetail* first = window.detailedListing().window();

    window.SetSelectedFolder(Text(other));
    QVERIFY(generate());
    QCOMPARE(window.detailedListing().window(), first);
    QCOMPARE(gridRows(), (std::vector<Cells>{ExpectedRow(other / "z.png"), Cells(7)}));
}

void DetailWindowTest::windowIsOneAndComesBackAfterClosing() {
    DrawImage(album_ / "a.png", 10, 10);
    MainWindow& window = start(album_);
    QVERIFY(generate());
    QPointer<frmDetail> first = window.detailedListing().window();
    QVERIFY(first->isVisible());
    QVERIFY(first->testAttribute(Qt::WA_DeleteOnClose));
    QVERIFY(first->close());
    QTRY_VERIFY(first.isNull());
    QVERIFY(generate());
    QVERIFY(window.detailedListing().window() != nullptr);
    QCOMPARE(window.findChildren<frmDetail*>().size(), 1);
}

void DetailWindowTest::commandsAreLockedWhileAScanRuns() {
    DrawImage(album_ / "a.png", 10, 10);
    DrawImage(album_ / "b.png", 10, 10);
    MainWindow& window = start(album_, Hold::FirstRowListed);
    QSignalSpy running(&window.detailedListing(), &DetailedListing::runningChanged);

    QVERIFY(generateUntilHeld());
    QVERIFY(!action("mnuDetailedList")->isEnabled());
    QVERIFY(!action("mnuProcess")->isEnabled());
    QVERIFY(!window.findChild<QPushButton*>(QStringLiteral("cmdProcess"))->isEnabled());
    QTRY_VERIFY(QGuiApplication::overrideCursor() != nullptr);
    QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    action("mnuDetailedList")->trigger();
    action("mnuProcess")->trigger();
    QVERIFY(!window.batchRunner().isRunning());
    gate_->open();
    QVERIFY(waitForScanEnd());

    QCOMPARE(running.size(), 2);
    QVERIFY(action("mnuDetailedList")->isEnabled());
    QVERIFY(action("mnuProcess")->isEnabled());
    QVERIFY(window.findChild<QPushButton*>(QStringLiteral("cmdProcess"))->isEnabled());
    QCOMPARE(gridRows().size(), std::size_t(3));
}

void DetailWindowTest::quittingDuringAScanWaitsForItsEnd() {
    DrawImage(album_ / "a.png", 10, 10);
    DrawImage(album_ / "b.png", 10, 10);
    MainWindow& window = start(album_, Hold::FirstRowListed);
    QSignalSpy quits(&window, &MainWindow::quitRequested);

    QVERIFY(generateUntilHeld());
    action("mnuQuit")->trigger();
    QCoreApplication::processEvents();
    QVERIFY(quits.isEmpty());
    QVERIFY(SettingsSandbox::storedKeys().isEmpty());
    gate_->open();

    QTRY_COMPARE_WITH_TIMEOUT(quits.size(), 1, ScanTimeout);
    QVERIFY(!scanRunning());
    QVERIFY(messages_->boxes.empty());
    QCOMPARE(SettingsSandbox::storedKeys().size(), 4);
}

void DetailWindowTest::exportWritesTheGridByteForByte() {
    DrawImage(album_ / "a.png", 800, 600);
    DrawImage(album_ / "x,y.png", 320, 240);
    start(album_);
    QVERIFY(generate());
    const fs::path target = *folder_ / "listing.csv";
    testing::WriteBytes(target, "an earlier export\r\n");
    dialogs_->answer = Text(target);

    detail().findChild<QAction*>(QStringLiteral("mnuExport"))->trigger();

    QCOMPARE(dialogs_->asked.size(), std::size_t(1));
    QCOMPARE(dialogs_->asked[0].title, QStringLiteral("Export Detailed Listing"));
    QCOMPARE(dialogs_->asked[0].folder, Text(ProgramFolder()));
    QCOMPARE(dialogs_->asked[0].filter, QStringLiteral("All files (*)"));
    // The comma in the name is written as it is: that line has one field more.
    const std::string expected = std::string(HeaderLine) + Joined(ExpectedRow(album_ / "a.png")) +
                                 "\r\n" + Joined(ExpectedRow(album_ / "x,y.png")) + "\r\n";
    QCOMPARE(testing::ReadBytes(target), expected);
    QCOMPARE(messages_->boxes.size(), std::size_t(2));
    QCOMPARE(messages_->boxes[1].icon, MessageIcon::Information);
    QCOMPARE(messages_->boxes[1].title, QStringLiteral("Complete"));
    QCOMPARE(messages_->boxes[1].text, QStringLiteral("Done exporting: ") + Text(target));
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
}

void DetailWindowTest::cancelledExportWritesAndShowsNothing() {
    DrawImage(album_ / "a.png", 10, 10);
    start(album_);
    QVERIFY(generate());
    const fs::path earlier = *folder_ / "listing.csv";
    testing::WriteBytes(earlier, "an earlier export\r\n");
    const std::size_t boxes = messages_->boxes.size();
    dialogs_->answer.clear();

    detail().exportListing();

    QCOMPARE(dialogs_->asked.size(), std::size_t(1));
    QCOMPARE(messages_->boxes.size(), boxes);
    QCOMPARE(testing::ReadBytes(earlier), std::string("an earlier export\r\n"));
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_->path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    QCOMPARE(names, (std::vector<std::string>{"album", "listing.csv", "program"}));
}

void DetailWindowTest::exportToAFolderThatCannotBeWrittenSaysSo_data() {
    QTest::addColumn<bool>("readOnly");
    QTest::newRow("missing folder") << false;
    QTest::newRow("read-only folder") << true;
}

void DetailWindowTest::exportToAFolderThatCannotBeWrittenSaysSo() {
    QFETCH(bool, readOnly);
    DrawImage(album_ / "a.png", 10, 10);
    const fs::path exports = *folder_ / "exports";
    fs::path target = exports / "missing" / "listing.csv";
    testing::Mount mount(exports);
    if (readOnly) {
        fs::create_directories(exports);
        testing::WriteBytes(exports / "listing.csv", "an earlier export\r\n");
        if (!mount.readOnly())
            QSKIP("a read-only bind mount needs root and mount");
        target = exports / "listing.csv";
    }
    start(album_);
    QVERIFY(generate());
    const std::vector<Cells> rows = gridRows();
    dialogs_->answer = Text(target);

    detail().exportListing();

    QCOMPARE(messages_->boxes.size(), std::size_t(2));
    QCOMPARE(messages_->boxes[1].icon, MessageIcon::Critical);
    QCOMPARE(messages_->boxes[1].title, QStringLiteral("Error"));
    const QString expected = QStringLiteral("Cannot export to ") + Text(target) + ": ";
    QVERIFY2(messages_->boxes[1].text.startsWith(expected), qPrintable(messages_->boxes[1].text));
    QCOMPARE(gridRows(), rows);
    if (readOnly)
        QCOMPARE(testing::ReadBytes(target), std::string("an earlier export\r\n"));
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
}

} // namespace kovi

QTEST_MAIN(kovi::DetailWindowTest)
#include "DetailWindowTest.moc"
