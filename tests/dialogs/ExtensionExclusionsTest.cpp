// The extension exclusions editor: typed extensions go into the list box and exts.dat without
// dots and in upper case.
#include "app/ProgramFolder.h"
#include "lists/FileRoutines.h"
#include "lists/frmProcessingEx.h"

#include "tests/dialogs/DialogTesting.h"
#include "tests/support/TempFolder.h"

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
using testing::RecordingSink;
using testing::SelectRow;
using testing::WriteBytes;

class ExtensionExclusionsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void opensWithTheEntriesOfExtsDat();
    void windowIsAFixedToolWindowWithTheControlsInPlace();
    void tabOrderFollowsTheControls();
    void addStripsDotsAndUpperCases_data();
    void addStripsDotsAndUpperCases();
    void addTwiceAddsTwice();
    void enterAddsAndSelectsTheText();
    void emptyOrDotsOnlyIsRefused_data();
    void emptyOrDotsOnlyIsRefused();
    void removeWithoutSelectionSaysSoAndFocusesTheBox();
    void removeOfTheOnlyEntryLeavesAnEmptyFile();
    void clearAllDeletesAReadOnlyFile();
    void clearAllWithoutAFileSaysNothing();
    void unwritableFolderShowsAnErrorAndTheDialogCarriesOn();

private:
    void open();
    void type(const QString& text);
    QLineEdit& box() { return *Control<QLineEdit>(*dialog_, "txtExt"); }
    QListWidget& list() { return *Control<QListWidget>(*dialog_, "lstExt"); }
    std::string fileBytes() const { return ReadBytes(ExcludedExtensionsFile()); }

    std::unique_ptr<testing::ProgramFolderSandbox> program_;
    std::unique_ptr<RecordingSink> messages_;
    std::unique_ptr<frmProcessingEx> dialog_;
};

void ExtensionExclusionsTest::init() {
    program_ = std::make_unique<testing::ProgramFolderSandbox>();
    QVERIFY(program_->isValid());
    messages_ = std::make_unique<RecordingSink>();
}

void ExtensionExclusionsTest::cleanup() {
    dialog_.reset();
    messages_.reset();
    program_.reset();
    testing::VerifyNoWindowLeft();
}

void ExtensionExclusionsTest::open() {
    dialog_ = std::make_unique<frmProcessingEx>();
    testing::ShowActive(*dialog_);
}

void ExtensionExclusionsTest::type(const QString& text) {
    box().setFocus();
    box().selectAll();
    QTest::keyClicks(&box(), text);
    QCOMPARE(box().text(), text);
}

void ExtensionExclusionsTest::opensWithTheEntriesOfExtsDat() {
    WriteBytes(ExcludedExtensionsFile(), "BMP\r\n\r\nGIF");
    open();
    QCOMPARE(dialog_->windowTitle(), QStringLiteral("Add/Remove Extension Exclusions"));
    QCOMPARE(Entries(list()), (QStringList{"BMP", "", "GIF"}));
    QCOMPARE(box().text(), QString());
    QCOMPARE(QApplication::focusWidget(), &box());
}

void ExtensionExclusionsTest::windowIsAFixedToolWindowWithTheControlsInPlace() {
    open();
    QCOMPARE(dialog_->windowType(), Qt::Tool);
    QVERIFY(dialog_->isModal());
    // 3984 x 3984 twips at 96 dpi.
    QCOMPARE(dialog_->size(), QSize(266, 266));
    QCOMPARE(dialog_->minimumSize(), dialog_->maximumSize());
    auto* instruction = Control<QLabel>(*dialog_, "Label1");
    QCOMPARE(instruction->text(),
             QStringLiteral("Exclude the following extensions from processing (e.g. BMP):"));
    QVERIFY(instruction->wordWrap());
    QCOMPARE(box().geometry(), QRect(8, 56, 145, 19));
    QCOMPARE(list().geometry(), QRect(160, 56, 97, 195));
}

void ExtensionExclusionsTest::tabOrderFollowsTheControls() {
    open();
    QCOMPARE(testing::TabOrder(6),
             (QStringList{"cmdAdd", "cmdRemove", "cmdClear", "cmdClose", "lstExt", "txtExt"}));
}

void ExtensionExclusionsTest::addStripsDotsAndUpperCases_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("entry");
    QTest::newRow("leading dot") << ".jpg"
                                 << "jpg"
                                 << "JPG";
    QTest::newRow("mixed case") << "Jpg"
                                << "Jpg"
                                << "JPG";
    QTest::newRow("inner dot") << "tar.gz"
                               << "targz"
                               << "TARGZ";
    QTest::newRow("dots everywhere") << ".t.i.f."
                                     << "tif"
                                     << "TIF";
    QTest::newRow("blanks kept") << " bmp "
                                 << " bmp "
                                 << " BMP ";
    QTest::newRow("non-ASCII") << "straße"
                               << "straße"
                               << "STRASSE";
}

void ExtensionExclusionsTest::addStripsDotsAndUpperCases() {
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QString, entry);
    open();
    type(typed);
    Click(*dialog_, "cmdAdd");
    QVERIFY(messages_->messages.empty());
    QCOMPARE(box().text(), shown);
    QCOMPARE(Entries(list()), QStringList{entry});
    QCOMPARE(fileBytes(), entry.toStdString() + "\r\n");
    // Back in the box with its text selected, ready for the next one.
    QCOMPARE(QApplication::focusWidget(), &box());
    QCOMPARE(box().selectedText(), shown);
}

