#include "app/MainWindow.h"
#include "app/ProgramFolder.h"
#include "platform/FolderTree.h"
#include "platform/ImageView.h"

#include "tests/dialogs/DialogTesting.h"
#include "tests/support/SettingsSandbox.h"
#include "tests/support/TempFolder.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace kovi {

using testing::Control;
using testing::SettingsSandbox;

namespace {

const QStringList BuiltIn{"80x80",    "150x150",  "320x240",   "640x480",  "800x600",
                          "1024x768", "1152x864", "1200x1024", "1600x1200"};

void Save(const char* key, const QString& text) {
    SettingsSandbox::store(QLatin1String(key), text);
}

QString Saved(const char* key) {
    return SettingsSandbox::storedValue(QLatin1String(key)).toString();
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        sandbox_ = std::make_unique<SettingsSandbox>();
        program_ = std::make_unique<testing::ProgramFolderSandbox>();
        pictures_ = std::make_unique<QTemporaryDir>();
        QVERIFY(sandbox_->isValid() && program_->isValid() && pictures_->isValid());
        settings_ = ProgramSettings();
    }

    void cleanup() {
        program_.reset();
        testing::VerifyNoWindowLeft();
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    }

    void windowHasAFixedSizeAndNoMaximiseBox() {
        auto window = start(true);
        QCOMPARE(window->minimumSize(), window->maximumSize());
        QVERIFY(!(window->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(window->windowFlags() & Qt::WindowMinimizeButtonHint);
        // The client area below the menu bar: 6744 x 5436 twips at 96 dpi.
        QCOMPARE(window->centralWidget()->size(), QSize(450, 362));
    }

    void resolutionListHoldsBuiltInSizesThenCustomEntriesUnchanged() {
        QCOMPARE(start()->resolutions(), BuiltIn);
        testing::WriteBytes(CustomResolutionsFile(),
                            "1024x768\r\n\r\n700x500\r\n 800 x600\r\n700x500\r\n");
        QCOMPARE(start()->resolutions(),
                 (BuiltIn + QStringList{"1024x768", "", "700x500", " 800 x600", "700x500"}));
    }

    void firstStartShowsTheDefaultsAndSavesNothing() {
        auto window = start();
        QCOMPARE(window->SelectedFolder(), QStringLiteral("/"));
        QCOMPARE(window->targetResolution(), QStringLiteral("80x80"));
        QCOMPARE(Control<QComboBox>(*window, "lstRes")->currentIndex(), 0);
        QVERIFY(!window->processSubFolders());
        QCOMPARE(window->imageView().JpegChromFactor(), 1);
        QCOMPARE(window->imageView().JpegLumFactor(), 1);
        QCOMPARE(settings_.LastResIndex, QStringLiteral("80x80"));
        QCOMPARE(settings_.ProcessSubs, QStringLiteral("0"));
        QCOMPARE(settings_.ShowTips, 1);
        QCOMPARE(settings_.WriteLog, 1);
        QVERIFY(SettingsSandbox::storedKeys().isEmpty());
        QVERIFY(!window->AbortRequested());
    }

    void startRestoresTheSavedSettings() {
        testing::WriteBytes(CustomResolutionsFile(), "700x500\r\n");
        const QString folder = pictures_->filePath(QStringLiteral("holiday"));
        QVERIFY(QDir().mkpath(folder));
        Save("lastfolder", folder);
        Save("lastresindex", QStringLiteral("700x500"));
        Save("processsubs", QStringLiteral("1"));
        Save("jpegchrom", QStringLiteral("200"));
        Save("jpeglum", QStringLiteral("30"));
        Save("showtips", QStringLiteral("0"));
        Save("writelog", QStringLiteral("0"));

        auto window = start();
        QCOMPARE(window->SelectedFolder(), folder);
        QCOMPARE(window->targetResolution(), QStringLiteral("700x500"));
        QCOMPARE(Control<QComboBox>(*window, "lstRes")->currentIndex(), 9);
        QVERIFY(window->processSubFolders());
        QCOMPARE(window->imageView().JpegChromFactor(), 200);
        QCOMPARE(window->imageView().JpegLumFactor(), 30);
        QCOMPARE(settings_.ShowTips, 0);
        QCOMPARE(settings_.WriteLog, 0);
    }

    void savedResolutionThatIsNoLongerListedFallsBackToTheFirst() {
        Save("lastresindex", QStringLiteral("999x999"));
        auto window = start();
        QCOMPARE(window->targetResolution(), QStringLiteral("80x80"));
        QCOMPARE(settings_.LastResIndex, QStringLiteral("80x80"));
    }

    void quitSavesExactlyFourSettings_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Quit button") << "button";
        QTest::newRow("Quit menu item") << "menu";
        QTest::newRow("Ctrl+Q") << "shortcut";
    }
    void quitSavesExactlyFourSettings() {
        QFETCH(QString, how);
        auto window = start(true);

        auto* resolutions = Control<QComboBox>(*window, "lstRes");
        resolutions->setFocus();
        QTest::keyClick(resolutions, Qt::Key_Down); // the user picks 150x150
        QCOMPARE(settings_.LastResIndex, QStringLiteral("150x150"));
        QTest::mouseClick(Control<QCheckBox>(*window, "chkSubs"), Qt::LeftButton);
        QCOMPARE(settings_.ProcessSubs, QStringLiteral("1"));
        settings_.JpegChrom = 255; // as the options dialog leaves them
        settings_.JpegLum = 0;
        settings_.ShowTips = 0;
        settings_.WriteLog = 0;
        QVERIFY(SettingsSandbox::storedKeys().isEmpty());

        QSignalSpy quits(window.get(), &MainWindow::quitRequested);
        if (how == QLatin1String("button"))
            QTest::mouseClick(Control<QPushButton>(*window, "cmdQuit"), Qt::LeftButton);
        else if (how == QLatin1String("menu"))
            Control<QAction>(*window, "mnuQuit")->trigger();
        else
            QTest::keyClick(window.get(), Qt::Key_Q, Qt::ControlModifier);

        QCOMPARE(quits.size(), 1);
        QStringList keys = SettingsSandbox::storedKeys();
        keys.sort();
        QCOMPARE(keys, (QStringList{"Settings/jpegchrom", "Settings/jpeglum",
                                    "Settings/lastresindex", "Settings/processsubs"}));
        QCOMPARE(Saved("lastresindex"), QStringLiteral("150x150"));
        QCOMPARE(Saved("processsubs"), QStringLiteral("1"));
        QCOMPARE(Saved("jpegchrom"), QStringLiteral("255"));
        QCOMPARE(Saved("jpeglum"), QStringLiteral("0"));
    }

    void closeBoxSavesNothing() {
        auto window = start(true);
        window->chooseResolution(3);
        QTest::mouseClick(Control<QCheckBox>(*window, "chkSubs"), Qt::LeftButton);
        settings_.JpegChrom = 9;

        QSignalSpy quits(window.get(), &MainWindow::quitRequested);
        QVERIFY(window->close());
        QCOMPARE(quits.size(), 1);
        QVERIFY(SettingsSandbox::storedKeys().isEmpty());
    }

    void choiceComesBackOnlyAfterQuit() {
        {
            auto window = start();
            window->chooseResolution(4);
            Control<QPushButton>(*window, "cmdQuit")->click();
        }
        {
            auto window = start();
            QCOMPARE(window->targetResolution(), QStringLiteral("800x600"));
            window->chooseResolution(6);
            window->close();
        }
        auto window = start();
        QCOMPARE(window->targetResolution(), QStringLiteral("800x600"));
    }

    void folderClickSavesTheFolderAndSetsTheTooltip_data() {
        QTest::addColumn<QString>("clicked");
        QTest::addColumn<bool>("tips");
        QTest::addColumn<QString>("saved");
        QTest::addColumn<QString>("tooltip");
        const auto row = [](const char* name, const char* clicked, bool tips, const char* saved,
                            const char* tooltip) {
            QTest::newRow(name) << clicked << tips << saved << tooltip;
        };
        row("a folder", "{pictures}/chosen", true, "{pictures}/chosen", "{pictures}/chosen");
        row("My Computer keeps the saved folder", "My Computer", true, "{pictures}", "My Computer");
        row("tooltips off clear the tooltip", "{pictures}/chosen", false, "{pictures}/chosen", "");
    }
    void folderClickSavesTheFolderAndSetsTheTooltip() {
        QFETCH(QString, clicked);
        QFETCH(bool, tips);
        QFETCH(QString, saved);
        QFETCH(QString, tooltip);
        for (QString* text : {&clicked, &saved, &tooltip})
            text->replace(QStringLiteral("{pictures}"), pictures_->path());
        QVERIFY(QDir().mkpath(pictures_->filePath(QStringLiteral("chosen"))));
        Save("lastfolder", pictures_->path());
        Save("showtips", tips ? QStringLiteral("1") : QStringLiteral("0"));
        auto window = start(true);
        window->folderTree().setToolTip(QStringLiteral("left over"));

        FolderTree& tree = window->folderTree();
        tree.SetSelectedFolder(clicked);
        const QModelIndex row = tree.indexOfFolder(clicked);
        QVERIFY(row.isValid());
        tree.scrollTo(row);
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.visualRect(row).center());
        QCOMPARE(tree.SelectedFolder(), clicked);
        QCOMPARE(Saved("lastfolder"), saved);
        QCOMPARE(tree.toolTip(), tooltip);
        QCOMPARE(SettingsSandbox::storedKeys(),
                 (QStringList{"Settings/lastfolder", "Settings/showtips"}));
    }

