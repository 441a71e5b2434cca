// The help class against a recording viewer: what each display method asks of the viewer, the
// pop-ups, where help files are found and registered, and the component versions it reports.
#include "HelpFakes.h"

#include "app/ProgramFolder.h"
#include "help/ComponentVersions.h"
#include "help/HTMLHelp.h"
#include "platform/Registry.h"

#include <QCursor>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QWhatsThis>
#include <QWidget>

#include <memory>

using namespace kovi;
using namespace kovi::testing;

namespace {

using Display = void (HTMLHelp::*)(WindowHandle);

const std::map<QString, Display> DisplayMethods{{"HHDisplayTopicURL", &HTMLHelp::HHDisplayTopicURL},
                                                {"HHDisplayTopicID", &HTMLHelp::HHDisplayTopicID},
                                                {"HHDisplaySearch", &HTMLHelp::HHDisplaySearch},
                                                {"HHDisplayKeyword", &HTMLHelp::HHDisplayKeyword},
                                                {"HHDisplayIndex", &HTMLHelp::HHDisplayIndex},
                                                {"HHDisplayContents", &HTMLHelp::HHDisplayContents},
                                                {"HHDisplayALink", &HTMLHelp::HHDisplayALink}};

const QString Title = QStringLiteral("HTML Help Class");
const QString LocationsKey = QStringLiteral("Software\\Microsoft\\Windows\\HTML Help");
const QString ViewerKey =
    QStringLiteral("CLSID\\{4662DAB0-D393-11D0-9A56-00C04FB68B66}\\InprocServer32");
const QString BrowserKey =
    QStringLiteral("CLSID\\{0A89A860-D7B1-11CE-8350-444553540000}\\InProcServer32");

QString NotFound(const QString& path) {
    return "The file " + path +
           " does not exist.\nPlease make sure the correct path and file name have been specified.";
}

// A registry in which no key can be created.
class LockedRegistry final : public Registry {
public:
    std::unique_ptr<RegistryKey> openKey(RegistryHive, const QString&, std::uint32_t) override {
        return nullptr;
    }
    std::unique_ptr<RegistryKey> createKey(RegistryHive, const QString&, std::uint32_t) override {
        return nullptr;
    }
};

void WriteFile(const QString& path) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

void SetValue(RegistryHive hive, const QString& key, const QString& name, const QByteArray& data,
              std::uint32_t type = RegistryType::String) {
    auto opened = CurrentRegistry().createKey(hive, key, RegistryAccess::SetValue);
    QVERIFY(opened);
    QVERIFY(opened->setValue(name, type, data));
}

void List(const QString& name, const QByteArray& data, std::uint32_t type = RegistryType::String) {
    SetValue(RegistryHive::LocalMachine, LocationsKey, name, data, type);
}

std::optional<QByteArray> Listed(const QString& name) {
    auto key = CurrentRegistry().openKey(RegistryHive::LocalMachine, LocationsKey,
                                         RegistryAccess::QueryValue);
    return key ? key->queryValue(name) : std::nullopt;
}

void Register(const QString& key, const QString& path) {
    SetValue(RegistryHive::ClassesRoot, key, {}, path.toUtf8() + '\0');
}

} // namespace

class HtmlHelpTest : public QObject {
    Q_OBJECT

private:
    // The program's folder, holding an (empty) help.chm.
    QString path(const QString& name) const { return folder_->filePath(name); }
    QString helpFile() const { return path(QStringLiteral("help.chm")); }
    QByteArray listedValue(const QString& name) const { return (path(name) + "/").toUtf8() + '\0'; }
    const ShownBox& onlyMessage() const {
        if (sink_->boxes.size() != 1)
            qFatal("expected one message box, got %zu", sink_->boxes.size());
        return sink_->boxes.front();
    }
    QStringList messageTexts() const {
        QStringList texts;
        for (const auto& message : sink_->boxes)
            texts.append(message.text);
        return texts;
    }
    const HelpPopupRecord& popupAt(std::size_t index) const {
        return std::get<HelpPopupRecord>(viewer_.calls.at(index).data);
    }
    // Both components registered at files that exist, with these versions.
    void install(FileVersionNumbers viewer, FileVersionNumbers browser) {
        WriteFile(path(QStringLiteral("hhctrl.ocx")));
        WriteFile(path(QStringLiteral("shdocvw.dll")));
        Register(ViewerKey, path(QStringLiteral("hhctrl.ocx")));
        Register(BrowserKey, path(QStringLiteral("shdocvw.dll")));
        system_.versions[path(QStringLiteral("hhctrl.ocx"))] = viewer;
        system_.versions[path(QStringLiteral("shdocvw.dll"))] = browser;
    }

