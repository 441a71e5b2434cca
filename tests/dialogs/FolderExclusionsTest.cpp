// The folder exclusions editor: the folder tree's selection goes into the list box and
// exflds.dat together.
#include "app/ProgramFolder.h"
#include "lists/FileRoutines.h"
#include "lists/frmFolderEx.h"
#include "platform/FolderTree.h"

#include "tests/dialogs/DialogTesting.h"
#include "tests/support/TempFolder.h"

#include <QDir>
#include <QListWidget>
#include <QTest>

#include <sys/stat.h>

namespace kovi {

using testing::Click;
using testing::Control;
using testing::Entries;
using testing::ReadBytes;
using testing::RecordingSink;
using testing::SelectRow;
using testing::WriteBytes;

class FolderExclusionsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void opensWithMyComputerSelectedAndTheEntriesOfExfldsDat();
    void windowIsAFixedToolWindowWithTheControlsInPlace();
    void tabOrderFollowsTheControls();
    void myComputerIsNeverAdded();
    void addTwiceAddsTheFolderTwiceToListAndFile();
    void rightClickAddsTheFolderUnderThePointer();
    void leftAndMiddleClicksAddNothing();
    void folderWithALineBreakIsRefused();
    void removeWithoutSelectionSaysSoAndChangesNothing();
    void removeTakesOnlyTheSelectedEntry();
    void removeOfTheOnlyEntryLeavesAnEmptyFile();
    void clearAllDeletesAReadOnlyFile();
    void clearAllWithoutAFileSaysNothing();
    void unwritableFolderShowsAnErrorAndTheDialogCarriesOn();

private:
    void open();
    QString makeFolder(const QString& name);
    // Shows the folder's row in the tree and returns where it is.
    QPoint rowOf(const QString& folder);
    std::string fileBytes() const { return ReadBytes(ExcludedFoldersFile()); }
    QListWidget& list() { return *Control<QListWidget>(*dialog_, "lstExFolders"); }
    FolderTree& tree() { return *Control<FolderTree>(*dialog_, "lstFolders"); }

    std::unique_ptr<testing::ProgramFolderSandbox> program_;
    std::unique_ptr<QTemporaryDir> pictures_;
    std::unique_ptr<RecordingSink> messages_;
    std::unique_ptr<frmFolderEx> dialog_;
};

void FolderExclusionsTest::init() {
    program_ = std::make_unique<testing::ProgramFolderSandbox>();
    pictures_ = std::make_unique<QTemporaryDir>();
    QVERIFY(program_->isValid() && pictures_->isValid());
    messages_ = std::make_unique<RecordingSink>();
}

void FolderExclusionsTest::cleanup() {
    dialog_.reset();
    messages_.reset();
    pictures_.reset();
    program_.reset();
    testing::VerifyNoWindowLeft();
}

void FolderExclusionsTest::open() {
    dialog_ = std::make_unique<frmFolderEx>();
    testing::ShowActive(*dialog_);
}

QString FolderExclusionsTest::makeFolder(const QString& name) {
    const QString folder = pictures_->filePath(name);
    if (!QDir().mkpath(folder))
        qFatal("cannot make %s", qPrintable(folder));
    return folder;
}

QPoint FolderExclusionsTest::rowOf(const QString& folder) {
    FolderTree& folders = tree();
    QModelIndex row;
    if (!QTest::qWaitFor([&] { return (row = folders.indexOfFolder(folder)).isValid(); }))
        qFatal("%s is not in the tree", qPrintable(folder));
    for (QModelIndex above = row.parent(); above.isValid(); above = above.parent())
        folders.expand(above);
    folders.scrollTo(row);
    // Deep rows reach past the right edge: a point on the name's start.
    const QRect shown = folders.visualRect(row);
    return {shown.left() + std::min(shown.width() / 2, 12), shown.center().y()};
}