    void imageClickRequestsAnAbort() {
        auto window = start(true);
        window->beginRunState(3);
        QVERIFY(!window->AbortRequested());
        auto* image = Control<ImageView>(*window, "imgProcess");
        QTest::mouseClick(image, Qt::LeftButton, {}, image->rect().center());
        QVERIFY(window->AbortRequested());
        window->endRunState();
    }

    void runningStateDisablesTheControlsAndEndRestoresThem() {
        auto window = start();
        const char* runLocked[] = {"lstFolders", "lstRes",     "chkSubs", "picLogo",
                                   "cmdOptions", "cmdProcess", "cmdQuit", "cmdMap"};
        window->beginRunState(7);

        for (const char* name : runLocked)
            QVERIFY2(!Control<QWidget>(*window, name)->isEnabled(), name);
        QVERIFY(Control<QWidget>(*window, "imgProcess")->isEnabled());
        QVERIFY(!Control<QAction>(*window, "mnuProcess")->isEnabled());
        QVERIFY(!Control<QAction>(*window, "mnuDetailedList")->isEnabled());
        QVERIFY(Control<QAction>(*window, "mnuQuit")->isEnabled());
        QVERIFY(Control<QAction>(*window, "mnuOptions")->isEnabled());
        QCOMPARE(window->windowTitle(),
                 QStringLiteral("Click the image window to abort processing..."));
        QVERIFY(QGuiApplication::overrideCursor() != nullptr);
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        auto* progress = Control<QProgressBar>(*window, "prgProcess");
        QCOMPARE(progress->minimum(), 0);
        QCOMPARE(progress->maximum(), 7);
        QCOMPARE(progress->value(), 0);

        window->setStatusLine1(QStringLiteral("Processing 3 of 7"));
        window->setStatusLine2(QStringLiteral("photo.jpg"));
        window->setProgressValue(3);
        window->imageView().showPicture({1, 1, {255, 0, 0}});

        window->endRunState();
        for (const char* name : runLocked)
            QVERIFY2(Control<QWidget>(*window, name)->isEnabled(), name);
        QVERIFY(Control<QAction>(*window, "mnuProcess")->isEnabled());
        QVERIFY(Control<QAction>(*window, "mnuDetailedList")->isEnabled());
        QCOMPARE(window->windowTitle(), QStringLiteral("Kovi rZk Lite v1.1.0"));
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
        QCOMPARE(progress->value(), 0);
        QCOMPARE(Control<QLabel>(*window, "labStatus1")->text(), QString());
        QCOMPARE(Control<QLabel>(*window, "labStatus2")->text(), QString());
        QVERIFY(!window->imageView().hasPicture());
    }

