// The batch run as the main window shows it: status lines, progress, picture, the boxes, the
// locked controls, stopping by a click on the picture and quitting in the middle of a run.

// First: glib's headers under libvips use `signals` as a name, which Qt defines as a keyword.
#include "tests/support/TestImages.h"

#include "app/BatchRunner.h"
#include "app/MainWindow.h"
#include "app/ProgramFolder.h"
#include "engine/ImagingControl.h"
#include "engine/NumberFormat.h"
#include "listing/DetailedListing.h"
#include "platform/ImageView.h"

#include "tests/dialogs/DialogTesting.h"
#include "tests/support/SettingsSandbox.h"
#include "tests/support/TempFolder.h"
#include "tests/support/WindowFakes.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

#include <utility>

namespace kovi {

namespace fs = std::filesystem;
using testing::Control;
using testing::Gate;
using testing::RecordingMessages;
using testing::SettingsSandbox;
using testing::TempFolder;

namespace {

constexpr int RunTimeout = 30000;

const char SvgText[] = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"900\" height=\"700\">"
                       "<rect width=\"900\" height=\"700\" fill=\"red\"/></svg>";

void DrawImage(const fs::path& path, int width, int height) {
    testing::ColourRamp(width, height).write_to_file(path.c_str());
}

QSize PixelSizeOf(const fs::path& path) {
    ImagingControl control;
    control.SetLoadPath(path);
    return {control.ImageWidth(), control.ImageHeight()};
}

QString Text(const fs::path& path) {
    return QString::fromStdString(path.string());
}

QStringList Texts(const QSignalSpy& spy) {
    QStringList texts;
    for (const QList<QVariant>& arguments : spy)
        texts.append(arguments.at(0).toString());
    return texts;
}

QList<int> Numbers(const QSignalSpy& spy) {
    QList<int> numbers;
    for (const QList<QVariant>& arguments : spy)
        numbers.append(arguments.at(0).toInt());
    return numbers;
}

// Where the real engine is held for the test to act.
struct Holds {
    Gate* collecting = nullptr;      // after the window was told that files are collected
    Gate* firstFileLoaded = nullptr; // the first file is loaded, not yet resized or saved
    Gate* firstFileDone = nullptr;   // the first file is finished, the second not begun
};

BatchRunner::Engine HeldEngine(Holds holds) {
    return [holds](const BatchOptions& options, std::atomic<bool>& abortRequested,
                   const RunCallbacks& callbacks) {
        RunCallbacks held = callbacks;
        if (holds.collecting) {
            held.collecting = [&callbacks, gate = holds.collecting] {
                callbacks.collecting();
                gate->pass();
            };
        }
        if (holds.firstFileLoaded) {
            held.fileLoading = [&callbacks, gate = holds.firstFileLoaded,
                                first = true](const fs::path& path) mutable {
                callbacks.fileLoading(path);
                if (std::exchange(first, false))
                    gate->pass();
            };
        }
        if (holds.firstFileDone) {
            held.fileFinished = [&callbacks, gate = holds.firstFileDone,
                                 first = true](const FileReport& report) mutable {
                callbacks.fileFinished(report);
                if (std::exchange(first, false))
                    gate->pass();
            };
        }
        return ProcessImages(options, abortRequested, held);
    };
}

} // namespace

class BatchWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void init() {
        sandbox_ = std::make_unique<SettingsSandbox>();
        QVERIFY(sandbox_->isValid());
        folder_ = std::make_unique<TempFolder>();
        messages_ = std::make_unique<RecordingMessages>();
        album_ = *folder_ / "album";
        fs::create_directories(album_);
        fs::create_directories(*folder_ / "program");
        SetProgramFolder(*folder_ / "program");
        settings_ = ProgramSettings();
    }

    void cleanup() {
        SetProgramFolder({});
        messages_.reset();
        folder_.reset();
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    }

