// The custom resolutions editor against the real main window: the list box, custom.dat and
// the main window's resolution list change together.
#include "app/MainWindow.h"
#include "app/ProgramFolder.h"
#include "lists/FileRoutines.h"
#include "lists/frmCustomRes.h"

#include "tests/dialogs/DialogTesting.h"
#include "tests/support/SettingsSandbox.h"
#include "tests/support/TempFolder.h"

#include <QClipboard>
#include <QComboBox>
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

const QStringList BuiltIn{"80x80",    "150x150",  "320x240",   "640x480",  "800x600",
                          "1024x768", "1152x864", "1200x1024", "1600x1200"};

class CustomResolutionsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void opensWithTheEntriesOfCustomDat();
    void windowIsAFixedToolWindowWithTheControlsInPlace();
    void tabOrderFollowsTheControls();
    void addPutsTheEntryInTheListTheMainWindowAndTheFile();
    void addTwiceAddsTwiceEverywhere();
    void addRefusesWhatIsNotTwoNumbers_data();
    void addRefusesWhatIsNotTwoNumbers();
    void addKeepsTheTextsAsTyped_data();
    void addKeepsTheTextsAsTyped();
    void enterInEitherBoxAddsLikeTheButton();
    void enterThatClosesTheErrorBoxDoesNotAddAgain();
    void addMovesTheFocusToTheWidthWithItsTextSelected();
    void pastedLineBreakIsCutOff();
    void removeWithoutSelectionSaysSoAndChangesNothing();
    void removeTakesABuiltInSizeOfTheSameTextToo();
    void removeOfOneDuplicateTakesBothFromTheMainWindow();
    void removeOfTheLastEntryLeavesAnEmptyFile();
    void removeLeavesNothingSelected();
    void clearAllEmptiesEverythingAndDeletesAReadOnlyFile();
    void clearAllOfAnEmptyListKeepsTheChoiceAndSaysNothing();
    void removingEveryBuiltInSizeLeavesAnEmptyResolutionList();
    void unwritableFolderShowsAnErrorAndTheDialogCarriesOn();
    void escapeDoesNotCloseTheWindow();

private:
    void open();
    void writeCustomFile(const std::string& bytes);
    std::string customFileBytes() const;
    void type(const char* box, const QString& text);

    std::unique_ptr<testing::SettingsSandbox> settings_;
    std::unique_ptr<testing::ProgramFolderSandbox> folder_;
    std::unique_ptr<RecordingSink> messages_;
    std::unique_ptr<MainWindow> main_;
    std::unique_ptr<frmCustomRes> dialog_;
    ProgramSettings values_;
};

void CustomResolutionsTest::init() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    settings_ = std::make_unique<testing::SettingsSandbox>();
    folder_ = std::make_unique<testing::ProgramFolderSandbox>();
    QVERIFY(settings_->isValid() && folder_->isValid());
    messages_ = std::make_unique<RecordingSink>();
    values_ = ProgramSettings();
}

void CustomResolutionsTest::cleanup() {
    dialog_.reset();
    main_.reset();
    messages_.reset();
    folder_.reset();
    settings_.reset();
    testing::VerifyNoWindowLeft();
}

void CustomResolutionsTest::writeCustomFile(const std::string& bytes) {
    WriteBytes(CustomResolutionsFile(), bytes);
}

std::string CustomResolutionsTest::customFileBytes() const {
    return ReadBytes(CustomResolutionsFile());
}

void CustomResolutionsTest::type(const char* box, const QString& text) {
    auto* edit = Control<QLineEdit>(*dialog_, box);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QCOMPARE(edit->text(), text);
}

// The main window, then the dialog over it, both shown and the dialog active.
void CustomResolutionsTest::open() {
    main_ = std::make_unique<MainWindow>(values_);
    main_->show();
    dialog_ = std::make_unique<frmCustomRes>(*main_, main_.get());
    testing::ShowActive(*dialog_);
}

