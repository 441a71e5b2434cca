#pragma once

#include "core/imaging/base/JpegFactors.h"
#include "core/program/ProgramFiles.h"
#include "core/program/ProgramSettings.h"
#include "core/program/SettingsStore.h"
#include "core/run/TargetResolution.h"
#include "platform/desktop/BusyCursor.h"
#include "ui/editors/ResolutionList.h"
#include "ui/main/MainWindowUi.h"

#include <QMainWindow>
#include <QStringList>

#include <atomic>
#include <memory>
#include <optional>

namespace kovi {

class BatchRunner;
class ListingRunner;
class FolderTree;
class HTMLHelp;

// The program's main window: the folder to process, the target resolution, the sub-folder
// switch, the picture of the file being worked on, two status lines and a progress bar, and
// the commands. It reads its controls and leaves the work to the core; runs drive it through
// the public methods below.
class MainWindow : public QMainWindow, public FolderSelection, public ResolutionList {
    Q_OBJECT
public:
    // Loads the settings into `settings` and shows them; `files` are the program's own.
    MainWindow(ProgramSettings& settings, ProgramFiles files, QWidget* parent = nullptr);
    ~MainWindow() override;

    // "Kovi rZk Lite v1.1.0": the caption at rest.
    static QString StartupCaption();

    // The folder tree's selection: a full path, or "My Computer".
    QString SelectedFolder() const override;
    void SetSelectedFolder(const QString& folder) override;

    // The chosen resolution's text, and the sub-folder switch.
    QString targetResolution() const;
    bool processSubFolders() const;
    // The JPEG factors in force, which a run reads before each file.
    SharedJpegFactors& jpegFactors() { return jpegFactors_; }
    // Set by a click on the picture (and by quitting); a run clears it when it starts and
    // stops before its next file once it is set.
    std::atomic<bool>& AbortRequested() { return abortRequested_; }

    ProgramSettings& settings() { return settings_; }
    const ProgramFiles& programFiles() const { return files_; }
    SettingsStore& settingsStore() { return store_; }
    FolderTree& folderTree();
    BatchRunner& batchRunner() { return *batch_; }
    ListingRunner& listingRunner() { return *listing_; }
    // A batch run or a listing scan is under way.
    bool isBusy() const;

    // The resolution list: nine built-in sizes, then the entries of custom.dat.
    QStringList resolutions() const;
    // Adds an entry at the end; the selection stays.
    void appendResolution(const QString& resolution) override;
    // Removes every entry equal to the text (exact, case-sensitive), built-in ones too. The
    // chosen entry stays chosen while it is listed; when it was removed, the first entry is.
    void removeResolution(const QString& resolution) override;
    // Selects an entry as a user's choice would: it becomes the current target resolution.
    void chooseResolution(int index);

    // The running state of a batch run: the controls that would start or change a run are
    // disabled, the caption asks for a click to abort, the pointer is busy and the progress
    // bar counts from 0 to `targetCount`. The abort flag is the run's own to clear.
    void beginRunState(int targetCount);
    // Back at rest: controls enabled, caption, pointer, progress, status lines and picture
    // as at start-up.
    void endRunState();
    // The commands that start a run or a listing; off while either is under way.
    void setRunCommandsEnabled(bool enabled);
    void setStatusLine1(const QString& text);
    void setStatusLine2(const QString& text);
    void setProgressValue(int value);

signals:
    // Quit or the close box: the program should end now. While a run or a scan is under way
    // this comes once it has stopped after its current file.
    void quitRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void connectCommands();
    void connectRuns();
    void fillResolutionList();
    void loadSettings();

    void folderChosen();
    void resolutionChosen();
    void subFoldersClicked();
    void imageClicked();
    void quitProgram();
    // Stops a run or a scan under way, then saves the four settings and quits once the
    // program is idle.
    void quitWhenIdle();
    void workChanged();

    // Commands whose windows and runs are added by their own features.
    void startProcessing();
    void mapNetworkDrive();
    void showOptions();
    void generateDetailedList();
    void showCustomResolutions();
    void showFolderExclusions();
    void showExtensionExclusions();
    void showHelpContents();
    void showAbout();

    MainWindowUi ui_;
    ProgramSettings& settings_;
    const ProgramFiles files_;
    SettingsStore store_;
    std::atomic<bool> abortRequested_{false};
    SharedJpegFactors jpegFactors_;
    std::optional<BusyCursorGuard> busyCursor_;
    bool quitPending_ = false;
    // After the abort flag, which their workers use until they are destroyed.
    std::unique_ptr<BatchRunner> batch_;
    std::unique_ptr<ListingRunner> listing_;
    // Made on the first help request and kept until the program ends.
    std::unique_ptr<HTMLHelp> help_;
};

} // namespace kovi
