// The three list editors: custom resolutions, folder exclusions and extension exclusions. Every
// change goes at once into the list box and the list file (and, for custom resolutions, into
// the main window's resolution list), whatever state the file is in.
#include "app/MainWindow.h"
#include "app/ProgramFolder.h"
#include "lists/FileRoutines.h"
#include "lists/frmCustomRes.h"
#include "lists/frmFolderEx.h"
#include "lists/frmProcessingEx.h"
#include "platform/FolderTree.h"

#include "tests/dialogs/DialogTesting.h"
#include "tests/support/SettingsSandbox.h"
#include "tests/support/TempFolder.h"

#include <QClipboard>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include <sys/stat.h>

namespace kovi {

using testing::Click;
using testing::Control;
using testing::Entries;
using testing::ReadBytes;
using testing::SelectRow;
using testing::WriteBytes;

enum class Editor { CustomResolutions, FolderExclusions, ExtensionExclusions };

} // namespace kovi

Q_DECLARE_METATYPE(kovi::Editor)

namespace kovi {
namespace {

struct EditorShape {
    const char* title;
    const char* list;
    std::filesystem::path (*file)();
    // Two entries as they stand in the file.
    QString first;
    QString second;
    // Where the focus is on opening, and where a change leaves it (null: not asserted).
    const char* openFocus;
    const char* focusAfterChange;
    QSize size;
    std::vector<std::pair<const char*, QRect>> geometry;
    QStringList tabOrder;
};

// In the order of Editor; sizes are the twips of the original windows at 96 dpi.
const EditorShape Editors[] = {
    {"Add/Remove Custom Resolutions",
     "lstCustom",
     &CustomResolutionsFile,
     "700x500",
     "900x700",
     "txtXRes",
     nullptr,
     {266, 226},
     {{"lstCustom", {160, 16, 97, 195}}},
     {"txtYRes", "cmdAdd", "cmdRemove", "cmdClear", "cmdClose", "lstCustom", "txtXRes"}},
    {"Add/Remove Folder Exclusions",
     "lstExFolders",
     &ExcludedFoldersFile,
     "/srv/a",
     "/srv/b",
     "cmdAdd",
     nullptr,
     {546, 242},
     {{"lstFolders", {8, 16, 193, 211}},
      {"lstExFolders", {344, 16, 193, 195}},
      {"cmdClose", {208, 184, 129, 25}}},
     {"cmdRemove", "cmdClear", "cmdClose", "lstFolders", "lstExFolders", "cmdAdd"}},
    {"Add/Remove Extension Exclusions",
     "lstExt",
     &ExcludedExtensionsFile,
     "BMP",
     "GIF",
     "txtExt",
     "txtExt",
     {266, 266},
     {{"txtExt", {8, 56, 145, 19}}, {"lstExt", {160, 56, 97, 195}}},
     {"cmdAdd", "cmdRemove", "cmdClear", "cmdClose", "lstExt", "txtExt"}}};

std::string Lines(const QStringList& entries) {
    std::string bytes;
    for (const QString& entry : entries)
        bytes += entry.toStdString() + "\r\n";
    return bytes;
}

const QStringList BuiltIn{"80x80",    "150x150",  "320x240",   "640x480",  "800x600",
                          "1024x768", "1152x864", "1200x1024", "1600x1200"};

} // namespace

class ListEditorsTest : public QObject {
    Q_OBJECT

private:
    const EditorShape& shape() const { return Editors[static_cast<int>(editor_)]; }
    QListWidget& list() { return *Control<QListWidget>(*dialog_, shape().list); }
    QLineEdit& box(const char* name) { return *Control<QLineEdit>(*dialog_, name); }
    FolderTree& tree() { return *Control<FolderTree>(*dialog_, "lstFolders"); }
    std::string fileBytes() const { return ReadBytes(shape().file()); }
    void writeFile(const std::string& bytes) const { WriteBytes(shape().file(), bytes); }

    std::unique_ptr<testing::SettingsSandbox> settings_;
    std::unique_ptr<testing::ProgramFolderSandbox> program_;
    std::unique_ptr<QTemporaryDir> pictures_;
    std::unique_ptr<testing::RecordingMessages> messages_;
    std::unique_ptr<MainWindow> main_;
    std::unique_ptr<QDialog> dialog_;
    Editor editor_ = Editor::CustomResolutions;
    ProgramSettings values_;