void CustomResolutionsTest::opensWithTheEntriesOfCustomDat() {
    writeCustomFile("700x500\r\n\r\n700x500\r\n 800x600");
    open();
    QCOMPARE(dialog_->windowTitle(), QStringLiteral("Add/Remove Custom Resolutions"));
    QCOMPARE(Entries(*Control<QListWidget>(*dialog_, "lstCustom")),
             (QStringList{"700x500", "", "700x500", " 800x600"}));
    QCOMPARE(Control<QLineEdit>(*dialog_, "txtXRes")->text(), QString());
    QCOMPARE(Control<QLineEdit>(*dialog_, "txtYRes")->text(), QString());
    QCOMPARE(QApplication::focusWidget(), Control<QLineEdit>(*dialog_, "txtXRes"));
    QVERIFY(messages_->messages.empty());
}

void CustomResolutionsTest::windowIsAFixedToolWindowWithTheControlsInPlace() {
    open();
    QCOMPARE(dialog_->windowType(), Qt::Tool);
    QVERIFY(!(dialog_->windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(dialog_->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(dialog_->isModal());
    // 3984 x 3384 twips at 96 dpi; the list at 2400, 240 in the frame, 1452 x 2928.
    QCOMPARE(dialog_->size(), QSize(266, 226));
    QCOMPARE(dialog_->minimumSize(), dialog_->maximumSize());
    QCOMPARE(Control<QListWidget>(*dialog_, "lstCustom")->geometry(), QRect(160, 16, 97, 195));
    QCOMPARE(Control<QLabel>(*dialog_, "Label1")->text(), QStringLiteral("x"));
    const QStringList captions{Control<QPushButton>(*dialog_, "cmdAdd")->text(),
                               Control<QPushButton>(*dialog_, "cmdRemove")->text(),
                               Control<QPushButton>(*dialog_, "cmdClear")->text(),
                               Control<QPushButton>(*dialog_, "cmdClose")->text()};
    QCOMPARE(captions, (QStringList{"&Add to list ->", "&Remove from list <-", "C&lear all",
                                    "&Close window"}));
    for (const QPushButton* button : dialog_->findChildren<QPushButton*>())
        QVERIFY(!button->isDefault() && !button->autoDefault());
}

void CustomResolutionsTest::tabOrderFollowsTheControls() {
    open();
    QCOMPARE(testing::TabOrder(7), (QStringList{"txtYRes", "cmdAdd", "cmdRemove", "cmdClear",
                                                "cmdClose", "lstCustom", "txtXRes"}));
}

void CustomResolutionsTest::addPutsTheEntryInTheListTheMainWindowAndTheFile() {
    open();
    main_->chooseResolution(3);
    type("txtXRes", QStringLiteral("1024"));
    type("txtYRes", QStringLiteral("768"));
    Click(*dialog_, "cmdAdd");

    QCOMPARE(Entries(*Control<QListWidget>(*dialog_, "lstCustom")), QStringList{"1024x768"});
    QCOMPARE(main_->resolutions(), BuiltIn + QStringList{"1024x768"});
    QCOMPARE(main_->targetResolution(), QStringLiteral("640x480"));
    QCOMPARE(customFileBytes(), std::string("1024x768\r\n"));
    QVERIFY(messages_->messages.empty());
}

void CustomResolutionsTest::addTwiceAddsTwiceEverywhere() {
    writeCustomFile("640x480\r\n");
    open();
    type("txtXRes", QStringLiteral("640"));
    type("txtYRes", QStringLiteral("480"));
    Click(*dialog_, "cmdAdd");
    Click(*dialog_, "cmdAdd");
    QCOMPARE(Entries(*Control<QListWidget>(*dialog_, "lstCustom")),
             (QStringList{"640x480", "640x480", "640x480"}));
    QCOMPARE(main_->resolutions().count(QStringLiteral("640x480")), 4);
    QCOMPARE(customFileBytes(), std::string("640x480\r\n640x480\r\n640x480\r\n"));
}

void CustomResolutionsTest::addRefusesWhatIsNotTwoNumbers_data() {
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("height");
    QTest::addColumn<QString>("message");
    const QString missing = QStringLiteral("You must enter the X and Y dimensions");
    const QString notNumeric = QStringLiteral("You must enter numeric characters only");
    QTest::newRow("both empty") << ""
                                << "" << missing;
    QTest::newRow("width empty") << ""
                                 << "600" << missing;
    QTest::newRow("height empty") << "800"
                                  << "" << missing;
    QTest::newRow("width of letters") << "abc"
                                      << "600" << notNumeric;
    QTest::newRow("letters with an empty height") << "abc"
                                                  << "" << missing;
    QTest::newRow("height of letters") << "800"
                                       << "six" << notNumeric;
    QTest::newRow("a unit") << "800px"
                            << "600" << notNumeric;
    QTest::newRow("blanks only") << " "
                                 << "600" << notNumeric;
    QTest::newRow("an x inside") << "800x600"
                                 << "600" << notNumeric;
}

void CustomResolutionsTest::addRefusesWhatIsNotTwoNumbers() {
    QFETCH(QString, width);
    QFETCH(QString, height);
    QFETCH(QString, message);
    writeCustomFile("700x500\r\n");
    open();
    if (!width.isEmpty())
        type("txtXRes", width);
    if (!height.isEmpty())
        type("txtYRes", height);
    Click(*dialog_, "cmdAdd");

    QCOMPARE(messages_->texts(), QStringList{message});
    QCOMPARE(messages_->messages.front().title, QStringLiteral("Error"));
    QCOMPARE(messages_->messages.front().icon, MessageIcon::Critical);
    QCOMPARE(Entries(*Control<QListWidget>(*dialog_, "lstCustom")), QStringList{"700x500"});
    QCOMPARE(main_->resolutions(), BuiltIn + QStringList{"700x500"});
    QCOMPARE(customFileBytes(), std::string("700x500\r\n"));
    QCOMPARE(Control<QLineEdit>(*dialog_, "txtXRes")->text(), width);
    QCOMPARE(Control<QLineEdit>(*dialog_, "txtYRes")->text(), height);
}

void CustomResolutionsTest::addKeepsTheTextsAsTyped_data() {
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("height");
    QTest::newRow("a leading blank") << " 800"
                                     << "600";
    QTest::newRow("a decimal point") << "12.5"
                                     << "10";
    QTest::newRow("thousands separator") << "1,024"
                                         << "768";
    QTest::newRow("an exponent") << "1e3"
                                 << "600";
    QTest::newRow("a sign") << "+800"
                            << "-600";
}

void CustomResolutionsTest::addKeepsTheTextsAsTyped() {
    QFETCH(QString, width);
    QFETCH(QString, height);
    open();
    type("txtXRes", width);
    type("txtYRes", height);
    Click(*dialog_, "cmdAdd");
    const QString entry = width + QLatin1Char('x') + height;
    QVERIFY(messages_->messages.empty());
    QCOMPARE(Entries(*Control<QListWidget>(*dialog_, "lstCustom")), QStringList{entry});
    QCOMPARE(main_->resolutions().last(), entry);
    QCOMPARE(customFileBytes(), entry.toStdString() + "\r\n");
}

void CustomResolutionsTest::enterInEitherBoxAddsLikeTheButton() {
    open();
    type("txtXRes", QStringLiteral("700"));
    QTest::keyClick(Control<QLineEdit>(*dialog_, "txtXRes"), Qt::Key_Return);
    QCOMPARE(messages_->texts(), QStringList{"You must enter the X and Y dimensions"});
    QVERIFY(!FileExists(CustomResolutionsFile()));

    type("txtYRes", QStringLiteral("500"));
    QTest::keyClick(Control<QLineEdit>(*dialog_, "txtYRes"), Qt::Key_Return);
    QTest::keyClick(Control<QLineEdit>(*dialog_, "txtXRes"), Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(messages_->messages.size(), std::size_t{1});
    QCOMPARE(Entries(*Control<QListWidget>(*dialog_, "lstCustom")),
             (QStringList{"700x500", "700x500"}));
    QCOMPARE(customFileBytes(), std::string("700x500\r\n700x500\r\n"));
}

void CustomResolutionsTest::enterThatClosesTheErrorBoxDoesNotAddAgain() {
    // The key goes up in the text box after Enter has closed the error box: acting on the
    // key going up would show the box again, and again.
    open();
    auto* width = Control<QLineEdit>(*dialog_, "txtXRes");
    type("txtXRes", QStringLiteral("wide"));
    type("txtYRes", QStringLiteral("500"));
    width->setFocus();
    QTest::keyPress(width, Qt::Key_Return);
    QCOMPARE(messages_->messages.size(), std::size_t{1});
    QTest::keyRelease(width, Qt::Key_Return);
    QCOMPARE(messages_->messages.size(), std::size_t{1});
}

void CustomResolutionsTest::addMovesTheFocusToTheWidthWithItsTextSelected() {
    open();
    type("txtXRes", QStringLiteral("320"));
    type("txtYRes", QStringLiteral("200"));
    auto* add = Control<QPushButton>(*dialog_, "cmdAdd");
    add->setFocus();
    QTest::keyClick(add, Qt::Key_Space);
    auto* width = Control<QLineEdit>(*dialog_, "txtXRes");
    QCOMPARE(QApplication::focusWidget(), width);
    QCOMPARE(width->selectedText(), QStringLiteral("320"));
    QCOMPARE(Control<QLineEdit>(*dialog_, "txtYRes")->text(), QStringLiteral("200"));

    // Typing replaces the selected width.
    QTest::keyClicks(width, QStringLiteral("400"));
    QCOMPARE(width->text(), QStringLiteral("400"));
}

void CustomResolutionsTest::pastedLineBreakIsCutOff() {
    open();
    auto* width = Control<QLineEdit>(*dialog_, "txtXRes");
    QApplication::clipboard()->setText(QStringLiteral("800\nx600"));
    width->paste();
    QCOMPARE(width->text(), QStringLiteral("800"));
}

void CustomResolutionsTest::removeWithoutSelectionSaysSoAndChangesNothing() {
    writeCustomFile("700x500\r\n");
    open();
    main_->chooseResolution(5);
    Click(*dialog_, "cmdRemove");
    QCOMPARE(messages_->texts(), QStringList{"Select an item from the listing"});
    QCOMPARE(Entries(*Control<QListWidget>(*dialog_, "lstCustom")), QStringList{"700x500"});
    QCOMPARE(main_->resolutions(), BuiltIn + QStringList{"700x500"});
    QCOMPARE(main_->targetResolution(), QStringLiteral("1024x768"));
    QCOMPARE(customFileBytes(), std::string("700x500\r\n"));
}

void CustomResolutionsTest::removeTakesABuiltInSizeOfTheSameTextToo() {
    writeCustomFile("700x500\r\n640x480\r\n");
    open();
    main_->chooseResolution(6);
    SelectRow(*dialog_, "lstCustom", 1);
    Click(*dialog_, "cmdRemove");

    QVERIFY(messages_->messages.empty());
    QCOMPARE(Entries(*Control<QListWidget>(*dialog_, "lstCustom")), QStringList{"700x500"});
    QStringList expected = BuiltIn + QStringList{"700x500"};
    expected.removeAll(QStringLiteral("640x480"));
    QCOMPARE(main_->resolutions(), expected);
    QCOMPARE(main_->targetResolution(), QStringLiteral("80x80"));
    QCOMPARE(values_.LastResIndex, QStringLiteral("80x80"));
    QCOMPARE(customFileBytes(), std::string("700x500\r\n"));
}

void CustomResolutionsTest::removeOfOneDuplicateTakesBothFromTheMainWindow() {
    writeCustomFile("700x500\r\n1024x768\r\n700x500\r\n");
    open();
    SelectRow(*dialog_, "lstCustom", 2);
    Click(*dialog_, "cmdRemove");
    QCOMPARE(Entries(*Control<QListWidget>(*dialog_, "lstCustom")),
             (QStringList{"700x500", "1024x768"}));
    // The built-in 1024x768 and its custom twin stay; both 700x500 go.
    QCOMPARE(main_->resolutions(), BuiltIn + QStringList{"1024x768"});
    QCOMPARE(customFileBytes(), std::string("700x500\r\n1024x768\r\n"));
}

void CustomResolutionsTest::removeOfTheLastEntryLeavesAnEmptyFile() {
    writeCustomFile("700x500\r\n");
    open();
    SelectRow(*dialog_, "lstCustom", 0);
    Click(*dialog_, "cmdRemove");
    QVERIFY(Entries(*Control<QListWidget>(*dialog_, "lstCustom")).isEmpty());
    QVERIFY(FileExists(CustomResolutionsFile()));
    QCOMPARE(customFileBytes(), std::string());
}

void CustomResolutionsTest::removeLeavesNothingSelected() {
    writeCustomFile("1x1\r\n2x2\r\n3x3\r\n");
    open();
    SelectRow(*dialog_, "lstCustom", 0);
    Click(*dialog_, "cmdRemove");
    Click(*dialog_, "cmdRemove");
    QCOMPARE(messages_->texts(), QStringList{"Select an item from the listing"});
    QCOMPARE(Entries(*Control<QListWidget>(*dialog_, "lstCustom")), (QStringList{"2x2", "3x3"}));
}

void CustomResolutionsTest::clearAllEmptiesEverythingAndDeletesAReadOnlyFile() {
    writeCustomFile("700x500\r\n800x600\r\n1x1\r\n");
    ::chmod(CustomResolutionsFile().c_str(), 0444);
    open();
    main_->chooseResolution(10);
    Click(*dialog_, "cmdClear");

    QVERIFY(messages_->messages.empty());
    QVERIFY(Entries(*Control<QListWidget>(*dialog_, "lstCustom")).isEmpty());
    QStringList expected = BuiltIn;
    expected.removeAll(QStringLiteral("800x600"));
    QCOMPARE(main_->resolutions(), expected);
    QCOMPARE(main_->targetResolution(), QStringLiteral("80x80"));
    QVERIFY(!FileExists(CustomResolutionsFile()));
}

void CustomResolutionsTest::clearAllOfAnEmptyListKeepsTheChoiceAndSaysNothing() {
    open();
    main_->chooseResolution(4);
    Click(*dialog_, "cmdClear");
    QVERIFY(messages_->messages.empty());
    QCOMPARE(main_->targetResolution(), QStringLiteral("800x600"));
    QCOMPARE(main_->resolutions(), BuiltIn);
    QVERIFY(!FileExists(CustomResolutionsFile()));
}

void CustomResolutionsTest::removingEveryBuiltInSizeLeavesAnEmptyResolutionList() {
    std::string every;
    for (const QString& size : BuiltIn)
        every += size.toStdString() + "\r\n";
    writeCustomFile(every);
    open();
    Click(*dialog_, "cmdClear");
    QVERIFY(main_->resolutions().isEmpty());
    QCOMPARE(main_->targetResolution(), QString());
    QVERIFY(messages_->messages.empty());
}

void CustomResolutionsTest::unwritableFolderShowsAnErrorAndTheDialogCarriesOn() {
    writeCustomFile("700x500\r\n800x400\r\n");
    testing::Mount readOnly(ProgramFolder());
    if (!readOnly.readOnly())
        QSKIP("a read-only bind mount needs root and mount(8)");
    open();

    type("txtXRes", QStringLiteral("320"));
    type("txtYRes", QStringLiteral("200"));
    Click(*dialog_, "cmdAdd");
    QCOMPARE(messages_->messages.size(), std::size_t{1});
    const QString native = QString::fromStdString(CustomResolutionsFile().string());
    QVERIFY2(messages_->texts().front().contains(native), qPrintable(messages_->texts().front()));
    QVERIFY(messages_->texts().front().contains(QStringLiteral("Read-only file system")));
    QCOMPARE(Entries(*Control<QListWidget>(*dialog_, "lstCustom")),
             (QStringList{"700x500", "800x400", "320x200"}));
    QCOMPARE(main_->resolutions().last(), QStringLiteral("320x200"));

    SelectRow(*dialog_, "lstCustom", 0);
    Click(*dialog_, "cmdRemove");
    QCOMPARE(messages_->messages.size(), std::size_t{2});
    Click(*dialog_, "cmdClear");
    QCOMPARE(messages_->messages.size(), std::size_t{3});
    QVERIFY(messages_->texts().back().contains(native));

    QVERIFY(dialog_->isVisible());
    QCOMPARE(customFileBytes(), std::string("700x500\r\n800x400\r\n"));
}

void CustomResolutionsTest::escapeDoesNotCloseTheWindow() {
    open();
    QTest::keyClick(Control<QLineEdit>(*dialog_, "txtXRes"), Qt::Key_Escape);
    QVERIFY(dialog_->isVisible());
    Click(*dialog_, "cmdClose");
    QVERIFY(!dialog_->isVisible());
}

} // namespace kovi

QTEST_MAIN(kovi::CustomResolutionsTest)
#include "CustomResolutionsTest.moc"