void ExtensionExclusionsTest::addTwiceAddsTwice() {
    open();
    type(QStringLiteral("BMP"));
    Click(*dialog_, "cmdAdd");
    Click(*dialog_, "cmdAdd");
    QCOMPARE(Entries(list()), (QStringList{"BMP", "BMP"}));
    QCOMPARE(fileBytes(), std::string("BMP\r\nBMP\r\n"));
}

void ExtensionExclusionsTest::enterAddsAndSelectsTheText() {
    open();
    type(QStringLiteral("Jpg"));
    QTest::keyClick(&box(), Qt::Key_Return);
    QCOMPARE(Entries(list()), QStringList{"JPG"});
    QCOMPARE(box().selectedText(), QStringLiteral("Jpg"));
    QTest::keyClicks(&box(), QStringLiteral("png"));
    QTest::keyClick(&box(), Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(Entries(list()), (QStringList{"JPG", "PNG"}));
    QCOMPARE(fileBytes(), std::string("JPG\r\nPNG\r\n"));
    QVERIFY(messages_->messages.empty());
}

void ExtensionExclusionsTest::emptyOrDotsOnlyIsRefused_data() {
    QTest::addColumn<QString>("typed");
    QTest::newRow("empty") << "";
    // An empty entry would exclude every file whose path holds a dot.
    QTest::newRow("one dot") << ".";
    QTest::newRow("dots only") << "...";
}

void ExtensionExclusionsTest::emptyOrDotsOnlyIsRefused() {
    QFETCH(QString, typed);
    WriteBytes(ExcludedExtensionsFile(), "BMP\r\n");
    open();
    if (!typed.isEmpty())
        type(typed);
    Click(*dialog_, "cmdAdd");
    QCOMPARE(messages_->texts(), QStringList{"Please enter an extension first"});
    QCOMPARE(messages_->messages.front().icon, MessageIcon::Critical);
    QCOMPARE(Entries(list()), QStringList{"BMP"});
    QCOMPARE(fileBytes(), std::string("BMP\r\n"));
    QCOMPARE(QApplication::focusWidget(), &box());
}

void ExtensionExclusionsTest::removeWithoutSelectionSaysSoAndFocusesTheBox() {
    WriteBytes(ExcludedExtensionsFile(), "BMP\r\n");
    open();
    Click(*dialog_, "cmdRemove");
    QCOMPARE(messages_->texts(), QStringList{"Select an item from the listing"});
    QCOMPARE(Entries(list()), QStringList{"BMP"});
    QCOMPARE(fileBytes(), std::string("BMP\r\n"));
    QCOMPARE(QApplication::focusWidget(), &box());
}

void ExtensionExclusionsTest::removeOfTheOnlyEntryLeavesAnEmptyFile() {
    WriteBytes(ExcludedExtensionsFile(), "BMP\r\n");
    open();
    SelectRow(*dialog_, "lstExt", 0);
    Click(*dialog_, "cmdRemove");
    QVERIFY(Entries(list()).isEmpty());
    QVERIFY(FileExists(ExcludedExtensionsFile()));
    QCOMPARE(fileBytes(), std::string());
    QCOMPARE(QApplication::focusWidget(), &box());
}

void ExtensionExclusionsTest::clearAllDeletesAReadOnlyFile() {
    WriteBytes(ExcludedExtensionsFile(), "BMP\r\nGIF\r\n");
    ::chmod(ExcludedExtensionsFile().c_str(), 0444);
    open();
    Click(*dialog_, "cmdClear");
    QVERIFY(Entries(list()).isEmpty());
    QVERIFY(!FileExists(ExcludedExtensionsFile()));
    QVERIFY(messages_->messages.empty());
}

void ExtensionExclusionsTest::clearAllWithoutAFileSaysNothing() {
    open();
    Click(*dialog_, "cmdClear");
    QVERIFY(messages_->messages.empty());
    QVERIFY(dialog_->isVisible());
}

void ExtensionExclusionsTest::unwritableFolderShowsAnErrorAndTheDialogCarriesOn() {
    WriteBytes(ExcludedExtensionsFile(), "BMP\r\n");
    testing::Mount readOnly(ProgramFolder());
    if (!readOnly.readOnly())
        QSKIP("a read-only bind mount needs root and mount(8)");
    open();

    type(QStringLiteral("gif"));
    Click(*dialog_, "cmdAdd");
    QCOMPARE(Entries(list()), (QStringList{"BMP", "GIF"}));
    SelectRow(*dialog_, "lstExt", 0);
    Click(*dialog_, "cmdRemove");
    Click(*dialog_, "cmdClear");

    const QString path = QString::fromStdString(ExcludedExtensionsFile().string());
    QCOMPARE(messages_->messages.size(), std::size_t{3});
    for (const QString& text : messages_->texts())
        QVERIFY2(text.contains(path) && text.contains(QStringLiteral("Read-only file system")),
                 qPrintable(text));
    QVERIFY(dialog_->isVisible());
    QCOMPARE(fileBytes(), std::string("BMP\r\n"));
}

} // namespace kovi

QTEST_MAIN(kovi::ExtensionExclusionsTest)
#include "ExtensionExclusionsTest.moc"