    static void addEditorRows() {
        QTest::addColumn<Editor>("editor");
        for (Editor editor :
             {Editor::CustomResolutions, Editor::FolderExclusions, Editor::ExtensionExclusions})
            QTest::newRow(Editors[static_cast<int>(editor)].title) << editor;
    }

    // The editor of the current row of an `addEditorRows` table.
    const EditorShape& rowEditor() {
        QFETCH(Editor, editor);
        editor_ = editor;
        return Editors[static_cast<int>(editor)];
    }

    // Opens the editor of the current row, or the one named; the custom resolutions open over
    // the main window.
    void open() {
        rowEditor();
        open(editor_);
    }
    void open(Editor editor) {
        editor_ = editor;
        switch (editor) {
        case Editor::CustomResolutions:
            main_ = std::make_unique<MainWindow>(values_);
            main_->show();
            dialog_ = std::make_unique<frmCustomRes>(*main_, main_.get());
            break;
        case Editor::FolderExclusions:
            dialog_ = std::make_unique<frmFolderEx>();
            break;
        case Editor::ExtensionExclusions:
            dialog_ = std::make_unique<frmProcessingEx>();
            break;
        }
        testing::ShowActive(*dialog_);
    }

    // Adds one entry as the user would and returns it as the list shows it.
    QString addEntry() {
        QString entry;
        switch (editor_) {
        case Editor::CustomResolutions:
            type("txtXRes", QStringLiteral("320"));
            type("txtYRes", QStringLiteral("200"));
            entry = QStringLiteral("320x200");
            break;
        case Editor::FolderExclusions:
            entry = makeFolder(QStringLiteral("Excluded"));
            tree().SetSelectedFolder(entry);
            break;
        case Editor::ExtensionExclusions:
            type("txtExt", QStringLiteral(".gif"));
            entry = QStringLiteral("GIF");
            break;
        }
        Click(*dialog_, "cmdAdd");
        return entry;
    }

    void type(const char* name, const QString& text) {
        QLineEdit& edit = box(name);
        edit.setFocus();
        edit.selectAll();
        QTest::keyClicks(&edit, text);
        QCOMPARE(edit.text(), text);
    }

    QString makeFolder(const QString& name) {
        const QString folder = pictures_->filePath(name);
        if (!QDir().mkpath(folder))
            qFatal("cannot make %s", qPrintable(folder));
        return folder;
    }