    void tabOrderFollowsTheControls() {
        auto window = start(true);
        window->folderTree().setFocus();
        QCOMPARE(testing::TabOrder(8),
                 (QStringList{"lstRes", "cmdProcess", "cmdOptions", "cmdQuit", "chkSubs", "cmdMap",
                              "imgProcess", "lstFolders"}));
    }

    void menusCarryTheirCaptionsAndShortcuts() {
        auto window = start();
        QStringList shown;
        for (QAction* menuAction : window->menuBar()->actions()) {
            shown.append(menuAction->text());
            for (QAction* item : menuAction->menu()->actions()) {
                QString line = QStringLiteral("  ") +
                               (item->isSeparator() ? QStringLiteral("-") : item->text());
                if (!item->shortcut().isEmpty())
                    line += QStringLiteral(" [") + item->shortcut().toString() + QLatin1Char(']');
                shown.append(line);
            }
        }
        QCOMPARE(
            shown,
            (QStringList{"&File", "  &Process", "  &Map Network Drive", "  &Generate Detailed List",
                         "  -", "  &Quit [Ctrl+Q]", "&View", "  &Custom Resolutions",
                         "  &Folder Exclusions", "  &Extension Exclusions", "  -", "  &Options",
                         "&Help", "  &Kovi rZk Lite Help [F1]", "  -", "  &About Kovi rZk Lite"}));
    }

private:
    std::unique_ptr<MainWindow> start(bool shown = false) {
        auto window = std::make_unique<MainWindow>(settings_);
        if (shown) {
            window->show();
            if (!QTest::qWaitForWindowActive(window.get()))
                qFatal("the main window did not become active");
        }
        return window;
    }

    std::unique_ptr<SettingsSandbox> sandbox_;
    std::unique_ptr<testing::ProgramFolderSandbox> program_;
    std::unique_ptr<QTemporaryDir> pictures_;
    ProgramSettings settings_;
};

} // namespace kovi

QTEST_MAIN(kovi::MainWindowTest)
#include "MainWindowTest.moc"