    std::unique_ptr<QTemporaryDir> folder_;
    RecordingViewer viewer_;
    std::unique_ptr<RecordingMessages> sink_;
    FakeSystemInfo system_;

private slots:
    void init() {
        QStandardPaths::setTestModeEnabled(true);
        folder_ = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir(folder_->path()).mkpath(QStringLiteral("docs")));
        SetProgramFolder(folder_->path().toStdString());
        SetRegistryFolder(path(QStringLiteral("registry")).toStdString());
        WriteFile(helpFile());
        viewer_ = RecordingViewer{};
        sink_ = std::make_unique<RecordingMessages>();
        system_ = FakeSystemInfo{};
        InstallHelpViewer(&viewer_);
    }

    void cleanup() {
        InstallHelpViewer(nullptr);
        sink_.reset();
        SetProgramFolder({});
        SetRegistryFolder({});
        folder_.reset();
    }

    // ---- the display methods

    void commandAndData_data() {
        QTest::addColumn<QString>("method");
        QTest::addColumn<int>("command");
        QTest::newRow("contents: HH_DISPLAY_TOC, data 0") << "HHDisplayContents" << 1;
        QTest::newRow("index: HH_DISPLAY_INDEX, data 0") << "HHDisplayIndex" << 2;
        QTest::newRow("topic: HH_DISPLAY_TOPIC with the path") << "HHDisplayTopicURL" << 0;
        QTest::newRow("context: HH_HELP_CONTEXT with the number") << "HHDisplayTopicID" << 15;
        QTest::newRow("search: HH_DISPLAY_SEARCH with a query") << "HHDisplaySearch" << 3;
        QTest::newRow("alink: HH_ALINK_LOOKUP with a link record") << "HHDisplayALink" << 19;
    }
    void commandAndData() {
        QFETCH(QString, method);
        QFETCH(int, command);
        HTMLHelp help;
        help.setCHMFile(helpFile());
        help.setHHTopicURL(QStringLiteral("processing.html"));
        help.setHHTopicID(1020);
        help.setHHALink(QStringLiteral("exclusions"));

        (help.*DisplayMethods.at(method))(0);

        QCOMPARE(viewer_.calls.size(), std::size_t(1));
        const ViewerCall& call = viewer_.calls.front();
        QCOMPARE(call.command, command);
        QCOMPARE(call.owner, WindowHandle(0));
        QCOMPARE(call.file, std::optional<QString>(helpFile()));
        switch (command) {
        case 0:
            QCOMPARE(std::get<QString>(call.data), QStringLiteral("processing.html"));
            break;
        case 15:
            QCOMPARE(std::get<std::int32_t>(call.data), 1020);
            break;
        case 3: {
            const auto& query = std::get<HelpSearchRecord>(call.data);
            QCOMPARE(query.structSize, 32);
            QCOMPARE(query.unicodeStrings, false);
            QCOMPARE(query.searchQuery, std::optional<QString>(QString()));
            QVERIFY(query.searchQuery->isEmpty() && !query.searchQuery->isNull());
            QCOMPARE(query.proximity, 0);
            QCOMPARE(query.stemmedSearch, false);
            QCOMPARE(query.titleOnly, false);
            QCOMPARE(query.execute, true);
            QCOMPARE(query.window, std::optional<QString>(QString()));
            break;
        }
        case 19:
            QCOMPARE(std::get<HelpLinkRecord>(call.data).keywords,
                     std::optional<QString>(QStringLiteral("exclusions")));
            break;
        default:
            QVERIFY(std::holds_alternative<std::monostate>(call.data));
        }
        QCOMPARE(help.HHWndHandle(), WindowHandle(4242));
        QVERIFY(sink_->boxes.empty());
    }

    void keywordOpensTheDefaultTopicFirst() {
        HTMLHelp help;
        help.setCHMFile(helpFile());
        help.setHHKeyword(QStringLiteral("kovilog.txt"));
        help.HHDisplayKeyword();

        QCOMPARE(viewer_.calls.size(), std::size_t(2));
        QCOMPARE(viewer_.calls[0].command, 0);
        QVERIFY(std::holds_alternative<std::monostate>(viewer_.calls[0].data));
        QCOMPARE(viewer_.calls[1].command, 13);
        QCOMPARE(std::get<HelpLinkRecord>(viewer_.calls[1].data).keywords,
                 std::optional<QString>(QStringLiteral("kovilog.txt")));
    }

    void windowType_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<bool>("recordHasWindow");
        const auto row = [](const char* name, const char* window, const char* suffix, bool has) {
            QTest::newRow(name) << window << suffix << has;
        };
        row("no window type", "", "", false);
        row("blanks only count as none", "   ", "", false);
        row("a name is appended after >", "main", ">main", true);
        row("appended untrimmed", " main ", "> main ", true);
    }
    void windowType() {
        QFETCH(QString, window);
        QFETCH(QString, suffix);
        QFETCH(bool, recordHasWindow);
        HTMLHelp help;
        help.setCHMFile(helpFile());
        help.setHHWindow(window);

        help.HHDisplayContents();
        help.HHDisplayKeyword();
        help.HHDisplayALink();

        QCOMPARE(viewer_.calls.size(), std::size_t(4));
        QCOMPARE(viewer_.calls[0].file, std::optional<QString>(helpFile() + suffix));
        // The look-ups pass the file alone and name the window in their record.
        for (std::size_t i = 1; i < 4; ++i)
            QCOMPARE(viewer_.calls[i].file, std::optional<QString>(helpFile()));
        for (std::size_t i : {std::size_t(2), std::size_t(3)}) {
            const auto& link = std::get<HelpLinkRecord>(viewer_.calls[i].data);
            QCOMPARE(link.window.has_value(), recordHasWindow);
            if (recordHasWindow)
                QCOMPARE(*link.window, window);
        }
    }

    void linkRecordNullsEmptyStrings() {
        HTMLHelp help;
        help.setCHMFile(helpFile());
        help.setHHALink(QStringLiteral("options"));
        help.setHHDefaultURL(QString(""));
        help.setHHMsgText(QStringLiteral("Nothing found"));
        help.setHHMsgTitle(QString(""));
        help.HHDisplayALink();

        const auto& link = std::get<HelpLinkRecord>(viewer_.calls.at(0).data);
        QCOMPARE(link.structSize, 28);
        QCOMPARE(link.reserved, false);
        QCOMPARE(link.url, std::nullopt);
        QCOMPARE(link.messageText, std::optional<QString>(QStringLiteral("Nothing found")));
        QCOMPARE(link.messageTitle, std::nullopt);
        QCOMPARE(link.window, std::nullopt);
        QCOMPARE(link.indexOnFail, false);
    }

    void showOnTopNeedsAForm_data() {
        QTest::addColumn<QString>("method");
        for (const auto& [name, display] : DisplayMethods)
            QTest::newRow(name.toLatin1().constData()) << name;
    }
    void showOnTopNeedsAForm() {
        QFETCH(QString, method);
        HTMLHelp help;
        help.setCHMFile(helpFile());
        help.setHHShowOnTop(true);
        (help.*DisplayMethods.at(method))(0);

        QVERIFY(viewer_.calls.empty());
        QCOMPARE(onlyMessage().icon, MessageIcon::Warning);
        QCOMPARE(onlyMessage().title, Title);
        QCOMPARE(onlyMessage().text, "The " + method +
                                         " method was called without a form being specified, "
                                         "while HHShowOnTop was set to True.");
    }

    void ownerIsTheFormOnlyWhenShownOnTop() {
        HTMLHelp help;
        help.setCHMFile(helpFile());
        help.HHDisplayIndex(77);
        help.setHHShowOnTop(true);
        help.HHDisplayIndex(77);

        QCOMPARE(viewer_.calls.at(0).owner, WindowHandle(0));
        QCOMPARE(viewer_.calls.at(1).owner, WindowHandle(77));
    }

    void helpFileName_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("lower case chm") << "help.chm" << true;
        QTest::newRow("upper case CHM") << "HELP.CHM" << true;
        QTest::newRow("chm and a blank") << "help.chm " << false;
        QTest::newRow("another extension") << "help.hlp" << false;
        QTest::newRow("empty") << "" << false;
    }
    void helpFileName() {
        QFETCH(QString, name);
        QFETCH(bool, accepted);
        QFile(path(name.trimmed())).open(QIODevice::WriteOnly);
        HTMLHelp help;
        help.setCHMFile(name.isEmpty() ? name : path(name));
        help.HHDisplayContents();

        QCOMPARE(viewer_.calls.size(), std::size_t(accepted ? 1 : 0));
        if (!accepted) {
            QCOMPARE(onlyMessage().icon, MessageIcon::Warning);
            QCOMPARE(onlyMessage().text, help.CHMFile() + " is not a valid HTML Help file.");
        }
    }

    void missingHelpFileIsReported() {
        HTMLHelp help;
        help.setCHMFile(path(QStringLiteral("missing.chm")));
        help.HHDisplayTopicURL();

        QVERIFY(viewer_.calls.empty());
        QCOMPARE(onlyMessage().icon, MessageIcon::Warning);
        QCOMPARE(onlyMessage().title, Title);
        QCOMPARE(onlyMessage().text, NotFound(path(QStringLiteral("missing.chm"))));
    }

    void bareNameIsCompletedFromTheProgramFolder() {
        HTMLHelp help;
        help.setCHMFile(QStringLiteral("help.chm"));
        help.HHDisplayContents();

        QCOMPARE(help.CHMFile(), helpFile());
        QCOMPARE(viewer_.calls.at(0).file, std::optional<QString>(helpFile()));
    }

    void windowHandleIsTheLastOneTheViewerGave() {
        HTMLHelp help;
        QCOMPARE(help.HHWndHandle(), WindowHandle(0));
        QCOMPARE(onlyMessage().text, QStringLiteral("No HTML Help window handle to retrieve."));
        QCOMPARE(onlyMessage().icon, MessageIcon::Warning);
        sink_->boxes.clear();

        help.setCHMFile(helpFile());
        help.HHDisplayContents();
        // Neither an unreachable viewer nor a pop-up replaces the handle.
        viewer_.answer = std::nullopt;
        help.HHDisplayIndex();
        viewer_.answer = 22;
        help.setHHPopupType(4);
        help.setHHPopupText(QStringLiteral("x"));
        help.HHDisplayPopup(0);
        QCOMPARE(help.HHWndHandle(), WindowHandle(4242));

        viewer_.answer = 0;
        help.HHDisplayContents();
        QCOMPARE(help.HHWndHandle(), WindowHandle(0));
        QCOMPARE(sink_->boxes.size(), std::size_t(1));
    }

    void closeSendsCloseAllWithAnEmptyFile() {
        HTMLHelp help;
        help.HHClose();
        QCOMPARE(viewer_.calls.size(), std::size_t(1));
        QCOMPARE(viewer_.calls[0].command, 18);
        QCOMPARE(viewer_.calls[0].owner, WindowHandle(0));
        QVERIFY(viewer_.calls[0].file && viewer_.calls[0].file->isEmpty());
        QVERIFY(sink_->boxes.empty());
    }

    void whatsThisModeForTheCallingForm() {
        HTMLHelp help;
        help.HHInvokeWhatsThisHelp(0);
        QVERIFY(!QWhatsThis::inWhatsThisMode());

        QWidget form;
        form.show();
        help.HHInvokeWhatsThisHelp(static_cast<WindowHandle>(form.winId()));
        QVERIFY(QWhatsThis::inWhatsThisMode());
        QWhatsThis::leaveWhatsThisMode();
        QVERIFY(viewer_.calls.empty());
    }

    void setHelpFile_data() {
        QTest::addColumn<int>("choice");
        QTest::addColumn<QString>("expected");
        QTest::newRow("1: the library beside the program") << 1 << "<folder>/Library.chm";
        QTest::newRow("2: the pop-up text file") << 2 << "Library.txt";
        QTest::newRow("0: nothing") << 0 << "";
        QTest::newRow("3: nothing") << 3 << "";
    }
    void setHelpFile() {
        QFETCH(int, choice);
        QFETCH(QString, expected);
        expected.replace(QStringLiteral("<folder>"), folder_->path());
        HTMLHelp help;
        QCOMPARE(help.HHSetHelpFile(static_cast<std::int16_t>(choice)), expected);
        QVERIFY(help.CHMFile().isEmpty());
    }

    // ---- pop-ups

    void popupFont_data() {
        QTest::addColumn<QString>("face");
        QTest::addColumn<QString>("size");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<bool>("italic");
        QTest::addColumn<bool>("underline");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const char* face, const char* size, bool bold,
                            bool italic, bool underline, const char* expected) {
            QTest::newRow(name) << face << size << bold << italic << underline << expected;
        };
        row("all defaults end in a blank", "", "", false, false, false, "Arial, 10, ascii, ");
        row("all three styles", "", "", true, true, true,
            "Arial, 10, ascii, Bold Italic Underline");
        row("face and size of the caller", "Verdana", "12", true, false, false,
            "Verdana, 12, ascii, Bold ");
        row("italic and underline", "", "8", false, true, true,
            "Arial, 8, ascii, Italic Underline");
    }
    void popupFont() {
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

    void popupOfLiteralText() {
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

    void popupFromTheHelpFile() {
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
        QVERIFY(sink_->boxes.empty());
    }

    void popupOfAStringResource() {
        HTMLHelp help;
        help.setHHPopupType(2);
        help.setHHPopupID(101);
        help.HHDisplayPopup(0);
        QCOMPARE(viewer_.calls.size(), std::size_t(1));
        QCOMPARE(viewer_.calls[0].file, std::nullopt);
        QCOMPARE(popupAt(0).stringId, 0u);
        QVERIFY(popupAt(0).text.has_value()); // this build carries no string resources: empty
    }

    void popupNotShown_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("helpFile");
        QTest::addColumn<QString>("popupFile");
        QTest::addColumn<QString>("message");
        const auto row = [](const char* name, int type, const char* text, const char* helpFile,
                            const char* popupFile, const char* message) {
            QTest::newRow(name) << type << text << helpFile << popupFile << message;
        };
        row("type 0: no source", 0, "text", "help.chm", "", "");
        row("type 3 is no source", 3, "text", "help.chm", "", "");
        row("type 4 without text", 4, "", "help.chm", "", "");
        row("type 8 is no source", 8, "text", "help.chm", "", "");
        row("popup file that is no text file", 1, "", "help.chm", "cshelp.doc",
            "The file specified as the text popup source, 'cshelp.doc', is not a valid popup "
            "file.");
        row("text file without the help file", 1, "", "gone.chm", "cshelp.txt", "The file ");
    }
    void popupNotShown() {
        QFETCH(int, type);
        QFETCH(QString, text);
        QFETCH(QString, helpFile);
        QFETCH(QString, popupFile);
        QFETCH(QString, message);
        HTMLHelp help;
        help.setCHMFile(path(helpFile));
        help.setHHPopupType(type);
        help.setHHPopupText(text);
        help.setHHPopupFile(popupFile);
        help.setHHPopupTextItalic(true);
        help.setHHPopupTextColor(0x0000FF);
        help.HHDisplayPopup(0);
        QVERIFY(viewer_.calls.empty());
        if (message.isEmpty()) {
            QVERIFY(sink_->boxes.empty());
        } else {
            QCOMPARE(onlyMessage().icon, MessageIcon::Warning);
            QVERIFY2(onlyMessage().text.startsWith(message), qPrintable(onlyMessage().text));
        }

        // And nothing was reset.
        help.setHHPopupType(4);
        help.setHHPopupText(QStringLiteral("x"));
        help.HHDisplayPopup(0);
        QCOMPARE(popupAt(0).font,
                 std::optional<QString>(QStringLiteral("Arial, 10, ascii, Italic ")));
        QCOMPARE(popupAt(0).foreground, 0x0000FF);
    }

    void popupColourPairIsChosenByCustomColors() {
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

    // ---- where help files are listed

    void registerCheckAndUnregister() {
        const QString file = path(QStringLiteral("docs/guide.chm"));
        WriteFile(file);
        HTMLHelp help;

        QString name = file;
        help.HHRegister(name);
        QCOMPARE(name, QStringLiteral("guide.chm"));
        QCOMPARE(Listed(name), std::optional<QByteArray>(listedValue(QStringLiteral("docs"))));

        help.HHCheckRegistry(QStringLiteral("GUIDE.chm"));
        QCOMPARE(help.HHRegFileName(), QStringLiteral("guide.chm"));
        QCOMPARE(help.HHRegFilePath(), path(QStringLiteral("docs")) + "/");
        QVERIFY(help.HHRegFileExists());

        // A listed bare name leads straight to the listed folder.
        QString bare = QStringLiteral("guide.chm");
        QVERIFY(help.EnsureFileExists(bare));
        QCOMPARE(bare, file);

        QString again = file;
        help.HHRegister(again);
        QCOMPARE(sink_->boxes.back().icon, MessageIcon::Information);
        QCOMPARE(sink_->boxes.back().text,
                 "The file " + file +
                     " is already registered.  HHRegister will not be run as no action need be "
                     "taken.");

        QString gone = file;
        help.HHUnRegister(gone);
        QCOMPARE(gone, QStringLiteral("guide.chm"));
        QCOMPARE(Listed(QStringLiteral("guide.chm")), std::nullopt);
        QVERIFY(help.HHRegFileName().isEmpty());
        QVERIFY(help.HHRegFilePath().isEmpty());

        help.HHUnRegister(gone);
        QCOMPARE(sink_->boxes.back().text,
                 QStringLiteral("The file guide.chm is not registered.  HHUnRegister will not be "
                                "run as no action need be taken."));
        QCOMPARE(sink_->boxes.size(), std::size_t(2));
    }

    void bareNameIsListedWithTheFolderItWasFoundIn() {
        WriteFile(path(QStringLiteral("kovi.chm")));
        HTMLHelp help;
        QString name = QStringLiteral("kovi.chm");
        help.HHRegister(name);

        QCOMPARE(Listed(name), std::optional<QByteArray>(listedValue(QString())));
        help.HHCheckRegistry(name);
        QVERIFY(help.HHRegFileExists());
        QVERIFY(sink_->boxes.empty());
    }

    void listedFolder_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("with its closing separator and NUL") << QByteArray("<docs>/\0", 8);
        QTest::newRow("without the separator") << QByteArray("<docs>\0", 7);
        QTest::newRow("stored without a NUL by another program") << QByteArray("<docs>/");
    }
    void listedFolder() {
        QFETCH(QByteArray, stored);
        stored.replace("<docs>", path(QStringLiteral("docs")).toUtf8());
        WriteFile(path(QStringLiteral("docs/Manual.CHM")));
        List(QStringLiteral("Manual.CHM"), stored);

        // Asked for in other letters, found under the name as listed.
        HTMLHelp help;
        QString name = QStringLiteral("manual.chm");
        QVERIFY(help.EnsureFileExists(name));
        QCOMPARE(name, path(QStringLiteral("docs/Manual.CHM")));
        QCOMPARE(help.HHRegFileName(), QStringLiteral("Manual.CHM"));
        QVERIFY(help.HHRegFilePath().startsWith(path(QStringLiteral("docs"))));
        QVERIFY(!help.HHRegFilePath().contains(QChar(u'\0')));
        QVERIFY(help.HHRegFileExists());
    }

    void expandableFolderIsExpanded() {
        qputenv("KOVI_TEST_DOCS", path(QStringLiteral("docs")).toUtf8());
        WriteFile(path(QStringLiteral("docs/manual.chm")));
        List(QStringLiteral("manual.chm"), QByteArray("%KOVI_TEST_DOCS%/\0", 18),
             RegistryType::ExpandString);

        HTMLHelp help;
        help.HHCheckRegistry(QStringLiteral("manual.chm"));
        QCOMPARE(help.HHRegFilePath(), path(QStringLiteral("docs")) + "/");
        QVERIFY(help.HHRegFileExists());
        qunsetenv("KOVI_TEST_DOCS");
    }

    void listedButMissingFile() {
        List(QStringLiteral("lost.chm"), QByteArray("/nowhere/\0", 10));
        HTMLHelp help;
        help.HHCheckRegistry(QStringLiteral("lost.chm"));
        QCOMPARE(help.HHRegFileName(), QStringLiteral("lost.chm"));
        QVERIFY(!help.HHRegFileExists());
        QCOMPARE(messageTexts(), QStringList{NotFound(QStringLiteral("/nowhere/lost.chm"))});
    }

    void listedWithoutAFolder() {
        WriteFile(path(QStringLiteral("old.chm")));
        List(QStringLiteral("old.chm"), QByteArray("\0", 1));
        HTMLHelp help;
        help.HHCheckRegistry(QStringLiteral("old.chm"));
        QCOMPARE(help.HHRegFileName(), QStringLiteral("old.chm"));
        QVERIFY(help.HHRegFilePath().isEmpty());
        QVERIFY(!help.HHRegFileExists());

        // The display methods then look in the program's folder.
        QString name = QStringLiteral("old.chm");
        QVERIFY(help.EnsureFileExists(name));
        QCOMPARE(name, path(QStringLiteral("old.chm")));
    }

    void checkOfANameThatIsNoHelpFile() {
        WriteFile(path(QStringLiteral("docs/guide.chm")));
        List(QStringLiteral("guide.chm"), listedValue(QStringLiteral("docs")));
        HTMLHelp help;
        help.HHCheckRegistry(QStringLiteral("guide.chm"));
        QVERIFY(help.HHRegFileExists());

        help.HHCheckRegistry(QStringLiteral("notes.txt"));
        QVERIFY(!help.HHRegFileExists());
        QCOMPARE(help.HHRegFileName(), QStringLiteral("guide.chm"));
        QCOMPARE(messageTexts(), QStringList{"notes.txt is not a valid HTML Help file."});
    }

    void registerWhereNoKeyCanBeMade() {
        LockedRegistry locked;
        Installed<Registry, &InstallRegistry> installed(locked);
        WriteFile(path(QStringLiteral("docs/guide.chm")));
        HTMLHelp help;
        QString name = path(QStringLiteral("docs/guide.chm"));
        help.HHRegister(name);
        QCOMPARE(messageTexts(), QStringList{"HTML Help Class: HHRegister Error"});
        QCOMPARE(sink_->boxes.back().icon, MessageIcon::Warning);
    }

    void registerOfAMissingFile() {
        HTMLHelp help;
        QString name = path(QStringLiteral("docs/none.chm"));
        help.HHRegister(name);
        QCOMPARE(name, path(QStringLiteral("docs/none.chm")));
        QCOMPARE(Listed(QStringLiteral("none.chm")), std::nullopt);
        QCOMPARE(sink_->boxes.size(), std::size_t(1));
    }

    void viewerInstalledWhenItsTypeLibraryIsListed() {
        HTMLHelp help;
        QVERIFY(!help.HHInstalled());
        CurrentRegistry().createKey(
            RegistryHive::LocalMachine,
            QStringLiteral(
                "SOFTWARE\\Classes\\TypeLib\\{ADB880A2-D8FF-11CF-9377-00AA003B7A11}\\1.0"),
            RegistryAccess::AllAccess);
        QVERIFY(help.HHInstalled());
        QVERIFY(sink_->boxes.empty());
    }

    // ---- component versions

    void versionsAndReleases() {
        Installed<SystemInfo, &InstallSystemInfo> installed(system_);
        install({4, 74, 8702, 0}, {5, 0, 2919, 6307});
        HTMLHelp help;
        QCOMPARE(help.HHVersion(), QStringLiteral("4.74.8702.00"));
        QCOMPARE(help.HHFriendlyName(), QStringLiteral("1.3"));
        QCOMPARE(help.IEVersion(), QStringLiteral("5.00.2919.6307"));
        QCOMPARE(help.IEFriendlyName(), QStringLiteral("5.01"));

        // Build 0 gives a three-part version that no release matches.
        install({4, 74, 8702, 0}, {4, 72, 0, 3110});
        HTMLHelp older;
        QCOMPARE(older.IEVersion(), QStringLiteral("4.72.3110"));
        QCOMPARE(older.IEFriendlyName(), QStringLiteral("unknown"));
        QVERIFY(sink_->boxes.empty());
    }

    void componentsNotRegistered() {
        Installed<SystemInfo, &InstallSystemInfo> installed(system_);
        HTMLHelp help;
        QCOMPARE(help.HHVersion(), QString());
        QCOMPARE(help.IEVersion(), QString());
        QCOMPARE(
            messageTexts(),
            (QStringList{"Hhctrl.ocx is not registered.  Please install HTML Help.",
                         "Shdocvw.dll is not registered.  Please install Internet Explorer."}));
        QCOMPARE(sink_->boxes[0].icon, MessageIcon::Critical);
        QCOMPARE(sink_->boxes[0].title, Title);
    }

    void componentsRegisteredButGone() {
        Installed<SystemInfo, &InstallSystemInfo> installed(system_);
        Register(ViewerKey, path(QStringLiteral("gone/hhctrl.ocx")));
        Register(BrowserKey, path(QStringLiteral("gone/shdocvw.dll")));
        HTMLHelp help;
        help.HHVersion();
        help.IEVersion();
        QCOMPARE(messageTexts(),
                 (QStringList{"Hhctrl.ocx is not in its registered location.  Please reinstall "
                              "HTML Help.",
                              "Internet Explorer is not in its registered location.  Please "
                              "reinstall Internet Explorer."}));
        // Nothing located, so no release either.
        QCOMPARE(help.HHFriendlyName(), QStringLiteral("unknown"));
    }

    void minimumConfiguration_data() {
        QTest::addColumn<int>("viewerCode");
        QTest::addColumn<int>("browserCode");
        QTest::addColumn<bool>("passes");
        QTest::addColumn<QString>("viewerRelease");
        QTest::addColumn<QString>("browserRelease");
        const auto row = [](const char* name, int viewer, int browser, bool passes,
                            const char* viewerRelease, const char* browserRelease) {
            QTest::newRow(name) << viewer << browser << passes << viewerRelease << browserRelease;
        };
        row("both at the highest codes", 26, 273, true, "1.3", "5.01");
        row("both at the lowest codes", 16, 256, true, "1.3", "5.01");
        row("viewer code 15 is outside its table", 15, 256, false, "unknown", "5.01");
        row("browser code 274 has no row", 16, 274, false, "1.3", "unknown");
    }
    void minimumConfiguration() {
        QFETCH(int, viewerCode);
        QFETCH(int, browserCode);
        QFETCH(bool, passes);
        QFETCH(QString, viewerRelease);
        QFETCH(QString, browserRelease);
        Installed<SystemInfo, &InstallSystemInfo> installed(system_);
        install({4, 74, 8702, 0}, {5, 0, 2919, 6307});
        HTMLHelp help;
        QCOMPARE(help.HHVerifyMinConfig(viewerCode, browserCode), passes);
        // An unknown code leaves "unknown" as the version, which maps to no release without
        // locating the component again.
        QCOMPARE(help.HHFriendlyName(), viewerRelease);
        QCOMPARE(help.IEFriendlyName(), browserRelease);
        QVERIFY(sink_->boxes.empty());
        // The version read locates the component again.
        QCOMPARE(help.HHVersion(), QStringLiteral("4.74.8702.00"));
    }

    void minimumComparesVersionsNumberByNumber() {
        Installed<SystemInfo, &InstallSystemInfo> installed(system_);
        install({4, 72, 7290, 0}, {5, 0, 2919, 6307});
        HTMLHelp help;
        QVERIFY(help.HHVerifyMinConfig(16, 273));
        QVERIFY(!help.HHVerifyMinConfig(17, 273));
        // A viewer of version 10 is newer than 4.74, although "1" sorts before "4".
        install({10, 0, 19041, 1}, {11, 0, 19041, 1});
        HTMLHelp later;
        QVERIFY(later.HHVerifyMinConfig(26, 273));
    }

    void shortComponentNamesAreLengthened() {
        Installed<SystemInfo, &InstallSystemInfo> installed(system_);
        QVERIFY(QDir(folder_->path()).mkpath(QStringLiteral("Help Viewer")));
        const QString real = path(QStringLiteral("Help Viewer/hhctrl.ocx"));
        WriteFile(real);
        system_.longNames[path(QStringLiteral("HELPVI~1"))] = QStringLiteral("Help Viewer");
        system_.versions[real] = {4, 73, 8561, 0};
        Register(ViewerKey, path(QStringLiteral("HELPVI~1/hhctrl.ocx")));

        HTMLHelp help;
        QCOMPARE(help.HHVersion(), QStringLiteral("4.73.8561.00"));
        QCOMPARE(help.HHFriendlyName(), QStringLiteral("1.22"));
        QVERIFY(sink_->boxes.empty());
    }

    void laterSystemsLengthenThroughThePlatform() {
        Installed<SystemInfo, &InstallSystemInfo> installed(system_);
        const QString real = path(QStringLiteral("hhctrl.ocx"));
        WriteFile(real);
        system_.os = {1, 4, 10}; // Windows 98
        system_.longPaths[path(QStringLiteral("HHCTRL~1.OCX"))] = real;
        system_.versions[real] = {4, 74, 8702, 0};
        Register(ViewerKey, path(QStringLiteral("HHCTRL~1.OCX")));

        HTMLHelp help;
        QCOMPARE(help.HHVersion(), QStringLiteral("4.74.8702.00"));
        QVERIFY(sink_->boxes.empty());
    }
};

QTEST_MAIN(HtmlHelpTest)
#include "HtmlHelpTest.moc"
