// The settings store, the texts a run ends with, and the main window's wiring, with a scripted
// engine in place of the real run.
#include "platform/desktop/FolderTree.h"
#include "ui/main/BatchMessages.h"
#include "ui/main/BatchRunner.h"
#include "ui/main/ImageView.h"
#include "ui/main/MainWindow.h"
#include "ui/main/OptionsDialog.h"

#include "tests/dialogs/DialogTesting.h"

#include <QAction>
#include <QComboBox>
#include <QSlider>

Q_DECLARE_METATYPE(kovi::RunResult)

namespace kovi {

using testing::Control;
using testing::SettingsSandbox;

namespace {

const QStringList Keys{"lastfolder", "lastresindex", "processsubs", "jpegchrom",
                       "jpeglum",    "showtips",     "writelog"};

// Settings loaded over values that no load gives, every one as text in the order of Keys.
struct LoadedSettings : FolderSelection {
    QString SelectedFolder() const override { return folder; }
    void SetSelectedFolder(const QString& path) override { folder = path; }
    QStringList load(const QStringList& keys) {
        for (const QString& key : keys)
            store.LoadRegSetting(key);
        QStringList texts{folder, values.LastResIndex, values.ProcessSubs};
        for (int number : {values.JpegChrom, values.JpegLum, values.ShowTips, values.WriteLog})
            texts.append(QString::number(number));
        return texts;
    }

    QString folder = "untouched";
    ProgramSettings values{"untouched", "untouched", 77, 77, 77, 77};
    SettingsStore store{values, this};
};

// A run from 1,234,567 to 2,345 bytes; `unsaved` files not saved, the first for no reason.
RunResult RunOf(RunStatus status, int unsaved = 0, const std::string& logError = "") {
    RunResult result{status, 0, 1234567, 2345, {}, "/p/kovilog.txt", logError};
    for (int i = 1; i <= unsaved; ++i)
        result.notSaved.push_back({"/p/" + std::to_string(i) + ".wmf", FileOutcome::NotSaved,
                                   ImageMeasure(), ImageMeasure(), i == 1 ? "" : "why"});
    return result;
}

// Stands in for ProcessImages over two files, waiting for `held` where asked.
struct ScriptedRun {
    RunResult result;
    testing::Gate held;
    int holdAt = 0; // 1: the first file is loaded, not yet finished; 2: while collecting
    BatchOptions options;
    int finished = 0;

    BatchRunner::Engine engine() {
        return [this](const BatchOptions& given, std::atomic<bool>& abortRequested,
                      const RunCallbacks& tell) {
            options = given;
            tell.collecting();
            if (holdAt == 2)
                held.pass();
            tell.collected(2);
            abortRequested = false; // as the engine does once the files are collected
            tell.started(2);
            for (std::size_t i = 0; i < 2; ++i) {
                tell.fileStarted(i, 2);
                if (abortRequested)
                    break;
                tell.fileLoading("/album/" + std::to_string(i) + ".jpg");
                if (i == 0 && holdAt == 1)
                    held.pass();
                tell.fileFinished({});
                ++finished;
            }
            return result;
        };
    }
};

// What starts or changes a run: off while one goes on.
const char* const RunLocked[] = {"lstFolders", "lstRes",         "chkSubs", "picLogo",
                                 "cmdOptions", "cmdProcess",     "cmdQuit", "cmdMap",
                                 "mnuProcess", "mnuDetailedList"};

} // namespace

class AppTest : public QObject {
    Q_OBJECT

private slots:
    // The summary's thousands separator is the locale's.
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
    void init() {
        scene_ = std::make_unique<testing::WindowScene>();
        run_ = std::make_unique<ScriptedRun>();
    }
    void cleanup() {
        run_->held.open(); // a run held there ends before its window goes
        window_.reset();
        scene_.reset();
        QVERIFY(QApplication::topLevelWidgets().isEmpty() && !QGuiApplication::overrideCursor());
    }

    // Installed, the programs' folder is not the user's: the lists go to the user's folder and
    // exports start at home; run from the build, everything is beside the programs.
    void programFilesAreBesideTheProgramsUnlessInstalled() {
        const std::filesystem::path root = scene_->program.path();
        const auto files = [&root] {
            return ProgramFilesFor(root / "usr" / "bin", root / "config", root / "home");
        };
        QCOMPARE(files().customResolutions, root / "usr" / "bin" / "custom.dat");
        QCOMPARE(files().exportFolder, root / "usr" / "bin");
        const auto data = root / "usr" / "share" / "kovi-rzk-lite";
        std::filesystem::create_directories(data);
        testing::WriteBytes(data / "kovi_rzk_lite.chm", "");
        const ProgramFiles installed = files();
        QCOMPARE(installed.helpFile, data / "kovi_rzk_lite.chm");
        for (const auto& list :
             {installed.customResolutions, installed.excludedFolders, installed.excludedExtensions})
            QCOMPARE(list.parent_path(), root / "config" / "kovi-rzk-lite");
        QCOMPARE(installed.exportFolder, root / "home");
    }

