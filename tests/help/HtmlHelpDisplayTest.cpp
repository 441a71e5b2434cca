#include "HelpFakes.h"

#include "app/ProgramFolder.h"
#include "help/HTMLHelp.h"
#include "platform/Registry.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QWhatsThis>
#include <QWidget>

#include <functional>
#include <memory>

using namespace kovi;
using namespace kovi::testing;

namespace {

using Display = std::function<void(HTMLHelp&, WindowHandle)>;

const std::map<QString, Display>& DisplayMethods() {
    static const std::map<QString, Display> methods{
        {"HHDisplayTopicURL",
         [](HTMLHelp& h, WindowHandle f) {
             h.HHDisplayTopicURL(f);
         }},
        {"HHDisplayTopicID",
         [](HTMLHelp& h, WindowHandle f) {
             h.HHDisplayTopicID(f);
         }},
        {"HHDisplaySearch",
         [](HTMLHelp& h, WindowHandle f) {
             h.HHDisplaySearch(f);
         }},
        {"HHDisplayKeyword",
         [](HTMLHelp& h, WindowHandle f) {
             h.HHDisplayKeyword(f);
         }},
        {"HHDisplayIndex",
         [](HTMLHelp& h, WindowHandle f) {
             h.HHDisplayIndex(f);
         }},
        {"HHDisplayContents",
         [](HTMLHelp& h, WindowHandle f) {
             h.HHDisplayContents(f);
         }},
        {"HHDisplayALink",
         [](HTMLHelp& h, WindowHandle f) {
             h.HHDisplayALink(f);
         }},
    };
    return methods;
}

const QString Title = QStringLiteral("HTML Help Class");

} // namespace

class HtmlHelpDisplayTest : public QObject {
    Q_OBJECT

private:
    QString helpFile() const { return folder_->filePath(QStringLiteral("help.chm")); }
    const ShownMessage& onlyMessage() const {
        if (sink_.messages.size() != 1)
            qFatal("expected one message box, got %zu", sink_.messages.size());
        return sink_.messages.front();
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

        DisplayMethods().at(method)(help, 0);

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
        QVERIFY(sink_.messages.empty());
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
        QTest::newRow("no window type") << ""
                                        << "" << false;
        QTest::newRow("blanks only count as none") << "   "
                                                   << "" << false;
        QTest::newRow("a name is appended after >") << "main"
                                                    << ">main" << true;
        QTest::newRow("appended untrimmed") << " main "
                                            << "> main " << true;
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
        QVERIFY(help.HHDefaultURL().isEmpty());
        QVERIFY(help.HHMsgTitle().isEmpty());
        QCOMPARE(help.HHMsgText(), QStringLiteral("Nothing found"));
    }

    void showOnTopNeedsAForm_data() {
        QTest::addColumn<QString>("method");
        for (const auto& [name, display] : DisplayMethods())
            QTest::newRow(name.toLatin1().constData()) << name;
    }
    void showOnTopNeedsAForm() {
        QFETCH(QString, method);
        HTMLHelp help;
        help.setCHMFile(helpFile());
        help.setHHShowOnTop(true);
        DisplayMethods().at(method)(help, 0);

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
        QFile(folder_->filePath(name.trimmed())).open(QIODevice::WriteOnly);
        HTMLHelp help;
        help.setCHMFile(name.isEmpty() ? name : folder_->filePath(name));
        help.HHDisplayContents();

        QCOMPARE(viewer_.calls.size(), std::size_t(accepted ? 1 : 0));
        if (!accepted) {
            QCOMPARE(onlyMessage().icon, MessageIcon::Warning);
            QCOMPARE(onlyMessage().text, help.CHMFile() + " is not a valid HTML Help file.");
        }
    }

    void missingHelpFileIsReported() {
        HTMLHelp help;
        const QString missing = folder_->filePath(QStringLiteral("missing.chm"));
        help.setCHMFile(missing);
        help.HHDisplayTopicURL();

        QVERIFY(viewer_.calls.empty());
        QCOMPARE(onlyMessage().icon, MessageIcon::Warning);
        QCOMPARE(onlyMessage().title, Title);
        QCOMPARE(onlyMessage().text,
                 "The file " + missing +
                     " does not exist.\nPlease make sure the correct path and file name have "
                     "been specified.");
    }

    void bareNameIsCompletedFromTheProgramFolder() {
        HTMLHelp help;
        help.setCHMFile(QStringLiteral("help.chm"));
        help.HHDisplayContents();

        QCOMPARE(help.CHMFile(), helpFile());
        QCOMPARE(viewer_.calls.at(0).file, std::optional<QString>(helpFile()));
    }

    void handleReadWarnsWhenThereIsNone() {
        HTMLHelp help;
        QCOMPARE(help.HHWndHandle(), WindowHandle(0));
        QCOMPARE(onlyMessage().text, QStringLiteral("No HTML Help window handle to retrieve."));
        QCOMPARE(onlyMessage().icon, MessageIcon::Warning);

        sink_.messages.clear();
        help.setCHMFile(helpFile());
        viewer_.answer = 0;
        help.HHDisplayContents();
        QCOMPARE(help.HHWndHandle(), WindowHandle(0));
        QCOMPARE(sink_.messages.size(), std::size_t(1));
    }

    void unreachableViewerKeepsTheLastHandle() {
        HTMLHelp help;
        help.setCHMFile(helpFile());
        help.HHDisplayContents();
        viewer_.answer = std::nullopt;
        help.HHDisplayIndex();
        QCOMPARE(help.HHWndHandle(), WindowHandle(4242));
    }

    void closeSendsCloseAllWithAnEmptyFile() {
        HTMLHelp help;
        help.HHClose();
        QCOMPARE(viewer_.calls.size(), std::size_t(1));
        QCOMPARE(viewer_.calls[0].command, 18);
        QCOMPARE(viewer_.calls[0].owner, WindowHandle(0));
        QVERIFY(viewer_.calls[0].file && viewer_.calls[0].file->isEmpty());
        QVERIFY(sink_.messages.empty());
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
};

QTEST_MAIN(HtmlHelpDisplayTest)
#include "HtmlHelpDisplayTest.moc"
