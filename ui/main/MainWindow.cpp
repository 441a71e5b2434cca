#include "ui/main/MainWindow.h"

#include "core/listfiles/ListFile.h"
#include "kovi/Version.h"
#include "platform/desktop/FolderTree.h"
#include "platform/desktop/MessageSink.h"
#include "platform/desktop/NetworkDrive.h"
#include "ui/editors/CustomResolutionsEditor.h"
#include "ui/editors/ExtensionExclusionsEditor.h"
#include "ui/editors/FolderExclusionsEditor.h"
#include "ui/help/AboutDialog.h"
#include "ui/help/HTMLHelp.h"
#include "ui/listing/ListingRunner.h"
#include "ui/main/BatchRunner.h"
#include "ui/main/ImageView.h"
#include "ui/main/OptionsDialog.h"
#include "ui/main/PictureBox.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

namespace kovi {
namespace {

constexpr const char* BuiltInResolutions[] = {"80x80",    "150x150",   "320x240",
                                              "640x480",  "800x600",   "1024x768",
                                              "1152x864", "1200x1024", "1600x1200"};

constexpr char RunningCaption[] = "Click the image window to abort processing...";

} // namespace

MainWindow::MainWindow(ProgramSettings& settings, ProgramFiles files, QWidget* parent)
    : QMainWindow(parent), settings_(settings), files_(std::move(files)), store_(settings, this),
      batch_(std::make_unique<BatchRunner>(*this, abortRequested_)),
      listing_(std::make_unique<ListingRunner>(*this, abortRequested_, files_.exportFolder)) {
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    ui_.setupUi(*this);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());

    connectCommands();
    connectRuns();

    setWindowTitle(StartupCaption());
    fillResolutionList();
    loadSettings();
    ui_.lstFolders->setFocus();
}

MainWindow::~MainWindow() = default;

QString MainWindow::StartupCaption() {
    return QStringLiteral("%1 v%2.%3.%4")
        .arg(QString::fromLatin1(ProductName))
        .arg(VersionMajor)
        .arg(VersionMinor)
        .arg(VersionRevision);
}

void MainWindow::connectCommands() {
    connect(ui_.lstFolders, &FolderTree::folderChosen, this, &MainWindow::folderChosen);
    connect(ui_.lstRes, &QComboBox::activated, this, &MainWindow::resolutionChosen);
    connect(ui_.chkSubs, &QCheckBox::clicked, this, &MainWindow::subFoldersClicked);
    connect(ui_.imgProcess, &ImageView::ImageClick, this, &MainWindow::imageClicked);

    connect(ui_.cmdProcess, &QPushButton::clicked, this, &MainWindow::startProcessing);
    connect(ui_.mnuProcess, &QAction::triggered, this, &MainWindow::startProcessing);
    connect(ui_.cmdMap, &QPushButton::clicked, this, &MainWindow::mapNetworkDrive);
    connect(ui_.mnuMap, &QAction::triggered, this, &MainWindow::mapNetworkDrive);
    connect(ui_.mnuDetailedList, &QAction::triggered, this, &MainWindow::generateDetailedList);
    connect(ui_.cmdQuit, &QPushButton::clicked, this, &MainWindow::quitProgram);
    connect(ui_.mnuQuit, &QAction::triggered, this, &MainWindow::quitProgram);

    connect(ui_.mnuCustom, &QAction::triggered, this, &MainWindow::showCustomResolutions);
    connect(ui_.mnuFolderExclusions, &QAction::triggered, this, &MainWindow::showFolderExclusions);
    connect(ui_.mnuProcessingExtentions, &QAction::triggered, this,
            &MainWindow::showExtensionExclusions);
    connect(ui_.cmdOptions, &QPushButton::clicked, this, &MainWindow::showOptions);
    connect(ui_.mnuOptions, &QAction::triggered, this, &MainWindow::showOptions);

    connect(ui_.mnuKoviHelp, &QAction::triggered, this, &MainWindow::showHelpContents);
    connect(ui_.mnuAbout, &QAction::triggered, this, &MainWindow::showAbout);
    connect(ui_.picLogo, &PictureBox::clicked, this, &MainWindow::showAbout);
}

void MainWindow::connectRuns() {
    connect(batch_.get(), &BatchRunner::statusLine1Changed, this, &MainWindow::setStatusLine1);
    connect(batch_.get(), &BatchRunner::statusLine2Changed, this, &MainWindow::setStatusLine2);
    connect(batch_.get(), &BatchRunner::runStateBegun, this, &MainWindow::beginRunState);
    connect(batch_.get(), &BatchRunner::progressChanged, this, &MainWindow::setProgressValue);
    connect(batch_.get(), &BatchRunner::pictureChanged, ui_.imgProcess, &ImageView::showPicture);
    connect(batch_.get(), &BatchRunner::runStateEnded, this, &MainWindow::endRunState);
    connect(batch_.get(), &BatchRunner::runningChanged, this, &MainWindow::workChanged);
    connect(listing_.get(), &ListingRunner::runningChanged, this, &MainWindow::workChanged);
}