    void settingsComeBackAsSavedAndAreStoredAsTheirText() {
        LoadedSettings saving;
        saving.folder = "/home/zoë/Фото, alt/[x] = y;z";
        saving.values = {" 800 x600", "1", 255, 0, 0, 0};
        const QStringList saved = saving.load({});
        for (const QString& key : Keys)
            saving.store.SaveRegSetting(key);
        for (const QString& key : Keys)
            QCOMPARE(SettingsSandbox::storedValue(key).toString(), saved[Keys.indexOf(key)]);
        QCOMPARE(LoadedSettings().load(Keys), saved);
    }

    // Keys are matched exactly: another case, blanks or the group's name make another key.
    void settingsFirstStartGivesTheDefaultsAndOtherKeysDoNothing() {
        const QStringList others{"LastFolder",        "JPEGCHROM", "jpeglum ",     " showtips",
                                 "Settings/writelog", "lastres",   "processsubs2", ""};
        LoadedSettings settings;
        for (const QString& key : others)
            settings.store.SaveRegSetting(key);
        QCOMPARE(settings.load(Keys), (QStringList{"/", "80x80", "0", "1", "1", "1", "1"}));
        QCOMPARE(store(), QString());
        for (const QString& key : Keys)
            SettingsSandbox::store(key, "0");
        QCOMPARE(LoadedSettings().load(others), LoadedSettings().load({}));
    }

    // A hand-edited value with a comma reads back as a list.
    void settingLoadsAsStoredOrFallsBackToItsDefault_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("loaded");
        const auto row = [](const char* name, const char* key, QVariant in, const char* out) {
            QTest::newRow(name) << key << in << out;
        };
        row("factor lowest", "jpegchrom", "0", "0");
        row("factor highest", "jpeglum", "255", "255");
        row("factor above range", "jpegchrom", "256", "1");
        row("factor with a sign", "jpegchrom", "+5", "1");
        row("factor beyond 64 bits", "jpegchrom", "99999999999999999999", "1");
        row("switch above range", "writelog", "2", "1");
        row("other switch above range", "showtips", "2", "1");
        row("sub-folders with a leading zero", "processsubs", "01", "0");
        row("resolution of empty text kept", "lastresindex", "", "");
        row("resolution as a list", "lastresindex", QStringList{"6", "4"}, "80x80");
    }
    void settingLoadsAsStoredOrFallsBackToItsDefault() {
        QFETCH(QString, key);
        QFETCH(QVariant, stored);
        QFETCH(QString, loaded);
        SettingsSandbox::store(key, stored);
        QCOMPARE(LoadedSettings().load({key})[Keys.indexOf(key)], loaded);
    }

    // What the user reads when a run has ended, or could not begin.
    void runEndsWithItsMessage_data() {
        QTest::addColumn<RunResult>("result");
        QTest::addColumn<QString>("text");
        const QString totals = "Total before: 1.234.567 bytes\r\nTotal after: 2.345 bytes";
        QTest::newRow("nothing resized") << RunResult{} << "No images required processing";
        QString named = "\r\n/p/1.wmf"; // the first without a reason; past twenty, dots
        for (int i = 2; i <= 20; ++i)
            named += QString("\r\n/p/%1.wmf (why)").arg(i);
        QTest::newRow("unsaved files named")
            << RunOf(RunStatus::Aborted, 21)
            << totals + "\r\nFiles not saved: 21" + named + "\r\n...";
        QTest::newRow("incomplete log told")
            << RunOf(RunStatus::Completed, 0, "Disk full")
            << totals + "\r\nThe processing log /p/kovilog.txt is incomplete: Disk full";
        QTest::newRow("log not created")
            << RunOf(RunStatus::LogNotCreated, 0, "Read-only file system")
            << "Cannot create the processing log /p/kovilog.txt: Read-only file system\r\n"
               "No file has been changed.";
    }
    void runEndsWithItsMessage() {
        QFETCH(RunResult, result);
        QFETCH(QString, text);
        QCOMPARE(QString::fromStdString(result.status == RunStatus::LogNotCreated
                                            ? LogNotCreatedMessage(result)
                                            : ProcessSummaryMessage(result, ".")),
                 text);
    }

