#include "HelpFakes.h"

#include "app/ProgramFolder.h"
#include "help/HTMLHelp.h"
#include "platform/Registry.h"

#include <QCursor>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace kovi;
using namespace kovi::testing;

class HtmlHelpPopupTest : public QObject {
    Q_OBJECT

private:
    QString helpFile() const { return folder_->filePath(QStringLiteral("help.chm")); }
    const HelpPopupRecord& popupAt(std::size_t index) const {
        return std::get<HelpPopupRecord>(viewer_.calls.at(index).data);
    }

    std::unique_ptr<QTemporaryDir> folder_;
    RecordingViewer viewer_;
    RecordingSink sink_;

private slots:
    void init() {
        QStandardPaths::setTestModeEnabled(true);
        folder_ = std::make_unique<QTemporaryDir>();
        SetProgramFolder(folder_->path().toStdString());
        SetRegistryFolder(folder_->filePath(QStringLiteral("registry")).toStdString());
        QFile file(helpFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        viewer_ = RecordingViewer{};
        sink_ = RecordingSink{};
        InstallHelpViewer(&viewer_);
        InstallMessageSink(&sink_);
    }

    void cleanup() {
        InstallHelpViewer(nullptr);
        InstallMessageSink(nullptr);
        SetProgramFolder({});
        SetRegistryFolder({});
        folder_.reset();
    }

    void fontString_data() {
        QTest::addColumn<QString>("face");
        QTest::addColumn<QString>("size");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<bool>("italic");
        QTest::addColumn<bool>("underline");
        QTest::addColumn<QString>("expected");
        QTest::newRow("all defaults end in a blank")
            << ""
            << "" << false << false << false << "Arial, 10, ascii, ";
        QTest::newRow("all three styles")
            << ""
            << "" << true << true << true << "Arial, 10, ascii, Bold Italic Underline";
        QTest::newRow("face and size of the caller")
            << "Verdana"
            << "12" << true << false << false << "Verdana, 12, ascii, Bold ";
        QTest::newRow("italic and underline")
            << ""
            << "8" << false << true << true << "Arial, 8, ascii, Italic Underline";
    }
    void fontString() {
        QFETCH(QString, face);
        QFETCH(QString, size);
        QFETCH(bool, bold);
        QFETCH(bool, italic);
        QFETCH(bool, underline);
        QFETCH(QString, expected);
        HTMLHelp help;
        help.setHHPopupType(4);
        help.setHHPopupText(QStringLiteral("Tip"));
        help.setHHPopupTextFont(face);
        help.setHHPopupTextSize(size);
        help.setHHPopupTextBold(bold);
        help.setHHPopupTextItalic(italic);
        help.setHHPopupTextUnderline(underline);
        help.HHDisplayPopup(0);
        QCOMPARE(popupAt(0).font, std::optional<QString>(expected));
    }

    void literalText() {
        HTMLHelp help;
        help.setHHPopupType(4);
        help.setHHPopupText(QStringLiteral("Shrinks the images."));
        help.setHHPopupID(7);
        help.setHHShowOnTop(false);
        help.HHDisplayPopup(99);

        QCOMPARE(viewer_.calls.size(), std::size_t(1));
        const ViewerCall& call = viewer_.calls[0];
        QCOMPARE(call.command, 14);
        QCOMPARE(call.owner, WindowHandle(99)); // always the calling form
        QCOMPARE(call.file, std::nullopt);
        const HelpPopupRecord& record = popupAt(0);
        QCOMPARE(record.structSize, 50);
        QCOMPARE(record.instance, std::intptr_t(0));
        QCOMPARE(record.stringId, 0u);
        QCOMPARE(record.text, std::optional<QString>(QStringLiteral("Shrinks the images.")));
        QCOMPARE(record.position, QCursor::pos());
        QCOMPARE(record.margins, QMargins(-1, -1, -1, -1));
        QCOMPARE(record.foreground, 0);
        QCOMPARE(record.background, 0);
    }

    void textFromTheHelpFile() {
        HTMLHelp help;
        help.setCHMFile(helpFile());
        help.setHHPopupType(1);
        help.setHHPopupFile(QStringLiteral("CSHELP.TXT"));
        help.setHHPopupID(2030);
        help.HHDisplayPopup(5);

        QCOMPARE(viewer_.calls.size(), std::size_t(1));
        QCOMPARE(viewer_.calls[0].file, std::optional<QString>(helpFile() + "::/CSHELP.TXT"));
        QCOMPARE(popupAt(0).stringId, 2030u);
        QCOMPARE(popupAt(0).text, std::nullopt);
        QVERIFY(sink_.messages.empty());
    }

    void popupFileMustBeText() {
        HTMLHelp help;
        help.setCHMFile(helpFile());
        help.setHHPopupType(1);
        help.setHHPopupFile(QStringLiteral("cshelp.doc"));
        help.setHHPopupTextBold(true);
        help.HHDisplayPopup(0);

        QVERIFY(viewer_.calls.empty());
        QCOMPARE(sink_.messages.size(), std::size_t(1));
        QCOMPARE(sink_.messages[0].icon, MessageIcon::Warning);
        QCOMPARE(sink_.messages[0].text,
                 QStringLiteral("The file specified as the text popup source, 'cshelp.doc', is "
                                "not a valid popup file."));

        // No pop-up, no reset: the bold style is still set.
        help.setHHPopupType(4);
        help.setHHPopupText(QStringLiteral("x"));
        help.HHDisplayPopup(0);
        QCOMPARE(popupAt(0).font,
                 std::optional<QString>(QStringLiteral("Arial, 10, ascii, Bold ")));
    }

    void textFileNeedsTheHelpFile() {
        HTMLHelp help;
        help.setCHMFile(folder_->filePath(QStringLiteral("gone.chm")));
        help.setHHPopupType(1);
        help.setHHPopupFile(QStringLiteral("cshelp.txt"));
        help.HHDisplayPopup(0);
        QVERIFY(viewer_.calls.empty());
        QCOMPARE(sink_.messages.size(), std::size_t(1));
        QVERIFY(sink_.messages[0].text.startsWith(QStringLiteral("The file ")));
    }

    void stringResource() {
        HTMLHelp help;
        help.setHHPopupType(2);
        help.setHHPopupID(101);
        help.HHDisplayPopup(0);
        QCOMPARE(viewer_.calls.size(), std::size_t(1));
        QCOMPARE(viewer_.calls[0].file, std::nullopt);
        QCOMPARE(popupAt(0).stringId, 0u);
        QVERIFY(popupAt(0).text.has_value()); // this build carries no string resources: empty
    }

    void nothingShown_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("text");
        QTest::newRow("type 0: no source") << 0 << "text";
        QTest::newRow("type 3 is no source") << 3 << "text";
        QTest::newRow("type 4 without text") << 4 << "";
        QTest::newRow("type 8 is no source") << 8 << "text";
    }
    void nothingShown() {
        QFETCH(int, type);
        QFETCH(QString, text);
        HTMLHelp help;
        help.setCHMFile(helpFile());
        help.setHHPopupType(type);
        help.setHHPopupText(text);
        help.setHHPopupTextItalic(true);
        help.setHHPopupTextColor(0x0000FF);
        help.HHDisplayPopup(0);
        QVERIFY(viewer_.calls.empty());
        QVERIFY(sink_.messages.empty());

        // And nothing was reset.
        help.setHHPopupType(4);
        help.setHHPopupText(QStringLiteral("x"));
        help.HHDisplayPopup(0);
        QCOMPARE(popupAt(0).font,
                 std::optional<QString>(QStringLiteral("Arial, 10, ascii, Italic ")));
        QCOMPARE(popupAt(0).foreground, 0x0000FF);
    }