    // Shows the folder's row in the tree and returns where it is.
    QPoint rowOf(const QString& folder) {
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

    void checkEntries(const QStringList& entries) {
        QCOMPARE(Entries(list()), entries);
        QCOMPARE(fileBytes(), Lines(entries));
        if (shape().focusAfterChange != nullptr)
            QCOMPARE(QApplication::focusWidget(),
                     Control<QWidget>(*dialog_, shape().focusAfterChange));
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void init() {
        settings_ = std::make_unique<testing::SettingsSandbox>();
        program_ = std::make_unique<testing::ProgramFolderSandbox>();
        pictures_ = std::make_unique<QTemporaryDir>();
        QVERIFY(settings_->isValid() && program_->isValid() && pictures_->isValid());
        messages_ = std::make_unique<testing::RecordingMessages>();
        values_ = ProgramSettings();
    }

    void cleanup() {
        dialog_.reset();
        main_.reset();
        messages_.reset();
        pictures_.reset();
        program_.reset();
        settings_.reset();
        testing::VerifyNoWindowLeft();
    }

    void opensWithTheEntriesOfItsFile_data() { addEditorRows(); }
    void opensWithTheEntriesOfItsFile() {
        const EditorShape& e = rowEditor();
        // Blank lines and blanks are kept; the last line needs no line break.
        writeFile(Lines({e.first, "", e.first}) + " " + e.second.toStdString());
        open();
        QCOMPARE(dialog_->windowTitle(), QString::fromLatin1(e.title));
        QCOMPARE(Entries(list()), (QStringList{e.first, "", e.first, " " + e.second}));
        QCOMPARE(QApplication::focusWidget(), Control<QWidget>(*dialog_, e.openFocus));
        QVERIFY(messages_->boxes.empty());
    }

    void windowIsAFixedModalToolWindow_data() { addEditorRows(); }
    void windowIsAFixedModalToolWindow() {
        open();
        QCOMPARE(dialog_->windowType(), Qt::Tool);
        QVERIFY(!(dialog_->windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(dialog_->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(dialog_->isModal());
        QCOMPARE(dialog_->size(), shape().size);
        QCOMPARE(dialog_->minimumSize(), dialog_->maximumSize());
        for (const auto& [name, geometry] : shape().geometry)
            QCOMPARE(Control<QWidget>(*dialog_, name)->geometry(), geometry);
        // Enter must reach the focused control, not a default button.
        for (const QPushButton* button : dialog_->findChildren<QPushButton*>())
            QVERIFY(!button->isDefault() && !button->autoDefault());
        if (editor_ == Editor::ExtensionExclusions)
            QVERIFY(Control<QLabel>(*dialog_, "Label1")->wordWrap());
    }

    void tabOrderFollowsTheControls_data() { addEditorRows(); }
    void tabOrderFollowsTheControls() {
        open();
        QCOMPARE(testing::TabOrder(static_cast<int>(shape().tabOrder.size())), shape().tabOrder);
    }

    void escapeDoesNotCloseTheWindow_data() { addEditorRows(); }
    void escapeDoesNotCloseTheWindow() {
        open();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(dialog_->isVisible());
        Click(*dialog_, "cmdClose");
        QVERIFY(!dialog_->isVisible());
    }

    void addTwiceAddsTwice_data() { addEditorRows(); }
    void addTwiceAddsTwice() {
        open();
        const QString entry = addEntry();
        Click(*dialog_, "cmdAdd");
        checkEntries({entry, entry});
        if (main_)
            QCOMPARE(main_->resolutions(), BuiltIn + QStringList({entry, entry}));
        if (editor_ == Editor::FolderExclusions)
            QCOMPARE(tree().SelectedFolder(), entry);
        QVERIFY(messages_->boxes.empty());
    }

    void removeTakesOnlyTheSelectedEntryAndLeavesNothingSelected_data() { addEditorRows(); }
    void removeTakesOnlyTheSelectedEntryAndLeavesNothingSelected() {
        const EditorShape& e = rowEditor();
        writeFile(Lines({e.first, e.second, e.first}));
        open();
        SelectRow(*dialog_, e.list, 2);
        Click(*dialog_, "cmdRemove");
        checkEntries({e.first, e.second});
        QVERIFY(messages_->boxes.empty());

        if (main_)
            main_->chooseResolution(5);
        Click(*dialog_, "cmdRemove");
        QCOMPARE(testing::Texts(*messages_), QStringList{"Select an item from the listing"});
        QCOMPARE(messages_->boxes.front().title, QStringLiteral("Error"));
        checkEntries({e.first, e.second});
        if (main_) {
            QCOMPARE(main_->resolutions(), BuiltIn + QStringList{e.second});
            QCOMPARE(main_->targetResolution(), QStringLiteral("1024x768"));
        }
    }

    void removeOfTheOnlyEntryLeavesAnEmptyFile_data() { addEditorRows(); }
    void removeOfTheOnlyEntryLeavesAnEmptyFile() {
        const EditorShape& e = rowEditor();
        writeFile(Lines({e.first}));
        open();
        SelectRow(*dialog_, e.list, 0);
        Click(*dialog_, "cmdRemove");
        QVERIFY(FileExists(e.file()));
        checkEntries({});
    }

    void clearAllDeletesAReadOnlyFile_data() { addEditorRows(); }
    void clearAllDeletesAReadOnlyFile() {
        const EditorShape& e = rowEditor();
        writeFile(Lines({e.first, e.second}));
        ::chmod(e.file().c_str(), 0444);
        open();
        Click(*dialog_, "cmdClear");
        QVERIFY(Entries(list()).isEmpty());
        QVERIFY(!FileExists(e.file()));
        QVERIFY(messages_->boxes.empty());
    }

    void clearAllWithoutAFileSaysNothing_data() { addEditorRows(); }
    void clearAllWithoutAFileSaysNothing() {
        open();
        if (main_)
            main_->chooseResolution(4);
        Click(*dialog_, "cmdClear");
        QVERIFY(messages_->boxes.empty());
        QVERIFY(dialog_->isVisible());
        QVERIFY(!FileExists(shape().file()));
        if (main_) {
            QCOMPARE(main_->targetResolution(), QStringLiteral("800x600"));
            QCOMPARE(main_->resolutions(), BuiltIn);
        }
    }

    void unwritableFolderShowsAnErrorAndTheEditorCarriesOn_data() { addEditorRows(); }
    void unwritableFolderShowsAnErrorAndTheEditorCarriesOn() {
        const EditorShape& e = rowEditor();
        writeFile(Lines({e.first}));
        testing::Mount readOnly(ProgramFolder());
        if (!readOnly.readOnly())
            QSKIP("a read-only bind mount needs root and mount(8)");
        open();

        const QString added = addEntry();
        QCOMPARE(Entries(list()), (QStringList{e.first, added}));
        if (main_)
            QCOMPARE(main_->resolutions().last(), added);
        SelectRow(*dialog_, e.list, 0);
        Click(*dialog_, "cmdRemove");
        Click(*dialog_, "cmdClear");

        const QString path = QString::fromStdString(e.file().string());
        QCOMPARE(messages_->boxes.size(), std::size_t{3});
        for (const QString& text : testing::Texts(*messages_))
            QVERIFY2(text.contains(path) && text.contains(QStringLiteral("Read-only file system")),
                     qPrintable(text));
        QVERIFY(dialog_->isVisible());
        QCOMPARE(fileBytes(), Lines({e.first}));
    }

    void extensionAddStripsDotsAndUpperCases_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("entry");
        const auto row = [](const char* name, const char* typed, const char* shown,
                            const char* entry) {
            QTest::newRow(name) << typed << shown << entry;
        };
        row("leading dot", ".jpg", "jpg", "JPG");
        row("mixed case", "Jpg", "Jpg", "JPG");
        row("inner dot", "tar.gz", "targz", "TARGZ");
        row("dots everywhere", ".t.i.f.", "tif", "TIF");
        row("blanks kept", " bmp ", " bmp ", " BMP ");
        row("non-ASCII", "straße", "straße", "STRASSE");
    }

    void extensionAddStripsDotsAndUpperCases() {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(QString, entry);
        open(Editor::ExtensionExclusions);
        type("txtExt", typed);
        Click(*dialog_, "cmdAdd");
        QVERIFY(messages_->boxes.empty());
        checkEntries({entry});
        // Back in the box with its text selected, ready for the next one.
        QCOMPARE(box("txtExt").text(), shown);
        QCOMPARE(box("txtExt").selectedText(), shown);
    }

    void extensionEnterAddsAndSelectsTheText() {
        open(Editor::ExtensionExclusions);
        type("txtExt", QStringLiteral("Jpg"));
        QTest::keyClick(&box("txtExt"), Qt::Key_Return);
        QCOMPARE(Entries(list()), QStringList{"JPG"});
        QCOMPARE(box("txtExt").selectedText(), QStringLiteral("Jpg"));
        QTest::keyClicks(&box("txtExt"), QStringLiteral("png"));
        QTest::keyClick(&box("txtExt"), Qt::Key_Enter, Qt::KeypadModifier);
        checkEntries({"JPG", "PNG"});
        QVERIFY(messages_->boxes.empty());
    }

    void extensionEmptyOrDotsOnlyIsRefused_data() {
        QTest::addColumn<QString>("typed");
        QTest::newRow("empty") << "";
        // An empty entry would exclude every file whose path holds a dot.
        QTest::newRow("one dot") << ".";
        QTest::newRow("dots only") << "...";
    }

    void extensionEmptyOrDotsOnlyIsRefused() {
        QFETCH(QString, typed);
        WriteBytes(ExcludedExtensionsFile(), "BMP\r\n");
        open(Editor::ExtensionExclusions);
        if (!typed.isEmpty())
            type("txtExt", typed);
        Click(*dialog_, "cmdAdd");
        QCOMPARE(testing::Texts(*messages_), QStringList{"Please enter an extension first"});
        QCOMPARE(messages_->boxes.front().icon, MessageIcon::Critical);
        checkEntries({"BMP"});
    }

    void folderMyComputerIsNeverAdded() {
        open(Editor::FolderExclusions);
        FolderTree& folders = tree();
        QCOMPARE(folders.SelectedFolder(), QStringLiteral("My Computer"));
        Click(*dialog_, "cmdAdd");
        const QRect myComputer =
            folders.visualRect(folders.indexOfFolder(QStringLiteral("My Computer")));
        QTest::mouseClick(folders.viewport(), Qt::RightButton, {}, myComputer.center());
        QCOMPARE(folders.SelectedFolder(), QStringLiteral("My Computer"));
        QVERIFY(Entries(list()).isEmpty());
        QVERIFY(!FileExists(ExcludedFoldersFile()));
    }

    void folderRightClickAddsTheFolderUnderThePointer() {
        const QString first = makeFolder(QStringLiteral("a-first"));
        const QString second = makeFolder(QStringLiteral("b-second"));
        open(Editor::FolderExclusions);
        tree().SetSelectedFolder(first);
        QTest::mouseClick(tree().viewport(), Qt::RightButton, {}, rowOf(second));
        QCOMPARE(tree().SelectedFolder(), second);
        checkEntries({second});
    }

    void folderLeftAndMiddleClicksAddNothing() {
        const QString folder = makeFolder(QStringLiteral("Left alone"));
        open(Editor::FolderExclusions);
        tree().SetSelectedFolder(folder);
        QTest::mouseClick(tree().viewport(), Qt::LeftButton, {}, rowOf(folder));
        QTest::mouseClick(tree().viewport(), Qt::MiddleButton, {}, rowOf(folder));
        QCOMPARE(tree().SelectedFolder(), folder);
        QVERIFY(Entries(list()).isEmpty());
        QVERIFY(!FileExists(ExcludedFoldersFile()));
    }

    void folderWithALineBreakIsRefused() {
        // Two lines in exflds.dat would exclude "/tmp/.../two" and every path holding "lines".
        const QString folder = makeFolder(QStringLiteral("two\nlines"));
        open(Editor::FolderExclusions);
        tree().SetSelectedFolder(folder);
        QCOMPARE(tree().SelectedFolder(), folder);
        Click(*dialog_, "cmdAdd");
        QCOMPARE(messages_->boxes.size(), std::size_t{1});
        QVERIFY(testing::Texts(*messages_).front().contains(QStringLiteral("line break")));
        QVERIFY(Entries(list()).isEmpty());
        QVERIFY(!FileExists(ExcludedFoldersFile()));
    }

    void customAddTakesTwoNumbersAsTyped_data() {
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("height");
        QTest::addColumn<QString>("refusal");
        const auto row = [](const char* name, const char* width, const char* height,
                            const char* refusal) {
            QTest::newRow(name) << width << height << refusal;
        };
        const char* missing = "You must enter the X and Y dimensions";
        const char* notNumeric = "You must enter numeric characters only";
        row("plain numbers", "1024", "768", "");
        row("a leading blank", " 800", "600", "");
        row("a decimal point", "12.5", "10", "");
        row("thousands separator", "1,024", "768", "");
        row("an exponent", "1e3", "600", "");
        row("a sign", "+800", "-600", "");
        row("both empty", "", "", missing);
        row("width empty", "", "600", missing);
        row("height empty", "800", "", missing);
        row("width of letters", "abc", "600", notNumeric);
        row("letters with an empty height", "abc", "", missing);
        row("height of letters", "800", "six", notNumeric);
        row("a unit", "800px", "600", notNumeric);
        row("blanks only", " ", "600", notNumeric);
        row("an x inside", "800x600", "600", notNumeric);
    }

    void customAddTakesTwoNumbersAsTyped() {
        QFETCH(QString, width);
        QFETCH(QString, height);
        QFETCH(QString, refusal);
        WriteBytes(CustomResolutionsFile(), "700x500\r\n");
        open(Editor::CustomResolutions);
        main_->chooseResolution(3);
        if (!width.isEmpty())
            type("txtXRes", width);
        if (!height.isEmpty())
            type("txtYRes", height);
        Click(*dialog_, "cmdAdd");

        QStringList entries{"700x500"};
        if (refusal.isEmpty()) {
            QVERIFY(messages_->boxes.empty());
            entries.append(width + QLatin1Char('x') + height);
        } else {
            QCOMPARE(testing::Texts(*messages_), QStringList{refusal});
            QCOMPARE(messages_->boxes.front().title, QStringLiteral("Error"));
            QCOMPARE(messages_->boxes.front().icon, MessageIcon::Critical);
            QCOMPARE(box("txtXRes").text(), width);
            QCOMPARE(box("txtYRes").text(), height);
        }
        checkEntries(entries);
        QCOMPARE(main_->resolutions(), BuiltIn + entries);
        QCOMPARE(main_->targetResolution(), QStringLiteral("640x480"));
    }

    void customEnterInEitherBoxAddsLikeTheButton() {
        open(Editor::CustomResolutions);
        type("txtXRes", QStringLiteral("700"));
        QTest::keyClick(&box("txtXRes"), Qt::Key_Return);
        QCOMPARE(testing::Texts(*messages_), QStringList{"You must enter the X and Y dimensions"});
        QVERIFY(!FileExists(CustomResolutionsFile()));

        type("txtYRes", QStringLiteral("500"));
        QTest::keyClick(&box("txtYRes"), Qt::Key_Return);
        QTest::keyClick(&box("txtXRes"), Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(messages_->boxes.size(), std::size_t{1});
        checkEntries({"700x500", "700x500"});
    }

    void customEnterThatClosesTheErrorBoxDoesNotAddAgain() {
        // The key goes up in the text box after Enter has closed the error box: acting on the
        // key going up would show the box again, and again.
        open(Editor::CustomResolutions);
        type("txtXRes", QStringLiteral("wide"));
        type("txtYRes", QStringLiteral("500"));
        box("txtXRes").setFocus();
        QTest::keyPress(&box("txtXRes"), Qt::Key_Return);
        QCOMPARE(messages_->boxes.size(), std::size_t{1});
        QTest::keyRelease(&box("txtXRes"), Qt::Key_Return);
        QCOMPARE(messages_->boxes.size(), std::size_t{1});
    }

    void customAddMovesTheFocusToTheWidthWithItsTextSelected() {
        open(Editor::CustomResolutions);
        type("txtXRes", QStringLiteral("320"));
        type("txtYRes", QStringLiteral("200"));
        auto* add = Control<QPushButton>(*dialog_, "cmdAdd");
        add->setFocus();
        QTest::keyClick(add, Qt::Key_Space);
        QCOMPARE(QApplication::focusWidget(), &box("txtXRes"));
        QCOMPARE(box("txtXRes").selectedText(), QStringLiteral("320"));
        QCOMPARE(box("txtYRes").text(), QStringLiteral("200"));

        // Typing replaces the selected width.
        QTest::keyClicks(&box("txtXRes"), QStringLiteral("400"));
        QCOMPARE(box("txtXRes").text(), QStringLiteral("400"));
    }

    void customPastedLineBreakIsCutOff() {
        open(Editor::CustomResolutions);
        QApplication::clipboard()->setText(QStringLiteral("800\nx600"));
        box("txtXRes").paste();
        QCOMPARE(box("txtXRes").text(), QStringLiteral("800"));
    }

    void customMainWindowFollowsRemovals_data() {
        QTest::addColumn<QStringList>("file");
        QTest::addColumn<int>("chosen");
        QTest::addColumn<int>("removedRow"); // -1: Clear all
        QTest::addColumn<QStringList>("resolutions");
        QTest::addColumn<QString>("target");
        QStringList withoutTwin = BuiltIn;
        withoutTwin.removeAll(QStringLiteral("640x480"));
        QTest::newRow("remove takes a built-in size of the same text and the choice")
            << QStringList{"700x500", "640x480"} << 6 << 1 << withoutTwin + QStringList{"700x500"}
            << "80x80";
        // The built-in 1024x768 and its custom twin stay; both 700x500 go. Any removal chooses
        // the first size, as the original program did.
        QTest::newRow("remove of one duplicate takes both")
            << QStringList{"700x500", "1024x768", "700x500"} << 5 << 2
            << BuiltIn + QStringList{"1024x768"} << "80x80";
        withoutTwin = BuiltIn;
        withoutTwin.removeAll(QStringLiteral("800x600"));
        QTest::newRow("clear takes built-in twins and the choice")
            << QStringList{"700x500", "800x600", "1x1"} << 10 << -1 << withoutTwin << "80x80";
        QTest::newRow("clear of every built-in size empties the list")
            << BuiltIn << 0 << -1 << QStringList() << "";
    }

    void customMainWindowFollowsRemovals() {
        QFETCH(QStringList, file);
        QFETCH(int, chosen);
        QFETCH(int, removedRow);
        QFETCH(QStringList, resolutions);
        QFETCH(QString, target);
        WriteBytes(CustomResolutionsFile(), Lines(file));
        open(Editor::CustomResolutions);
        main_->chooseResolution(chosen);
        if (removedRow < 0) {
            Click(*dialog_, "cmdClear");
        } else {
            SelectRow(*dialog_, "lstCustom", removedRow);
            Click(*dialog_, "cmdRemove");
        }
        QVERIFY(messages_->boxes.empty());
        QCOMPARE(main_->resolutions(), resolutions);
        QCOMPARE(main_->targetResolution(), target);
        if (!target.isEmpty())
            QCOMPARE(values_.LastResIndex, target);
    }
};

} // namespace kovi

QTEST_MAIN(kovi::ListEditorsTest)
#include "ListEditorsTest.moc"