    void startShowsTheSavedSettingsAndAFolderClickSavesItsOwn_data() {
        QTest::addColumn<QString>("saved");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("tips");
        QTest::addColumn<QString>("clicked");
        QTest::newRow("a custom size") << "700x500" << QString("700x500") << 1 << "/";
        QTest::newRow("an unlisted size") << "999x999" << QString("80x80") << 0 << "/";
        QTest::newRow("My Computer") << "700x500" << QString("700x500") << 1 << MyComputerText;
    }
    void startShowsTheSavedSettingsAndAFolderClickSavesItsOwn() {
        QFETCH(QString, saved);
        QFETCH(QString, shown);
        QFETCH(int, tips);
        QFETCH(QString, clicked);
        testing::WriteBytes(scene_->files.customResolutions, "700x500\r\n");
        writeStore("jpegchrom=200\njpeglum=30\nlastfolder=" + folder() + "\nlastresindex=" + saved +
                   "\nprocesssubs=1\nshowtips=" + QString::number(tips) + "\nwritelog=1\n");
        const QString before = store();
        MainWindow& window = open();
        QCOMPARE(window.SelectedFolder(), folder());
        QCOMPARE(window.targetResolution() + ' ' + settings().LastResIndex, shown + ' ' + shown);
        QVERIFY(window.processSubFolders() && settings().ShowTips == tips && settings().WriteLog);
        QCOMPARE(window.jpegFactors().get(), (JpegFactors{200, 30}));
        QCOMPARE(store(), before);

        window.folderTree().setToolTip("left over");
        window.SetSelectedFolder(clicked);
        emit window.folderTree().folderChosen();
        QCOMPARE(testing::SettingsSandbox::storedValue("lastfolder").toString(),
                 clicked == MyComputerText ? folder() : clicked);
        QCOMPARE(window.folderTree().toolTip(), tips ? clicked : QString());
    }