    void runOverAMixedFolderShowsEveryStepAndTheSummary() {
        DrawImage(album_ / "a-large.jpg", 1600, 1200);
        DrawImage(album_ / "b-exact.png", 640, 480);
        testing::WriteBytes(album_ / "c-notes.txt", "not an image");
        DrawImage(album_ / "d-wide.png", 1000, 300);
        testing::WriteBytes(album_ / "e-drawing.svg", SvgText);
        const std::int64_t before =
            fs::file_size(album_ / "a-large.jpg") + fs::file_size(album_ / "d-wide.png");
        const std::string exact = testing::ReadBytes(album_ / "b-exact.png");

        auto window = start();
        BatchRunner& runner = window->batchRunner();
        QSignalSpy status1(&runner, &BatchRunner::statusLine1Changed);
        QSignalSpy status2(&runner, &BatchRunner::statusLine2Changed);
        QSignalSpy begun(&runner, &BatchRunner::runStateBegun);
        QSignalSpy progress(&runner, &BatchRunner::progressChanged);
        QSignalSpy pictures(&runner, &BatchRunner::pictureChanged);

        Control<QPushButton>(*window, "cmdProcess")->click();
        QVERIFY(waitForRunEnd(*window));

        QCOMPARE(Texts(status1),
                 (QStringList{"Acquiring target files...", "Total files: 5", "Processing 1 of 5",
                              "Processing 2 of 5", "Processing 3 of 5", "Processing 4 of 5",
                              "Processing 5 of 5"}));
        QCOMPARE(Texts(status2), (QStringList{"a-large.jpg", "b-exact.png", "c-notes.txt",
                                              "d-wide.png", "e-drawing.svg"}));
        QCOMPARE(Numbers(begun), QList<int>{5});
        QCOMPARE(Numbers(progress), (QList<int>{1, 2, 3, 4, 5}));
        QVERIFY(!pictures.isEmpty());
        auto* bar = Control<QProgressBar>(*window, "prgProcess");
        QCOMPARE(bar->maximum(), 5);
        QCOMPARE(bar->value(), 0);
        QCOMPARE(Control<QLabel>(*window, "labStatus1")->text(), QString());
        QCOMPARE(Control<QLabel>(*window, "labStatus2")->text(), QString());
        QCOMPARE(window->windowTitle(), MainWindow::StartupCaption());

        QCOMPARE(PixelSizeOf(album_ / "a-large.jpg"), QSize(640, 480));
        QCOMPARE(PixelSizeOf(album_ / "d-wide.png"), QSize(640, 192));
        QCOMPARE(testing::ReadBytes(album_ / "b-exact.png"), exact);
        QCOMPARE(testing::ReadBytes(album_ / "e-drawing.svg"), std::string(SvgText));
        const std::int64_t after =
            fs::file_size(album_ / "a-large.jpg") + fs::file_size(album_ / "d-wide.png");
        QVERIFY(fs::exists(album_ / "kovilog.txt"));

        QCOMPARE(messages_->boxes.size(), std::size_t(1));
        const testing::ShownBox& summary = messages_->boxes.front();
        QCOMPARE(summary.icon, MessageIcon::Information);
        QCOMPARE(summary.title, QStringLiteral("Process Summary"));
        const QStringList lines = summary.text.split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0], QStringLiteral("Total before: %1 bytes")
                               .arg(QString::fromStdString(FormatGrouped(before, ","))));
        QCOMPARE(lines[1], QStringLiteral("Total after: %1 bytes")
                               .arg(QString::fromStdString(FormatGrouped(after, ","))));
        QCOMPARE(lines[2], QStringLiteral("Files not saved: 1"));
        QVERIFY2(lines[3].startsWith(Text(album_ / "e-drawing.svg")), qPrintable(lines[3]));
    }

    void invalidTargetIsRefusedBeforeAnythingHappens() {
        testing::WriteBytes(CustomResolutionsFile(), "0x480\r\n");
        DrawImage(album_ / "a.png", 800, 600);
        const std::string image = testing::ReadBytes(album_ / "a.png");
        auto window = start();
        window->chooseResolution(9);
        QCOMPARE(window->targetResolution(), QStringLiteral("0x480"));
        QSignalSpy running(&window->batchRunner(), &BatchRunner::runningChanged);
        QSignalSpy status1(&window->batchRunner(), &BatchRunner::statusLine1Changed);

        Control<QPushButton>(*window, "cmdProcess")->click();

        checkOnlyBox(MessageIcon::Critical, QStringLiteral("Error"),
                     QStringLiteral("Invalid target resolution"));
        QVERIFY(running.isEmpty());
        QVERIFY(status1.isEmpty());
        QCOMPARE(testing::ReadBytes(album_ / "a.png"), image);
        QVERIFY(!fs::exists(album_ / "kovilog.txt"));
    }

    void emptyFolderSaysNoFilesAndLeavesTheWindowIdle() {
        auto window = start();
        QSignalSpy status1(&window->batchRunner(), &BatchRunner::statusLine1Changed);
        QSignalSpy begun(&window->batchRunner(), &BatchRunner::runStateBegun);

        Control<QAction>(*window, "mnuProcess")->trigger();
        QVERIFY(waitForRunEnd(*window));

        QCOMPARE(Texts(status1), (QStringList{"Acquiring target files...", ""}));
        QVERIFY(begun.isEmpty());
        checkOnlyBox(MessageIcon::Critical, QStringLiteral("Error"),
                     QStringLiteral("No files to process"));
        QVERIFY(!fs::exists(album_ / "kovilog.txt"));
        QCOMPARE(window->windowTitle(), MainWindow::StartupCaption());
        QVERIFY(Control<QPushButton>(*window, "cmdProcess")->isEnabled());
        QVERIFY(Control<QAction>(*window, "mnuProcess")->isEnabled());
    }

    void logThatCannotBeCreatedIsReportedBeforeAnyFileChanges() {
        // A folder where the log should be: the log cannot be created, the image can be resized.
        fs::create_directories(album_ / "kovilog.txt");
        DrawImage(album_ / "a.png", 800, 600);
        const std::string image = testing::ReadBytes(album_ / "a.png");
        auto window = start();
        QSignalSpy begun(&window->batchRunner(), &BatchRunner::runStateBegun);

        Control<QPushButton>(*window, "cmdProcess")->click();
        QVERIFY(waitForRunEnd(*window));

        checkOnlyBox(MessageIcon::Critical, QStringLiteral("Error"),
                     "Cannot create the processing log " + Text(album_ / "kovilog.txt") + ": ");
        QVERIFY(begun.isEmpty());
        QCOMPARE(testing::ReadBytes(album_ / "a.png"), image);
        QCOMPARE(Control<QLabel>(*window, "labStatus1")->text(), QString());
        QVERIFY(Control<QPushButton>(*window, "cmdProcess")->isEnabled());
    }

    void clickOnThePictureStopsTheRunBeforeItsNextFile() {
        DrawImage(album_ / "a.png", 1600, 1200);
        DrawImage(album_ / "b.png", 1600, 1200);
        DrawImage(album_ / "c.png", 1600, 1200);
        const std::string second = testing::ReadBytes(album_ / "b.png");
        Gate firstFileDone;
        auto window = start();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        auto release = qScopeGuard([&firstFileDone] { firstFileDone.open(); });
        window->batchRunner().setEngine(HeldEngine({.firstFileDone = &firstFileDone}));
        QSignalSpy status1(&window->batchRunner(), &BatchRunner::statusLine1Changed);
        QSignalSpy progress(&window->batchRunner(), &BatchRunner::progressChanged);

        Control<QPushButton>(*window, "cmdProcess")->click();
        QTRY_VERIFY(firstFileDone.reached());
        QTRY_COMPARE(Numbers(progress), QList<int>{1});
        QTRY_VERIFY(window->imageView().hasPicture());
        auto* image = Control<ImageView>(*window, "imgProcess");
        QTest::mouseClick(image, Qt::LeftButton, {}, image->rect().center());
        firstFileDone.open();
        QVERIFY(waitForRunEnd(*window));

        QCOMPARE(Texts(status1).last(), QStringLiteral("Processing 2 of 3"));
        QCOMPARE(Numbers(progress), QList<int>{1});
        QCOMPARE(PixelSizeOf(album_ / "a.png"), QSize(640, 480));
        QCOMPARE(testing::ReadBytes(album_ / "b.png"), second);
        QCOMPARE(PixelSizeOf(album_ / "c.png"), QSize(1600, 1200));
        checkOnlyBox(MessageIcon::Information, QStringLiteral("Process Summary"),
                     QStringLiteral("Total before: "));
        // The log of a stopped run has no totals line.
        QVERIFY(!testing::ReadBytes(album_ / "kovilog.txt")
                     .ends_with("," + std::to_string(fs::file_size(album_ / "a.png")) + "\r\n" +
                                std::to_string(fs::file_size(album_ / "a.png"))));
    }

    void commandsAreLockedFromCollectionToTheEnd() {
        DrawImage(album_ / "a.png", 800, 600);
        DrawImage(album_ / "b.png", 800, 600);
        Gate collecting;
        Gate firstFileDone;
        auto window = start();
        auto release = qScopeGuard([&] {
            collecting.open();
            firstFileDone.open();
        });
        window->batchRunner().setEngine(
            HeldEngine({.collecting = &collecting, .firstFileDone = &firstFileDone}));
        QSignalSpy running(&window->batchRunner(), &BatchRunner::runningChanged);

        Control<QPushButton>(*window, "cmdProcess")->click();
        QTRY_VERIFY(collecting.reached());
        QTRY_COMPARE(Control<QLabel>(*window, "labStatus1")->text(),
                     QStringLiteral("Acquiring target files..."));
        QVERIFY(QGuiApplication::overrideCursor() != nullptr);
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        QVERIFY(!Control<QPushButton>(*window, "cmdProcess")->isEnabled());
        QVERIFY(!Control<QAction>(*window, "mnuProcess")->isEnabled());
        QVERIFY(!Control<QAction>(*window, "mnuDetailedList")->isEnabled());
        window->batchRunner().start(); // a second run while one is under way is refused
        collecting.open();

        QTRY_VERIFY(firstFileDone.reached());
        QTRY_COMPARE(window->windowTitle(),
                     QStringLiteral("Click the image window to abort processing..."));
        // Which controls the run state locks is the main window's own test; here the menu
        // commands must stay without effect.
        Control<QAction>(*window, "mnuDetailedList")->trigger();
        Control<QAction>(*window, "mnuProcess")->trigger();
        QVERIFY(window->detailedListing().window() == nullptr);
        firstFileDone.open();
        QVERIFY(waitForRunEnd(*window));

        QCOMPARE(running.size(), 2); // one run only
        QVERIFY(Control<QPushButton>(*window, "cmdProcess")->isEnabled());
        QCOMPARE(window->windowTitle(), MainWindow::StartupCaption());
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
        QCOMPARE(messages_->boxes.size(), std::size_t(1));
        QCOMPARE(PixelSizeOf(album_ / "b.png"), QSize(640, 480));
    }

    void jpegFactorsChangedDuringARunApplyToTheNextFile() {
        DrawImage(album_ / "a.jpg", 1600, 1200);
        DrawImage(album_ / "b.jpg", 1600, 1200);
        TempFolder references;
        DrawImage(references.path() / "original.jpg", 1600, 1200);
        Gate firstFileDone;
        auto window = start();
        auto release = qScopeGuard([&firstFileDone] { firstFileDone.open(); });
        window->batchRunner().setEngine(HeldEngine({.firstFileDone = &firstFileDone}));
        window->imageView().SetJpegChromFactor(10);
        window->imageView().SetJpegLumFactor(20);

        Control<QPushButton>(*window, "cmdProcess")->click();
        QTRY_VERIFY(firstFileDone.reached());
        // As the options dialog does while the run goes on; the second file may already have
        // been worked on ahead with the old factors.
        window->imageView().SetJpegChromFactor(200);
        window->imageView().SetJpegLumFactor(150);
        firstFileDone.open();
        QVERIFY(waitForRunEnd(*window));

        const QSize size = PixelSizeOf(album_ / "a.jpg");
        QCOMPARE(PixelSizeOf(album_ / "b.jpg"), size);
        const auto reference = [&](const char* name, int chrominance,
                                   int luminance) -> std::string {
            const fs::path path = references.path() / name;
            ImagingControl control;
            control.SetLoadPath(references.path() / "original.jpg");
            control.SetJpegChromFactor(chrominance);
            control.SetJpegLumFactor(luminance);
            control.SetSavePath(path);
            if (!control.ResizeImage(size.width(), size.height()) || !control.SaveImage())
                return {};
            return testing::ReadBytes(path);
        };
        const std::string before = reference("before.jpg", 10, 20);
        const std::string after = reference("after.jpg", 200, 150);
        QVERIFY(!before.empty());
        QVERIFY(before != after);
        QCOMPARE(testing::ReadBytes(album_ / "a.jpg"), before);
        QCOMPARE(testing::ReadBytes(album_ / "b.jpg"), after);
    }

    void quittingDuringARunFinishesTheCurrentFileFirst_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("saves");
        QTest::addColumn<bool>("whileCollecting");
        QTest::newRow("Quit menu item") << "menu" << true << false;
        QTest::newRow("Ctrl+Q") << "shortcut" << true << false;
        QTest::newRow("close box") << "close" << false << false;
        // The run clears the abort flag once the files are collected; the quit must still hold.
        QTest::newRow("Quit menu item while collecting") << "menu" << true << true;
        QTest::newRow("close box while collecting") << "close" << false << true;
    }
    void quittingDuringARunFinishesTheCurrentFileFirst() {
        QFETCH(QString, how);
        QFETCH(bool, saves);
        QFETCH(bool, whileCollecting);
        DrawImage(album_ / "a.jpg", 1600, 1200);
        DrawImage(album_ / "b.jpg", 1600, 1200);
        DrawImage(album_ / "c.png", 800, 600);
        const std::string first = testing::ReadBytes(album_ / "a.jpg");
        const std::string second = testing::ReadBytes(album_ / "b.jpg");
        const std::string third = testing::ReadBytes(album_ / "c.png");
        Gate held;
        auto window = start();
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        auto release = qScopeGuard([&held] { held.open(); });
        window->batchRunner().setEngine(whileCollecting ? HeldEngine({.collecting = &held})
                                                        : HeldEngine({.firstFileLoaded = &held}));
        QSignalSpy quits(window.get(), &MainWindow::quitRequested);

        Control<QPushButton>(*window, "cmdProcess")->click();
        QTRY_VERIFY(held.reached());
        if (how == QLatin1String("menu"))
            Control<QAction>(*window, "mnuQuit")->trigger();
        else if (how == QLatin1String("shortcut"))
            QTest::keyClick(window.get(), Qt::Key_Q, Qt::ControlModifier);
        else
            QVERIFY(!window->close());
        // The run is still under way: nothing is saved, nothing quits yet.
        QCoreApplication::processEvents();
        QVERIFY(quits.isEmpty());
        QVERIFY(SettingsSandbox::storedKeys().isEmpty());
        QVERIFY(window->isVisible());

        held.open();
        QTRY_COMPARE_WITH_TIMEOUT(quits.size(), 1, RunTimeout);
        QVERIFY(!window->batchRunner().isRunning());
        if (whileCollecting)
            QCOMPARE(testing::ReadBytes(album_ / "a.jpg"), first);
        else
            QCOMPARE(PixelSizeOf(album_ / "a.jpg"), QSize(640, 480));
        QCOMPARE(testing::ReadBytes(album_ / "b.jpg"), second);
        QCOMPARE(testing::ReadBytes(album_ / "c.png"), third);
        QStringList names;
        for (const auto& entry : fs::directory_iterator(album_))
            names.append(QString::fromStdString(entry.path().filename().string()));
        names.sort();
        QCOMPARE(names, (QStringList{"a.jpg", "b.jpg", "c.png", "kovilog.txt"}));
        QVERIFY(messages_->boxes.empty());
        QStringList keys = SettingsSandbox::storedKeys();
        keys.sort();
        if (saves)
            QCOMPARE(keys, (QStringList{"Settings/jpegchrom", "Settings/jpeglum",
                                        "Settings/lastresindex", "Settings/processsubs"}));
        else
            QVERIFY(keys.isEmpty());
    }

private:
    std::unique_ptr<MainWindow> start() {
        auto window = std::make_unique<MainWindow>(settings_);
        window->SetSelectedFolder(Text(album_));
        window->chooseResolution(3); // 640x480
        return window;
    }

    static bool waitForRunEnd(MainWindow& window) {
        return QTest::qWaitFor([&window] { return !window.batchRunner().isRunning(); }, RunTimeout);
    }

    // The one message box of the test.
    void checkOnlyBox(MessageIcon icon, const QString& title, const QString& text) {
        QCOMPARE(messages_->boxes.size(), std::size_t(1));
        QCOMPARE(messages_->boxes[0].icon, icon);
        QCOMPARE(messages_->boxes[0].title, title);
        QVERIFY2(messages_->boxes[0].text.startsWith(text), qPrintable(messages_->boxes[0].text));
    }

    std::unique_ptr<SettingsSandbox> sandbox_;
    std::unique_ptr<TempFolder> folder_;
    std::unique_ptr<RecordingMessages> messages_;
    fs::path album_;
    ProgramSettings settings_;
};

} // namespace kovi

QTEST_MAIN(kovi::BatchWindowTest)
#include "BatchWindowTest.moc"
