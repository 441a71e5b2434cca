// The list editors, what a custom resolution takes for a number, and Map Network Drive against a
// stand-in gio alone on the PATH. The list file's own rules are the list file's tests.
#include "core/files/FileRoutines.h"
#include "platform/desktop/FolderTree.h"
#include "platform/desktop/linux/NetworkDriveDialog.h"
#include "ui/editors/CustomResolutionsEditor.h"
#include "ui/editors/ExtensionExclusionsEditor.h"
#include "ui/editors/FolderExclusionsEditor.h"
#include "ui/editors/NumericText.h"
#include "ui/main/MainWindow.h"

#include "tests/dialogs/DialogTesting.h"
#include "tests/support/Mount.h"

#include <QClipboard>
#include <QScopeGuard>

#include <sys/stat.h>

namespace kovi {
namespace {

using testing::Control;

enum Editor { CustomResolutions, FolderExclusions, ExtensionExclusions };

// One editor open over the main window, with a list file of `fileBytes`.
struct OpenEditor : testing::WindowScene {
    explicit OpenEditor(int kind, const std::string& fileBytes = "") : editor(Editor(kind)) {
        if (!fileBytes.empty())
            testing::WriteBytes(file(), fileBytes);
        main = std::make_unique<MainWindow>(values, files);
        if (editor == CustomResolutions)
            dialog = std::make_unique<CustomResolutionsEditor>(*main, file(), main.get());
        else if (editor == FolderExclusions)
            dialog = std::make_unique<FolderExclusionsEditor>(file(), main.get());
        else
            dialog = std::make_unique<ExtensionExclusionsEditor>(file(), main.get());
        // Tool windows are raised when shown, which the offscreen platform cannot do.
        if (QGuiApplication::platformName() == "offscreen")
            QTest::ignoreMessage(QtWarningMsg, "This plugin does not support raise()");
        dialog->show();
    }

    const std::filesystem::path& file() const {
        return editor == CustomResolutions  ? files.customResolutions
               : editor == FolderExclusions ? files.excludedFolders
                                            : files.excludedExtensions;
    }
    QListWidget& list() const { return *dialog->findChild<QListWidget*>(); }
    // The list box and its file hold these entries.
    void check(const QStringList& entries) const {
        QStringList shown;
        for (int row = 0; row < list().count(); ++row)
            shown.append(list().item(row)->text());
        QCOMPARE(shown, entries);
        QCOMPARE(QString::fromStdString(testing::ReadBytes(file())),
                 entries.isEmpty() ? "" : entries.join("\r\n") + "\r\n");
    }
    void click(const char* button) const { Control<QPushButton>(*dialog, button)->click(); }
    FolderTree& tree() const { return *Control<FolderTree>(*dialog, "lstFolders"); }

    // Adds an entry as the user would (a folder by the right button); returns it as listed.
    QString addEntry() const {
        const QString added[] = {"320x320", program.path().c_str(), "320"};
        for (QLineEdit* box : dialog->findChildren<QLineEdit*>())
            box->setText("320");
        for (FolderTree* tree : dialog->findChildren<FolderTree*>()) {
            tree->SetSelectedFolder(added[editor]);
            emit tree->mouseButtonUp(LeftButtonCode); // only selects
            emit tree->mouseButtonUp(RightButtonCode);
        }
        if (editor != FolderExclusions)
            click("cmdAdd");
        return added[editor];
    }