    // A run under way first finishes its current file. Each run also shows what the window hands
    // to it and shows of it.
    void quitOrStopFinishesTheCurrentFileFirst_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("during"); // 0: idle, 1: in the first file, 2: while collecting
        QTest::addColumn<bool>("saves");
        QTest::newRow("Quit menu item") << "mnuQuit" << 0 << true;
        QTest::newRow("Quit menu item during a run") << "mnuQuit" << 1 << true;
        // The run clears the stop flag once the files are collected; the quit must still hold.
        QTest::newRow("Quit menu item while collecting") << "mnuQuit" << 2 << true;
        // Users close the window by its close box as often as by Quit.
        QTest::newRow("close box") << "close" << 0 << true;
        QTest::newRow("close box during a run") << "close" << 1 << true;
        QTest::newRow("picture click during a run") << "picture" << 1 << false;
    }
    void quitOrStopFinishesTheCurrentFileFirst() {
        QFETCH(QString, how);
        QFETCH(int, during);
        QFETCH(bool, saves);
        run_->holdAt = during;
        run_->result.totalBefore = 1234567;
        MainWindow& window = open();
        window.show();
        QTest::keyClick(Control<QComboBox>(window, "lstRes"), Qt::Key_Down); // picks 150x150
        QTest::mouseClick(Control<QCheckBox>(window, "chkSubs"), Qt::LeftButton);
        settings().JpegChrom = 255; // as the options dialog leaves them
        settings().JpegLum = 0;
        settings().WriteLog = 0;
        QSignalSpy quits(&window, &MainWindow::quitRequested);
        QSignalSpy progress(&window.batchRunner(), &BatchRunner::progressChanged);
        if (during)
            Control<QPushButton>(window, "cmdProcess")->click();
        QTRY_VERIFY(!during || run_->held.reached());
        if (during == 1) {
            QTRY_COMPARE(Control<QLabel>(window, "labStatus1")->text() + ' ' +
                             Control<QLabel>(window, "labStatus2")->text(),
                         QStringLiteral("Processing 1 of 2 0.jpg"));
            for (const char* name : RunLocked)
                QVERIFY2(!window.findChild<QObject*>(name)->property("enabled").toBool(), name);
            QCOMPARE(window.findChild<QObject*>("prgProcess")->property("maximum"), QVariant(2));
        }
        if (how == "picture")
            QTest::mouseClick(Control<ImageView>(window, "imgProcess"), Qt::LeftButton);
        else if (how == "close")
            window.close();
        else
            Control<QAction>(window, "mnuQuit")->trigger();
        if (during) {
            QCoreApplication::processEvents();
            QVERIFY(quits.isEmpty() && store().isEmpty() && window.isVisible());
            run_->held.open();
            QTRY_VERIFY(!window.batchRunner().isRunning());
            const BatchOptions& given = run_->options;
            QCOMPARE(given.folder, std::filesystem::path("/"));
            QCOMPARE(std::pair(given.target.width, given.target.height), std::pair(150.0, 150.0));
            QVERIFY(given.processSubFolders && !given.writeLog);
            QCOMPARE(given.excludedExtensionsFile, scene_->files.excludedExtensions);
            QCOMPARE(given.excludedFoldersFile, scene_->files.excludedFolders);
            // Read for each file: a change during the run applies to the next one.
            window.jpegFactors().setChrominance(200);
            QCOMPARE(given.jpegFactors().chrominance, 200);
            for (const char* name : RunLocked)
                QVERIFY2(window.findChild<QObject*>(name)->property("enabled").toBool(), name);
            QCOMPARE(window.windowTitle(), MainWindow::StartupCaption());
            QCOMPARE(Control<QLabel>(window, "labStatus1")->text(), QString());
        }
        QCOMPARE(quits.size(), how == "picture" ? 0 : 1);
        QCOMPARE(store(), saves ? "[Settings]\njpegchrom=255\njpeglum=0\nlastresindex=150x150\n"
                                  "processsubs=1\n"
                                : QString());
        QCOMPARE(run_->finished, during == 1 ? 1 : 0);
        QCOMPARE(progress.size(), run_->finished);
        QVERIFY(progress.isEmpty() || progress.last().first().toInt() == 1);
        // Only a run stopped by the picture shows its summary.
        QCOMPARE(scene_->messages.boxes.size(), std::size_t(how == "picture"));
        QVERIFY(how != "picture" ||
                scene_->messages.boxes[0].text ==
                    QString::fromStdString(ProcessSummaryMessage(run_->result, ".")));
    }

    void optionsStoreTheLogSwitchAtOnceAndTheFactorsOnlyByQuit() {
        writeStore("jpegchrom=200\njpeglum=0\n");
        MainWindow& window = open();
        OptionsDialog options(settings(), window.settingsStore(), window.jpegFactors(),
                              window.folderTree(), &window);
        options.show();
        QTest::keyClick(Control<QSlider>(options, "sldChrom"), Qt::Key_PageUp);
        QTest::keyClick(Control<QSlider>(options, "sldLum"), Qt::Key_Right);
        QCOMPARE(window.jpegFactors().get(), (JpegFactors{205, 1}));
        Control<QCheckBox>(options, "chkLog")->click();
        options.close();
        QCOMPARE(store(), "[Settings]\njpegchrom=200\njpeglum=0\nwritelog=0\n");
        Control<QPushButton>(window, "cmdQuit")->click();
        QVERIFY(store().startsWith("[Settings]\njpegchrom=205\njpeglum=1\n"));
    }

    void imageViewReportsALeftClickOnly() {
        ImageView view;
        view.resize(100, 100);
        QSignalSpy clicks(&view, &ImageView::ImageClick);
        QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(50, 50));
        QTest::mouseClick(&view, Qt::RightButton, {}, QPoint(50, 50));
        // A press dragged off the view is no click either.
        QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(50, 50));
        QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(150, 50));
        QCOMPARE(clicks.size(), 1);
    }

private:
    ProgramSettings& settings() { return scene_->values; }
    MainWindow& open() {
        window_ = std::make_unique<MainWindow>(settings(), scene_->files);
        window_->batchRunner().setEngine(run_->engine());
        return *window_;
    }
    QString folder() const { return QString::fromStdString(scene_->program.path().string()); }
    QString store() const {
        return QString::fromStdString(
            testing::ReadBytes(scene_->settings.storeFile().toStdString()));
    }
    void writeStore(const QString& settings) const {
        std::filesystem::create_directories(
            std::filesystem::path(scene_->settings.storeFile().toStdString()).parent_path());
        testing::WriteBytes(scene_->settings.storeFile().toStdString(),
                            "[Settings]\n" + settings.toStdString());
    }

    std::unique_ptr<testing::WindowScene> scene_;
    std::unique_ptr<ScriptedRun> run_;
    std::unique_ptr<MainWindow> window_;
};

} // namespace kovi

QTEST_MAIN(kovi::AppTest)
#include "AppTest.moc"