void FolderExclusionsTest::opensWithMyComputerSelectedAndTheEntriesOfExfldsDat() {
    WriteBytes(ExcludedFoldersFile(), "/srv/photos\r\n\r\n/srv/photos\r\n");
    open();
    QCOMPARE(dialog_->windowTitle(), QStringLiteral("Add/Remove Folder Exclusions"));
    QCOMPARE(tree().SelectedFolder(), QStringLiteral("My Computer"));
    QCOMPARE(Entries(list()), (QStringList{"/srv/photos", "", "/srv/photos"}));
    QCOMPARE(QApplication::focusWidget(), Control<QPushButton>(*dialog_, "cmdAdd"));
}

void FolderExclusionsTest::windowIsAFixedToolWindowWithTheControlsInPlace() {
    open();
    QCOMPARE(dialog_->windowType(), Qt::Tool);
    QVERIFY(dialog_->isModal());
    // 8184 x 3624 twips at 96 dpi.
    QCOMPARE(dialog_->size(), QSize(546, 242));
    QCOMPARE(dialog_->minimumSize(), dialog_->maximumSize());
    QCOMPARE(tree().geometry(), QRect(8, 16, 193, 211));
    QCOMPARE(list().geometry(), QRect(344, 16, 193, 195));
    QCOMPARE(Control<QPushButton>(*dialog_, "cmdClose")->geometry(), QRect(208, 184, 129, 25));
}

void FolderExclusionsTest::tabOrderFollowsTheControls() {
    open();
    QCOMPARE(testing::TabOrder(6), (QStringList{"cmdRemove", "cmdClear", "cmdClose", "lstFolders",
                                                "lstExFolders", "cmdAdd"}));
}

void FolderExclusionsTest::myComputerIsNeverAdded() {
    open();
    Click(*dialog_, "cmdAdd");
    FolderTree& folders = tree();
    const QRect myComputer =
        folders.visualRect(folders.indexOfFolder(QStringLiteral("My Computer")));
    QTest::mouseClick(folders.viewport(), Qt::RightButton, {}, myComputer.center());
    QCOMPARE(folders.SelectedFolder(), QStringLiteral("My Computer"));
    QVERIFY(Entries(list()).isEmpty());
    QVERIFY(!FileExists(ExcludedFoldersFile()));
    QVERIFY(messages_->messages.empty());
}

void FolderExclusionsTest::addTwiceAddsTheFolderTwiceToListAndFile() {
    const QString folder = makeFolder(QStringLiteral("Holiday"));
    open();
    tree().SetSelectedFolder(folder);
    Click(*dialog_, "cmdAdd");
    Click(*dialog_, "cmdAdd");
    QCOMPARE(Entries(list()), (QStringList{folder, folder}));
    const std::string line = folder.toStdString() + "\r\n";
    QCOMPARE(fileBytes(), line + line);
    QCOMPARE(tree().SelectedFolder(), folder);
}

void FolderExclusionsTest::rightClickAddsTheFolderUnderThePointer() {
    const QString first = makeFolder(QStringLiteral("a-first"));
    const QString second = makeFolder(QStringLiteral("b-second"));
    open();
    FolderTree& folders = tree();
    folders.SetSelectedFolder(first);
    QTest::mouseClick(folders.viewport(), Qt::RightButton, {}, rowOf(second));
    QCOMPARE(folders.SelectedFolder(), second);
    QCOMPARE(Entries(list()), QStringList{second});
    QCOMPARE(fileBytes(), second.toStdString() + "\r\n");
}

void FolderExclusionsTest::leftAndMiddleClicksAddNothing() {
    const QString folder = makeFolder(QStringLiteral("Left alone"));
    open();
    FolderTree& folders = tree();
    folders.SetSelectedFolder(folder);
    QTest::mouseClick(folders.viewport(), Qt::LeftButton, {}, rowOf(folder));
    QTest::mouseClick(folders.viewport(), Qt::MiddleButton, {}, rowOf(folder));
    QCOMPARE(folders.SelectedFolder(), folder);
    QVERIFY(Entries(list()).isEmpty());
    QVERIFY(!FileExists(ExcludedFoldersFile()));
}