void MainWindow::fillResolutionList() {
    for (const char* resolution : BuiltInResolutions)
        ui_.lstRes->addItem(QString::fromLatin1(resolution));
    for (const std::string& entry : LoadList(files_.customResolutions))
        ui_.lstRes->addItem(QString::fromStdString(entry));
}

void MainWindow::loadSettings() {
    store_.LoadRegSetting(QLatin1String(LastFolderKey));

    store_.LoadRegSetting(QLatin1String(LastResIndexKey));
    const int chosen = ui_.lstRes->findText(settings_.LastResIndex);
    // A saved size that is no longer listed (a custom size removed meanwhile): the first
    // entry, so that what is shown is also what a run uses.
    chooseResolution(chosen >= 0 ? chosen : 0);

    store_.LoadRegSetting(QLatin1String(ProcessSubsKey));
    ui_.chkSubs->setChecked(settings_.ProcessSubs == QLatin1String("1"));

    store_.LoadRegSetting(QLatin1String(JpegChromKey));
    jpegFactors_.setChrominance(settings_.JpegChrom);
    store_.LoadRegSetting(QLatin1String(JpegLumKey));
    jpegFactors_.setLuminance(settings_.JpegLum);

    store_.LoadRegSetting(QLatin1String(ShowTipsKey));
    store_.LoadRegSetting(QLatin1String(WriteLogKey));
}

QString MainWindow::SelectedFolder() const {
    return ui_.lstFolders->SelectedFolder();
}

void MainWindow::SetSelectedFolder(const QString& folder) {
    ui_.lstFolders->SetSelectedFolder(folder);
}

QString MainWindow::targetResolution() const {
    return ui_.lstRes->currentText();
}

bool MainWindow::processSubFolders() const {
    return ui_.chkSubs->isChecked();
}

FolderTree& MainWindow::folderTree() {
    return *ui_.lstFolders;
}

bool MainWindow::isBusy() const {
    return batch_->isRunning() || listing_->isRunning();
}

QStringList MainWindow::resolutions() const {
    QStringList entries;
    for (int i = 0; i < ui_.lstRes->count(); ++i)
        entries.append(ui_.lstRes->itemText(i));
    return entries;
}

void MainWindow::appendResolution(const QString& resolution) {
    ui_.lstRes->addItem(resolution);
}

void MainWindow::removeResolution(const QString& resolution) {
    const QString chosen = ui_.lstRes->currentText();
    for (int i = ui_.lstRes->count() - 1; i >= 0; --i) {
        if (ui_.lstRes->itemText(i) == resolution)
            ui_.lstRes->removeItem(i);
    }
    // A run must never use a size the user did not choose: the choice stays while it is
    // listed, and only a choice that was removed falls back to the first entry.
    const int stillListed = ui_.lstRes->findText(chosen);
    chooseResolution(stillListed >= 0 ? stillListed : 0);
}

void MainWindow::chooseResolution(int index) {
    if (index < 0 || index >= ui_.lstRes->count())
        return;
    ui_.lstRes->setCurrentIndex(index);
    resolutionChosen();
}

void MainWindow::beginRunState(int targetCount) {
    // A range of 0..0 would show the bar's busy animation instead of a count.
    ui_.prgProcess->setRange(0, std::max(targetCount, 1));
    ui_.prgProcess->setValue(0);
    for (QWidget* control :
         {static_cast<QWidget*>(ui_.lstFolders), static_cast<QWidget*>(ui_.lstRes),
          static_cast<QWidget*>(ui_.chkSubs), static_cast<QWidget*>(ui_.picLogo),
          static_cast<QWidget*>(ui_.cmdOptions), static_cast<QWidget*>(ui_.cmdProcess),
          static_cast<QWidget*>(ui_.cmdQuit), static_cast<QWidget*>(ui_.cmdMap)})
        control->setEnabled(false);
    setRunCommandsEnabled(false);
    setWindowTitle(QString::fromLatin1(RunningCaption));
    busyCursor_.emplace();
}

