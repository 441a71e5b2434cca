#include "app/MainWindow.h"
#include "app/ProgramFolder.h"
#include "platform/FolderTree.h"
#include "platform/ImageView.h"

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

using testing::SettingsSandbox;

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void captionCarriesTheVersion();
    void windowHasAFixedSizeAndNoMaximiseBox();
    void resolutionListHoldsBuiltInSizesThenCustomEntriesUnchanged();
    void resolutionListWithoutCustomFileHoldsTheBuiltInSizes();
    void firstStartShowsTheDefaultsAndSavesNothing();
    void startRestoresTheSavedSettings();
    void savedResolutionThatIsNoLongerListedFallsBackToTheFirst();
    void quitSavesExactlyFourSettings_data();
    void quitSavesExactlyFourSettings();
    void closeBoxSavesNothing();
    void choiceComesBackOnlyAfterQuit();
    void folderClickSavesTheFolderAndShowsItAsTooltip();
    void clickOnMyComputerKeepsTheSavedFolder();
    void folderClickWithTooltipsOffClearsTheTooltip();
    void imageClickRequestsAnAbort();
    void runningStateDisablesTheControlsAndEndRestoresThem();
    void tabOrderFollowsTheControls();
    void menusCarryTheirCaptionsAndShortcuts();
    void resolutionListEditsFromTheCustomDialog();

private:
    std::unique_ptr<MainWindow> start();
    void writeCustomFile(const std::string& bytes);
    template <typename Widget>
    Widget* control(MainWindow& window, const char* name);
    void clickFolder(MainWindow& window, const QString& folder);
    static void saved(const char* key, const QString& text);
    static QString savedText(const char* key);

    std::unique_ptr<SettingsSandbox> sandbox_;
    std::unique_ptr<QTemporaryDir> programFolder_;
    std::unique_ptr<QTemporaryDir> pictures_;
    ProgramSettings settings_;
};

void MainWindowTest::init() {
    sandbox_ = std::make_unique<SettingsSandbox>();
    programFolder_ = std::make_unique<QTemporaryDir>();
    pictures_ = std::make_unique<QTemporaryDir>();
    QVERIFY(sandbox_->isValid() && programFolder_->isValid() && pictures_->isValid());
    SetProgramFolder(programFolder_->path().toStdString());
    settings_ = ProgramSettings();
}

void MainWindowTest::cleanup() {
    SetProgramFolder({});
    QStringList leaked;
    for (const QWidget* window : QApplication::topLevelWidgets())
        leaked.append(QString::fromLatin1(window->metaObject()->className()) + QLatin1Char(' ') +
                      window->objectName());
    QVERIFY2(leaked.isEmpty(), qPrintable(QStringLiteral("left behind: ") + leaked.join(", ")));
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
}

std::unique_ptr<MainWindow> MainWindowTest::start() {
    return std::make_unique<MainWindow>(settings_);
}

void MainWindowTest::writeCustomFile(const std::string& bytes) {
    testing::WriteBytes(CustomResolutionsFile(), bytes);
}

template <typename Widget>
Widget* MainWindowTest::control(MainWindow& window, const char* name) {
    auto* found = window.findChild<Widget*>(QLatin1String(name));
    if (found == nullptr)
        qFatal("no control %s", name);
    return found;
}

void MainWindowTest::clickFolder(MainWindow& window, const QString& folder) {
    FolderTree& tree = window.folderTree();
    tree.SetSelectedFolder(folder);
    const QModelIndex row = tree.indexOfFolder(folder);
    QVERIFY(row.isValid());
    tree.scrollTo(row);
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.visualRect(row).center());
    QCOMPARE(tree.SelectedFolder(), folder);
}

void MainWindowTest::saved(const char* key, const QString& text) {
    SettingsSandbox::store(QLatin1String(key), text);
}

QString MainWindowTest::savedText(const char* key) {
    return SettingsSandbox::storedValue(QLatin1String(key)).toString();
}

const QStringList BuiltIn{"80x80",    "150x150",  "320x240",   "640x480",  "800x600",
                          "1024x768", "1152x864", "1200x1024", "1600x1200"};

