#pragma once

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QMainWindow;
class QMenu;
class QProgressBar;
class QPushButton;

namespace kovi {

class FolderTree;
class ImageView;
class PictureBox;

// The main window's controls and menu, built in plain code; all owned by the window.
struct MainWindowUi {
    QGroupBox* fraMain = nullptr;
    FolderTree* lstFolders = nullptr;
    ImageView* imgProcess = nullptr;
    PictureBox* picLogo = nullptr;
    QComboBox* lstRes = nullptr;
    QProgressBar* prgProcess = nullptr;
    QPushButton* cmdMap = nullptr;
    QPushButton* cmdProcess = nullptr;
    QCheckBox* chkSubs = nullptr;
    QPushButton* cmdOptions = nullptr;
    QLabel* labStatus1 = nullptr;
    QPushButton* cmdQuit = nullptr;
    QLabel* labStatus2 = nullptr;

    QMenu* mnuFile = nullptr;
    QAction* mnuProcess = nullptr;
    QAction* mnuMap = nullptr;
    QAction* mnuDetailedList = nullptr;
    QAction* mnuQuit = nullptr;
    QMenu* mnuView = nullptr;
    QAction* mnuCustom = nullptr;
    QAction* mnuFolderExclusions = nullptr;
    QAction* mnuProcessingExtentions = nullptr;
    QAction* mnuOptions = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuKoviHelp = nullptr;
    QAction* mnuAbout = nullptr;

    void setupUi(QMainWindow& window);

private:
    void setupControls(QMainWindow& window);
    void setupMenus(QMainWindow& window);
};

} // namespace kovi