void MainWindow::endRunState() {
    ui_.prgProcess->setValue(0);
    ui_.labStatus1->clear();
    ui_.labStatus2->clear();
    ui_.imgProcess->clear();
    for (QWidget* control :
         {static_cast<QWidget*>(ui_.lstFolders), static_cast<QWidget*>(ui_.lstRes),
          static_cast<QWidget*>(ui_.chkSubs), static_cast<QWidget*>(ui_.picLogo),
          static_cast<QWidget*>(ui_.cmdOptions), static_cast<QWidget*>(ui_.cmdProcess),
          static_cast<QWidget*>(ui_.cmdQuit), static_cast<QWidget*>(ui_.cmdMap)})
        control->setEnabled(true);
    setRunCommandsEnabled(true);
    setWindowTitle(StartupCaption());
    busyCursor_.reset();
}

void MainWindow::setRunCommandsEnabled(bool enabled) {
    ui_.cmdProcess->setEnabled(enabled);
    ui_.mnuProcess->setEnabled(enabled);
    ui_.mnuDetailedList->setEnabled(enabled);
}

void MainWindow::setStatusLine1(const QString& text) {
    ui_.labStatus1->setText(text);
}

void MainWindow::setStatusLine2(const QString& text) {
    ui_.labStatus2->setText(text);
}

void MainWindow::setProgressValue(int value) {
    ui_.prgProcess->setValue(value);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Users close windows this way as often as with Quit, and would lose their choices: the
    // close box saves what Quit saves. A run under way first finishes its current file; the
    // window stays until then.
    if (isBusy())
        event->ignore();
    else
        event->accept();
    quitWhenIdle();
}

void MainWindow::folderChosen() {
    const QString folder = SelectedFolder();
    if (folder != QLatin1String(MyComputerText))
        store_.SaveRegSetting(QLatin1String(LastFolderKey));
    ui_.lstFolders->setToolTip(settings_.ShowTips != 0 ? folder : QString());
}

void MainWindow::resolutionChosen() {
    settings_.LastResIndex = ui_.lstRes->currentText();
}

void MainWindow::subFoldersClicked() {
    settings_.ProcessSubs = ui_.chkSubs->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
}

void MainWindow::imageClicked() {
    abortRequested_ = true;
}

void MainWindow::quitProgram() {
    quitWhenIdle();
}

void MainWindow::quitWhenIdle() {
    quitPending_ = true;
    abortRequested_ = true;
    batch_->stopQuietly();
    listing_->stopQuietly();
    workChanged();
}

void MainWindow::workChanged() {
    const bool busy = isBusy();
    setRunCommandsEnabled(!busy);
    if (busy || !quitPending_)
        return;
    store_.SaveRegSetting(QLatin1String(ProcessSubsKey));
    store_.SaveRegSetting(QLatin1String(LastResIndexKey));
    store_.SaveRegSetting(QLatin1String(JpegChromKey));
    store_.SaveRegSetting(QLatin1String(JpegLumKey));
    quitPending_ = false;
    emit quitRequested();
}

void MainWindow::startProcessing() {
    if (isBusy())
        return;
    const auto target = ParseTargetResolution(targetResolution().toStdString());
    if (!target) {
        ShowError(QStringLiteral("Invalid target resolution"), this);
        return;
    }
    BatchOptions options;
    options.folder = SelectedFolder().toStdString();
    options.target = *target;
    options.processSubFolders = processSubFolders();
    options.writeLog = settings_.WriteLog != 0;
    options.excludedExtensionsFile = files_.excludedExtensions;
    options.excludedFoldersFile = files_.excludedFolders;
    options.jpegFactors = [factors = &jpegFactors_] {
        return factors->get();
    };
    batch_->start(options);
}

void MainWindow::mapNetworkDrive() {
    ConnectNetworkDrive(this);
}

void MainWindow::showOptions() {
    OptionsDialog options(settings_, store_, jpegFactors_, *ui_.lstFolders, this);
    options.exec();
}

void MainWindow::generateDetailedList() {
    if (!isBusy())
        listing_->start(SelectedFolder(), targetResolution(), processSubFolders());
}

void MainWindow::showCustomResolutions() {
    CustomResolutionsEditor editor(*this, files_.customResolutions, this);
    editor.exec();
}

void MainWindow::showFolderExclusions() {
    FolderExclusionsEditor editor(files_.excludedFolders, this);
    editor.exec();
}

void MainWindow::showExtensionExclusions() {
    ExtensionExclusionsEditor editor(files_.excludedExtensions, this);
    editor.exec();
}

void MainWindow::showHelpContents() {
    if (!help_)
        help_ = std::make_unique<HTMLHelp>(files_.folder);
    help_->setCHMFile(QString::fromStdString(files_.helpFile.string()));
    help_->HHDisplayContents();
}

void MainWindow::showAbout() {
    AboutDialog about(this);
    about.exec();
}

} // namespace kovi