void MainWindowTest::captionCarriesTheVersion() {
    auto window = start();
    QCOMPARE(window->windowTitle(), QStringLiteral("Kovi rZk Lite v1.1.0"));
}

void MainWindowTest::windowHasAFixedSizeAndNoMaximiseBox() {
    auto window = start();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QCOMPARE(window->minimumSize(), window->maximumSize());
    QVERIFY(!(window->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    // The client area below the menu bar: 6744 x 5436 twips at 96 dpi.
    QCOMPARE(window->centralWidget()->size(), QSize(450, 362));
}

void MainWindowTest::resolutionListHoldsBuiltInSizesThenCustomEntriesUnchanged() {
    writeCustomFile("1024x768\r\n\r\n700x500\r\n 800 x600\r\n700x500\r\n");
    auto window = start();
    QCOMPARE(window->resolutions(),
             (BuiltIn + QStringList{"1024x768", "", "700x500", " 800 x600", "700x500"}));
}

void MainWindowTest::resolutionListWithoutCustomFileHoldsTheBuiltInSizes() {
    auto window = start();
    QCOMPARE(window->resolutions(), BuiltIn);
}

void MainWindowTest::firstStartShowsTheDefaultsAndSavesNothing() {
    auto window = start();
    QCOMPARE(window->SelectedFolder(), QStringLiteral("/"));
    QCOMPARE(window->targetResolution(), QStringLiteral("80x80"));
    QCOMPARE(control<QComboBox>(*window, "lstRes")->currentIndex(), 0);
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

void MainWindowTest::startRestoresTheSavedSettings() {
    writeCustomFile("700x500\r\n");
    const QString folder = pictures_->filePath(QStringLiteral("holiday"));
    QVERIFY(QDir().mkpath(folder));
    saved("lastfolder", folder);
    saved("lastresindex", QStringLiteral("700x500"));
    saved("processsubs", QStringLiteral("1"));
    saved("jpegchrom", QStringLiteral("200"));
    saved("jpeglum", QStringLiteral("30"));
    saved("showtips", QStringLiteral("0"));
    saved("writelog", QStringLiteral("0"));

    auto window = start();
    QCOMPARE(window->SelectedFolder(), folder);
    QCOMPARE(window->targetResolution(), QStringLiteral("700x500"));
    QCOMPARE(control<QComboBox>(*window, "lstRes")->currentIndex(), 9);
    QVERIFY(window->processSubFolders());
    QCOMPARE(window->imageView().JpegChromFactor(), 200);
    QCOMPARE(window->imageView().JpegLumFactor(), 30);
    QCOMPARE(settings_.ShowTips, 0);
    QCOMPARE(settings_.WriteLog, 0);
}

void MainWindowTest::savedResolutionThatIsNoLongerListedFallsBackToTheFirst() {
    saved("lastresindex", QStringLiteral("999x999"));
    auto window = start();
    QCOMPARE(window->targetResolution(), QStringLiteral("80x80"));
    QCOMPARE(settings_.LastResIndex, QStringLiteral("80x80"));
}

void MainWindowTest::quitSavesExactlyFourSettings_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("Quit button") << "button";
    QTest::newRow("Quit menu item") << "menu";
    QTest::newRow("Ctrl+Q") << "shortcut";
}

void MainWindowTest::quitSavesExactlyFourSettings() {
    QFETCH(QString, how);
    auto window = start();
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));

    auto* resolutions = control<QComboBox>(*window, "lstRes");
    resolutions->setFocus();
    QTest::keyClick(resolutions, Qt::Key_Down); // the user picks 150x150
    QCOMPARE(settings_.LastResIndex, QStringLiteral("150x150"));
    QTest::mouseClick(control<QCheckBox>(*window, "chkSubs"), Qt::LeftButton);
    QCOMPARE(settings_.ProcessSubs, QStringLiteral("1"));
    settings_.JpegChrom = 255; // as the options dialog leaves them
    settings_.JpegLum = 0;
    settings_.ShowTips = 0;
    settings_.WriteLog = 0;
    QVERIFY(SettingsSandbox::storedKeys().isEmpty());

    QSignalSpy quits(window.get(), &MainWindow::quitRequested);
    if (how == QLatin1String("button"))
        QTest::mouseClick(control<QPushButton>(*window, "cmdQuit"), Qt::LeftButton);
    else if (how == QLatin1String("menu"))
        control<QAction>(*window, "mnuQuit")->trigger();
    else
        QTest::keyClick(window.get(), Qt::Key_Q, Qt::ControlModifier);

    QCOMPARE(quits.size(), 1);
    QStringList keys = SettingsSandbox::storedKeys();
    keys.sort();
    QCOMPARE(keys, (QStringList{"Settings/jpegchrom", "Settings/jpeglum", "Settings/lastresindex",
                                "Settings/processsubs"}));
    QCOMPARE(savedText("lastresindex"), QStringLiteral("150x150"));
    QCOMPARE(savedText("processsubs"), QStringLiteral("1"));
    QCOMPARE(savedText("jpegchrom"), QStringLiteral("255"));
    QCOMPARE(savedText("jpeglum"), QStringLiteral("0"));
}