void FolderExclusionsTest::folderWithALineBreakIsRefused() {
    // Two lines in exflds.dat would exclude "/tmp/.../two" and every path holding "lines".
    const QString folder = makeFolder(QStringLiteral("two\nlines"));
    open();
    tree().SetSelectedFolder(folder);
    QCOMPARE(tree().SelectedFolder(), folder);
    Click(*dialog_, "cmdAdd");
    QCOMPARE(messages_->messages.size(), std::size_t{1});
    QVERIFY(messages_->texts().front().contains(QStringLiteral("line break")));
    QVERIFY(Entries(list()).isEmpty());
    QVERIFY(!FileExists(ExcludedFoldersFile()));
}

void FolderExclusionsTest::removeWithoutSelectionSaysSoAndChangesNothing() {
    WriteBytes(ExcludedFoldersFile(), "/srv/a\r\n");
    open();
    Click(*dialog_, "cmdRemove");
    QCOMPARE(messages_->texts(), QStringList{"Select an item from the listing"});
    QCOMPARE(messages_->messages.front().title, QStringLiteral("Error"));
    QCOMPARE(Entries(list()), QStringList{"/srv/a"});
    QCOMPARE(fileBytes(), std::string("/srv/a\r\n"));
}

void FolderExclusionsTest::removeTakesOnlyTheSelectedEntry() {
    WriteBytes(ExcludedFoldersFile(), "/srv/a\r\n/srv/b\r\n/srv/a\r\n");
    open();
    SelectRow(*dialog_, "lstExFolders", 2);
    Click(*dialog_, "cmdRemove");
    QCOMPARE(Entries(list()), (QStringList{"/srv/a", "/srv/b"}));
    QCOMPARE(fileBytes(), std::string("/srv/a\r\n/srv/b\r\n"));
    QVERIFY(messages_->messages.empty());
}

void FolderExclusionsTest::removeOfTheOnlyEntryLeavesAnEmptyFile() {
    WriteBytes(ExcludedFoldersFile(), "/srv/a\r\n");
    open();
    SelectRow(*dialog_, "lstExFolders", 0);
    Click(*dialog_, "cmdRemove");
    QVERIFY(Entries(list()).isEmpty());
    QVERIFY(FileExists(ExcludedFoldersFile()));
    QCOMPARE(fileBytes(), std::string());
}

void FolderExclusionsTest::clearAllDeletesAReadOnlyFile() {
    WriteBytes(ExcludedFoldersFile(), "/srv/a\r\n/srv/b\r\n");
    ::chmod(ExcludedFoldersFile().c_str(), 0444);
    open();
    Click(*dialog_, "cmdClear");
    QVERIFY(Entries(list()).isEmpty());
    QVERIFY(!FileExists(ExcludedFoldersFile()));
    QVERIFY(messages_->messages.empty());
}

void FolderExclusionsTest::clearAllWithoutAFileSaysNothing() {
    open();
    Click(*dialog_, "cmdClear");
    QVERIFY(messages_->messages.empty());
    QVERIFY(dialog_->isVisible());
}

void FolderExclusionsTest::unwritableFolderShowsAnErrorAndTheDialogCarriesOn() {
    WriteBytes(ExcludedFoldersFile(), "/srv/a\r\n");
    const QString folder = makeFolder(QStringLiteral("Excluded"));
    testing::Mount readOnly(ProgramFolder());
    if (!readOnly.readOnly())
        QSKIP("a read-only bind mount needs root and mount(8)");
    open();

    tree().SetSelectedFolder(folder);
    Click(*dialog_, "cmdAdd");
    SelectRow(*dialog_, "lstExFolders", 0);
    Click(*dialog_, "cmdRemove");
    Click(*dialog_, "cmdClear");

    const QString path = QString::fromStdString(ExcludedFoldersFile().string());
    QCOMPARE(messages_->messages.size(), std::size_t{3});
    for (const QString& text : messages_->texts())
        QVERIFY2(text.contains(path) && text.contains(QStringLiteral("Read-only file system")),
                 qPrintable(text));
    QVERIFY(dialog_->isVisible());
    QCOMPARE(fileBytes(), std::string("/srv/a\r\n"));
}

} // namespace kovi

QTEST_MAIN(kovi::FolderExclusionsTest)
#include "FolderExclusionsTest.moc"
