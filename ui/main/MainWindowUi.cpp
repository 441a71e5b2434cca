#include "ui/main/MainWindowUi.h"

#include "platform/desktop/FolderTree.h"
#include "platform/desktop/Twips.h"
#include "ui/main/ImageView.h"
#include "ui/main/Logo.h"
#include "ui/main/PictureBox.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>

namespace kovi {
namespace {

constexpr int ClientWidthTwips = 6744;
constexpr int ClientHeightTwips = 5436;
constexpr int MapIconSide = 16;

QAction* AddItem(QMenu& menu, const char* name, const char* caption) {
    QAction* item = menu.addAction(QString::fromLatin1(caption));
    item->setObjectName(QLatin1String(name));
    return item;
}

void AddSeparator(QMenu& menu, const char* name) {
    menu.addSeparator()->setObjectName(QLatin1String(name));
}

QMenu* AddMenu(QMainWindow& window, const char* name, const char* caption) {
    QMenu* menu = window.menuBar()->addMenu(QString::fromLatin1(caption));
    menu->setObjectName(QLatin1String(name));
    return menu;
}

} // namespace

void MainWindowUi::setupUi(QMainWindow& window) {
    setupControls(window);
    setupMenus(window);
}

void MainWindowUi::setupControls(QMainWindow& window) {
    const double dpi = LogicalDpi(window);
    auto* client = new QWidget(&window);
    client->setFixedSize(TwipsToPixels(ClientWidthTwips, dpi),
                         TwipsToPixels(ClientHeightTwips, dpi));
    window.setCentralWidget(client);

    fraMain = Place(new QGroupBox(client), "fraMain", {0, 0, 6732, 5412}, dpi);

    lstFolders = Place(new FolderTree(fraMain), "lstFolders", {120, 240, 3732, 3648}, dpi);

    imgProcess = Place(new ImageView(fraMain), "imgProcess", {3960, 240, 2652, 2652}, dpi);
    imgProcess->setFocusPolicy(Qt::StrongFocus);

    picLogo = Place(new PictureBox(fraMain), "picLogo", {3960, 3000, 2700, 810}, dpi);
    picLogo->setPixmap(DrawLogo());
    picLogo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picLogo->setToolTip(QStringLiteral("About Kovi rZk Lite"));
    picLogo->setCursor(Qt::PointingHandCursor);

    lstRes = Place(new QComboBox(fraMain), "lstRes", {120, 3960, 1332, 288}, dpi);

    prgProcess = Place(new QProgressBar(fraMain), "prgProcess", {1560, 3960, 1812, 288}, dpi);
    prgProcess->setTextVisible(false);
    prgProcess->setRange(0, 1);
    prgProcess->setValue(0);

    QFont bold = window.font();
    bold.setBold(true);

    cmdMap = Place(new QPushButton(fraMain), "cmdMap", {3480, 3960, 372, 288}, dpi);
    cmdMap->setIcon(window.style()->standardIcon(QStyle::SP_DriveNetIcon));
    cmdMap->setIconSize(QSize(MapIconSide, MapIconSide));
    cmdMap->setToolTip(QStringLiteral("Map Network Drive"));

    cmdProcess = Place(new QPushButton(QStringLiteral("&Process"), fraMain), "cmdProcess",
                       {3960, 3960, 2652, 372}, dpi);
    chkSubs = Place(new QCheckBox(QStringLiteral("Process &sub-folders"), fraMain), "chkSubs",
                    {120, 4320, 3732, 252}, dpi);
    cmdOptions = Place(new QPushButton(QStringLiteral("&Options"), fraMain), "cmdOptions",
                       {3960, 4440, 2652, 372}, dpi);
    labStatus1 = Place(new QLabel(fraMain), "labStatus1", {120, 4680, 3732, 252}, dpi);
    cmdQuit = Place(new QPushButton(QStringLiteral("&Quit"), fraMain), "cmdQuit",
                    {3960, 4920, 2652, 372}, dpi);
    labStatus2 = Place(new QLabel(fraMain), "labStatus2", {120, 5040, 3732, 252}, dpi);

    for (QWidget* control : {static_cast<QWidget*>(cmdMap), static_cast<QWidget*>(cmdProcess),
                             static_cast<QWidget*>(chkSubs), static_cast<QWidget*>(cmdOptions),
                             static_cast<QWidget*>(cmdQuit)})
        control->setFont(bold);
    for (QLabel* status : {labStatus1, labStatus2})
        status->setAlignment(Qt::AlignCenter);

    QWidget::setTabOrder(lstFolders, lstRes);
    QWidget::setTabOrder(lstRes, cmdProcess);
    QWidget::setTabOrder(cmdProcess, cmdOptions);
    QWidget::setTabOrder(cmdOptions, cmdQuit);
    QWidget::setTabOrder(cmdQuit, chkSubs);
    QWidget::setTabOrder(chkSubs, cmdMap);
    QWidget::setTabOrder(cmdMap, imgProcess);
}

void MainWindowUi::setupMenus(QMainWindow& window) {
    mnuFile = AddMenu(window, "mnuFile", "&File");
    mnuProcess = AddItem(*mnuFile, "mnuProcess", "&Process");
    mnuMap = AddItem(*mnuFile, "mnuMap", "&Map Network Drive");
    mnuDetailedList = AddItem(*mnuFile, "mnuDetailedList", "&Generate Detailed List");
    AddSeparator(*mnuFile, "mnuSep1");
    mnuQuit = AddItem(*mnuFile, "mnuQuit", "&Quit");
    mnuQuit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    mnuView = AddMenu(window, "mnuView", "&View");
    mnuCustom = AddItem(*mnuView, "mnuCustom", "&Custom Resolutions");
    mnuFolderExclusions = AddItem(*mnuView, "mnuFolderExclusions", "&Folder Exclusions");
    mnuProcessingExtentions = AddItem(*mnuView, "mnuProcessingExtentions", "&Extension Exclusions");
    AddSeparator(*mnuView, "mnuSep2");
    mnuOptions = AddItem(*mnuView, "mnuOptions", "&Options");

    mnuHelp = AddMenu(window, "mnuHelp", "&Help");
    mnuKoviHelp = AddItem(*mnuHelp, "mnuKoviHelp", "&Kovi rZk Lite Help");
    mnuKoviHelp->setShortcut(QKeySequence(Qt::Key_F1));
    AddSeparator(*mnuHelp, "mnuSep3");
    mnuAbout = AddItem(*mnuHelp, "mnuAbout", "&About Kovi rZk Lite");
}

} // namespace kovi