    void colourPairIsChosenByCustomColors() {
        HTMLHelp help;
        help.setHHPopupType(4);
        help.setHHPopupText(QStringLiteral("x"));
        help.setHHPopupTextColor(0x000011);
        help.setHHPopupBackColor(0x000022);
        help.setHHPopupCustomTextColor(0x000033);
        help.setHHPopupCustomBackColor(0x000044);
        help.setHHPopupCustomColors(true);
        help.HHDisplayPopup(0);
        QCOMPARE(popupAt(0).foreground, 0x33);
        QCOMPARE(popupAt(0).background, 0x44);
        QVERIFY(help.HHPopupCustomColors());
    }

    void secondPopupUsesTheDefaultsAgain() {
        HTMLHelp help;
        help.setHHPopupType(4);
        help.setHHPopupText(QStringLiteral("first"));
        help.setHHPopupTextColor(0x123456);
        help.setHHPopupBackColor(0x654321);
        help.setHHPopupTextFont(QStringLiteral("Courier"));
        help.setHHPopupTextSize(QStringLiteral("14"));
        help.setHHPopupTextBold(true);
        help.setHHPopupTextUnderline(true);
        help.setHHPopupCustomColors(false);
        help.HHDisplayPopup(0);
        help.HHDisplayPopup(0);

        QCOMPARE(popupAt(0).font,
                 std::optional<QString>(QStringLiteral("Courier, 14, ascii, Bold Underline")));
        QCOMPARE(popupAt(0).foreground, 0x123456);
        QCOMPARE(popupAt(1).font, std::optional<QString>(QStringLiteral("Arial, 10, ascii, ")));
        QCOMPARE(popupAt(1).foreground, 0);
        QCOMPARE(popupAt(1).background, 0);
        // Source and text are kept for the next pop-up.
        QCOMPARE(popupAt(1).text, std::optional<QString>(QStringLiteral("first")));
    }

    void popupLeavesTheWindowHandleAlone() {
        HTMLHelp help;
        help.setCHMFile(helpFile());
        viewer_.answer = 11;
        help.HHDisplayContents();
        viewer_.answer = 22;
        help.setHHPopupType(4);
        help.setHHPopupText(QStringLiteral("x"));
        help.HHDisplayPopup(0);
        QCOMPARE(help.HHWndHandle(), WindowHandle(11));
    }
};

QTEST_MAIN(HtmlHelpPopupTest)
#include "HtmlHelpPopupTest.moc"