void MainWindowTest::closeBoxSavesNothing() {
    auto window = start();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->chooseResolution(3);
    QTest::mouseClick(control<QCheckBox>(*window, "chkSubs"), Qt::LeftButton);
    settings_.JpegChrom = 9;

    QSignalSpy quits(window.get(), &MainWindow::quitRequested);
    QVERIFY(window->close());
    QCOMPARE(quits.size(), 1);
    QVERIFY(SettingsSandbox::storedKeys().isEmpty());
}

void MainWindowTest::choiceComesBackOnlyAfterQuit() {
    {
        auto window = start();
        window->chooseResolution(4);
        control<QPushButton>(*window, "cmdQuit")->click();
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

void MainWindowTest::folderClickSavesTheFolderAndShowsItAsTooltip() {
    const QString folder = pictures_->filePath(QStringLiteral("chosen"));
    QVERIFY(QDir().mkpath(folder));
    auto window = start();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    clickFolder(*window, folder);
    QCOMPARE(savedText("lastfolder"), folder);
    QCOMPARE(window->folderTree().toolTip(), folder);
    QCOMPARE(SettingsSandbox::storedKeys(), QStringList{"Settings/lastfolder"});
}

void MainWindowTest::clickOnMyComputerKeepsTheSavedFolder() {
    saved("lastfolder", pictures_->path());
    auto window = start();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    clickFolder(*window, QStringLiteral("My Computer"));
    QCOMPARE(savedText("lastfolder"), pictures_->path());
    QCOMPARE(window->folderTree().toolTip(), QStringLiteral("My Computer"));
}

void MainWindowTest::folderClickWithTooltipsOffClearsTheTooltip() {
    saved("showtips", QStringLiteral("0"));
    auto window = start();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->folderTree().setToolTip(QStringLiteral("left over"));
    clickFolder(*window, pictures_->path());
    QCOMPARE(window->folderTree().toolTip(), QString());
    QCOMPARE(savedText("lastfolder"), pictures_->path());
}

void MainWindowTest::imageClickRequestsAnAbort() {
    auto window = start();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->beginRunState(3);
    QVERIFY(!window->AbortRequested());
    auto* image = control<ImageView>(*window, "imgProcess");
    QTest::mouseClick(image, Qt::LeftButton, {}, image->rect().center());
    QVERIFY(window->AbortRequested());
    window->endRunState();
}

void MainWindowTest::runningStateDisablesTheControlsAndEndRestoresThem() {
    auto window = start();
    const char* runLocked[] = {"lstFolders", "lstRes",     "chkSubs", "picLogo",
                               "cmdOptions", "cmdProcess", "cmdQuit", "cmdMap"};
    window->beginRunState(7);

    for (const char* name : runLocked)
        QVERIFY2(!control<QWidget>(*window, name)->isEnabled(), name);
    QVERIFY(control<QWidget>(*window, "imgProcess")->isEnabled());
    QVERIFY(!control<QAction>(*window, "mnuProcess")->isEnabled());
    QVERIFY(!control<QAction>(*window, "mnuDetailedList")->isEnabled());
    QVERIFY(control<QAction>(*window, "mnuQuit")->isEnabled());
    QVERIFY(control<QAction>(*window, "mnuOptions")->isEnabled());
    QCOMPARE(window->windowTitle(),
             QStringLiteral("Click the image window to abort processing..."));
    QVERIFY(QGuiApplication::overrideCursor() != nullptr);
    QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    auto* progress = control<QProgressBar>(*window, "prgProcess");
    QCOMPARE(progress->minimum(), 0);
    QCOMPARE(progress->maximum(), 7);
    QCOMPARE(progress->value(), 0);

    window->setStatusLine1(QStringLiteral("Processing 3 of 7"));
    window->setStatusLine2(QStringLiteral("photo.jpg"));
    window->setProgressValue(3);
    window->imageView().showPicture({1, 1, {255, 0, 0}});

    window->endRunState();
    for (const char* name : runLocked)
        QVERIFY2(control<QWidget>(*window, name)->isEnabled(), name);
    QVERIFY(control<QAction>(*window, "mnuProcess")->isEnabled());
    QVERIFY(control<QAction>(*window, "mnuDetailedList")->isEnabled());
    QCOMPARE(window->windowTitle(), QStringLiteral("Kovi rZk Lite v1.1.0"));
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    QCOMPARE(progress->value(), 0);
    QCOMPARE(control<QLabel>(*window, "labStatus1")->text(), QString());
    QCOMPARE(control<QLabel>(*window, "labStatus2")->text(), QString());
    QVERIFY(!window->imageView().hasPicture());
}

void MainWindowTest::tabOrderFollowsTheControls() {
    auto window = start();
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    window->folderTree().setFocus();
    QStringList order;
    for (int i = 0; i < 8; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order.append(QApplication::focusWidget()->objectName());
    }
    QCOMPARE(order, (QStringList{"lstRes", "cmdProcess", "cmdOptions", "cmdQuit", "chkSubs",
                                 "cmdMap", "imgProcess", "lstFolders"}));
}

void MainWindowTest::menusCarryTheirCaptionsAndShortcuts() {
    auto window = start();
    QStringList shown;
    for (QAction* menuAction : window->menuBar()->actions()) {
        shown.append(menuAction->text());
        for (QAction* item : menuAction->menu()->actions()) {
            QString line =
                QStringLiteral("  ") + (item->isSeparator() ? QStringLiteral("-") : item->text());
            if (!item->shortcut().isEmpty())
                line += QStringLiteral(" [") + item->shortcut().toString() + QLatin1Char(']');
            shown.append(line);
        }
    }
    QCOMPARE(shown, (QStringList{"&File", "  &Process", "  &Map Network Drive",
                                 "  &Generate Detailed List", "  -", "  &Quit [Ctrl+Q]", "&View",
                                 "  &Custom Resolutions", "  &Folder Exclusions",
                                 "  &Extension Exclusions", "  -", "  &Options", "&Help",
                                 "  &Kovi rZk Lite Help [F1]", "  -", "  &About Kovi rZk Lite"}));
}

void MainWindowTest::resolutionListEditsFromTheCustomDialog() {
    writeCustomFile("640x480\r\n");
    saved("lastresindex", QStringLiteral("800x600"));
    auto window = start();
    window->appendResolution(QStringLiteral("700x500"));
    QCOMPARE(window->targetResolution(), QStringLiteral("800x600"));
    window->removeResolution(QStringLiteral("640x480"));
    QVERIFY(!window->resolutions().contains(QStringLiteral("640x480")));
    QCOMPARE(window->resolutions().size(), 9);
    window->chooseResolution(0);
    QCOMPARE(settings_.LastResIndex, QStringLiteral("80x80"));
}

} // namespace kovi

QTEST_MAIN(kovi::MainWindowTest)
#include "MainWindowTest.moc"