    const Editor editor;
    std::unique_ptr<MainWindow> main;
    std::unique_ptr<QDialog> dialog;
};

} // namespace

class DialogsTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }

    void editorKeepsItsListAndItsFileInStep_data() {
        QTest::addColumn<int>("editor");
        QTest::newRow("custom resolutions") << int(CustomResolutions);
        QTest::newRow("folder exclusions") << int(FolderExclusions);
        QTest::newRow("extension exclusions") << int(ExtensionExclusions);
    }
    void editorKeepsItsListAndItsFileInStep() {
        QFETCH(int, editor);
        OpenEditor open(editor, "A\r\n\r\nA\r\n");
        open.check({"A", "", "A"});
        if (editor == FolderExclusions) { // "My Computer" is never added
            open.tree().SetSelectedFolder(MyComputerText);
            open.click("cmdAdd");
            emit open.tree().mouseButtonUp(RightButtonCode);
        }
        const QString added = open.addEntry();
        open.click("cmdAdd");
        open.check({"A", "", "A", added, added});
        QCOMPARE(open.main->resolutions().contains(added), editor == CustomResolutions);
        // The main window's size stays chosen while it is listed, so that a run never uses a
        // size the user did not choose; only a removed choice falls back to the first entry.
        const auto choose = [&open](const QString& size) {
            open.main->chooseResolution(open.main->resolutions().indexOf(size));
        };
        choose("640x480");
        open.list().setCurrentRow(2);
        open.click("cmdRemove");
        open.check({"A", "", added, added});
        QVERIFY(!open.main->resolutions().contains("A"));
        QCOMPARE(open.main->targetResolution() + ' ' + open.values.LastResIndex, "640x480 640x480");
        // Nothing is selected after a removal: another Remove asks for a choice.
        open.click("cmdRemove");
        QCOMPARE(open.messages.boxes.size(), std::size_t{1});
        open.check({"A", "", added, added});
        ::chmod(open.file().c_str(), 0444);
        choose(added);
        open.click("cmdClear");
        QVERIFY(open.list().count() == 0 && !FileExists(open.file()));
        QVERIFY(!open.main->resolutions().contains(added));
        QCOMPARE(open.values.LastResIndex, editor == CustomResolutions ? "80x80" : "640x480");

        // A file that cannot be changed is told of, and the editor carries on.
        testing::WriteBytes(open.file(), "A\r\n");
        testing::Mount readOnly(open.files.folder);
        if (!readOnly.readOnly())
            QSKIP("a read-only bind mount needs root and mount(8)");
        open.addEntry();
        QCOMPARE(open.list().count(), 1);
        open.list().setCurrentRow(0);
        open.click("cmdRemove");
        open.click("cmdClear");
        QCOMPARE(open.messages.boxes.size(), std::size_t{4});
        for (std::size_t i = 1; i < 4; ++i)
            QVERIFY(open.messages.boxes[i].text.contains(open.file().c_str()) &&
                    open.messages.boxes[i].text.contains("Read-only file system"));
        QCOMPARE(testing::ReadBytes(open.file()), std::string("A\r\n"));
    }

    // Pasted into the first box, entered there; rows with a height are custom resolutions.
    void typedEntryFollowsItsEditorsRule_data() {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("height");
        QTest::addColumn<QString>("entry"); // what is added, else a word of the error
        const char* rows[][4] = {{"extension without dots", ".tar.gz", "", "TARGZ"},
                                 {"extension cut at a line break", "gif\nbmp", "", "GIF"},
                                 // An empty entry would exclude every file with a dot.
                                 {"extension of dots only", "...", "", "extension"},
                                 {"resolution kept as typed", " 1,024", "7.5e2", " 1,024x7.5e2"},
                                 {"resolution missing a side", "", "600", "dimensions"},
                                 {"resolution not a number", "800", "6px", "numeric"}};
        for (const auto& [name, first, height, entry] : rows)
            QTest::newRow(name) << first << height << entry;
    }
    void typedEntryFollowsItsEditorsRule() {
        QFETCH(QString, first);
        QFETCH(QString, height);
        QFETCH(QString, entry);
        const bool resolution = !height.isEmpty();
        OpenEditor open(resolution ? CustomResolutions : ExtensionExclusions);
        const QList<QLineEdit*> boxes = open.dialog->findChildren<QLineEdit*>();
        boxes.back()->setText(height);
        QApplication::clipboard()->setText(first);
        boxes.front()->paste();
        QTest::keyClick(boxes.front(), Qt::Key_Return);
        const bool added = open.messages.boxes.empty();
        const QString shown = added ? open.list().item(0)->text() : open.messages.boxes[0].text;
        QVERIFY(shown.contains(entry));
        open.check(added ? QStringList{entry} : QStringList());
        QCOMPARE(open.main->resolutions().contains(entry), added && resolution);
    }

    // What a custom resolution takes for a number: what the locale reads as one, but no infinity.
    void numberIsWhatTheLocaleReads_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("number");
        QTest::newRow("blanks around") << "en_US" << QString(" 640\t") << true;
        QTest::newRow("infinity") << "en_US" << QString("inf") << false;
        QTest::newRow("German thousands and decimals") << "de_DE" << QString("1.024,5") << true;
    }
    void numberIsWhatTheLocaleReads() {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(bool, number);
        QCOMPARE(IsNumericText(text, QLocale(locale)), number);
    }

    // Only a network address reaches gio's command line, the login goes to its questions, once
    // each, and others are left to the desktop. A failure leaves the dialog open for a retry.
    void networkDriveIsMountedWithGioOrSaysWhyNot_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("gio"); // the stand-in's mode; empty: no gio at all
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("told");    // a part of the box shown
        QTest::addColumn<QString>("answers"); // what gio was answered
        const char* rows[][6] = {
            {"login answered", " smb://nas/x ", "login", "secret", "/gvfs/x", "al//secret"},
            {"login refused", "smb://nas/x", "login", "bad", "accepted", "al//bad"},
            {"password not given", "smb://nas/x", "login", "", "needs a password", ""},
            {"a question", "sftp://al@h:22/x", "question", "", "remote computer is unknown", ""},
            {"gio's own error", "smb://nas/x", "fail", "", "doesn't implement mount", ""},
            {"gio missing", "smb://nas/x", "", "", "not installed", ""},
            {"no scheme", "nas/x", "login", "", "address", ""},
            {"an option for gio", "--x://y", "login", "", "address", ""}};
        for (const auto& [name, typed, gio, password, told, answers] : rows)
            QTest::newRow(name) << typed << gio << password << told << answers;
    }
    void networkDriveIsMountedWithGioOrSaysWhyNot() {
        QFETCH(QString, typed);
        QFETCH(QString, gio);
        QFETCH(QString, password);
        QFETCH(QString, told);
        QFETCH(QString, answers);
        const testing::TempFolder bin;
        auto restorePath = qScopeGuard([path = qgetenv("PATH")] { qputenv("PATH", path); });
        qputenv("PATH", bin.path().c_str());
        qputenv("FAKE_GIO_MODE", gio.toLatin1());
        if (!gio.isEmpty())
            std::filesystem::copy_file(QFINDTESTDATA("fake-gio.sh").toStdString(), bin / "gio");
        testing::RecordingMessages messages;
        NetworkDriveDialog dialog;
        dialog.show();
        QTest::keyClicks(Control<QLineEdit>(dialog, "address"), typed);
        QTest::keyClicks(Control<QLineEdit>(dialog, "user"), "al");
        QTest::keyClicks(Control<QLineEdit>(dialog, "password"), password);
        Control<QPushButton>(dialog, "connect")->click();

        QTRY_COMPARE(messages.boxes.size(), std::size_t{1});
        QVERIFY2(messages.boxes[0].text.contains(told), qPrintable(messages.boxes[0].text));
        const bool mounted = told == "/gvfs/x";
        QCOMPARE(messages.boxes[0].icon == MessageIcon::Information, mounted);
        QCOMPARE(dialog.isVisible(), !mounted);
        const QStringList log =
            QString::fromStdString(testing::ReadBytes(bin / "gio.log")).split('\n');
        const bool handed = !gio.isEmpty() && told != "address"; // gio was run with the address
        QCOMPARE(log.front(), handed ? "args mount " + typed.trimmed() : QString());
        QCOMPARE(log.filter("answer ").join('\n').remove("answer "), answers);
    }
};

} // namespace kovi

QTEST_MAIN(kovi::DialogsTest)
#include "DialogsTest.moc"
