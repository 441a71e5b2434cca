#include "HelpFakes.h"

#include "help/HTMLHelp.h"
#include "platform/Registry.h"
#include "platform/chm/ChmHelpViewer.h"
#include "platform/chm/HelpBook.h"
#include "platform/chm/HelpPopup.h"
#include "platform/chm/HelpWindow.h"
#include "platform/chm/TopicBrowser.h"

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QPainter>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

#include <memory>

using namespace kovi;
using namespace kovi::testing;

namespace {

const QString BuiltHelpFile = QStringLiteral(KOVI_HELP_FILE);

HelpWindow* WindowOf(WindowHandle handle) {
    return qobject_cast<HelpWindow*>(QWidget::find(static_cast<WId>(handle)));
}

QList<HelpPopup*> OpenPopups() {
    QList<HelpPopup*> popups;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* popup = qobject_cast<HelpPopup*>(widget); popup && popup->isVisible())
            popups.append(popup);
    }
    return popups;
}

void CollectLocals(const std::vector<SiteMapEntry>& entries, QStringList& locals) {
    for (const SiteMapEntry& entry : entries) {
        for (const SiteMapTopic& topic : entry.topics)
            locals.append(topic.local);
        CollectLocals(entry.children, locals);
    }
}

} // namespace

class HelpViewerTest : public QObject {
    Q_OBJECT

private:
    // A help class on the real viewer and the built help file.
    std::unique_ptr<HTMLHelp> helpOnBuiltFile() {
        auto help = std::make_unique<HTMLHelp>();
        help->setCHMFile(BuiltHelpFile);
        return help;
    }
    HelpWindow* display(int command, const HelpData& data, const QString& suffix = {}) {
        return WindowOf(*viewer_->HtmlHelp(0, BuiltHelpFile + suffix, command, data));
    }

    std::unique_ptr<QTemporaryDir> folder_;
    std::unique_ptr<ChmHelpViewer> viewer_;
    std::unique_ptr<RecordingMessages> sink_;

private slots:
    void initTestCase() { QVERIFY2(QFile::exists(BuiltHelpFile), qPrintable(BuiltHelpFile)); }

    void init() {
        QStandardPaths::setTestModeEnabled(true);
        folder_ = std::make_unique<QTemporaryDir>();
        SetRegistryFolder(folder_->filePath(QStringLiteral("registry")).toStdString());
        viewer_ = std::make_unique<ChmHelpViewer>();
        sink_ = std::make_unique<RecordingMessages>();
        InstallHelpViewer(viewer_.get());
    }

    void cleanup() {
        viewer_->HtmlHelp(0, QString(), HelpCommand::CloseAll, std::monostate{});
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        InstallHelpViewer(nullptr);
        sink_.reset();
        SetRegistryFolder({});
        viewer_.reset();
        folder_.reset();
        QVERIFY2(QApplication::topLevelWidgets().isEmpty(), "a test left a window behind");
    }

    void contentsOfTheHelpFile() {
        auto help = helpOnBuiltFile();
        help->HHDisplayContents();
        HelpWindow* window = WindowOf(help->HHWndHandle());
        QVERIFY(window != nullptr);
        QVERIFY(window->isVisible());
        QCOMPARE(window->windowTitle(), QStringLiteral("Kovi rZk Lite Help"));
        QCOMPARE(window->currentTab(), HelpTab::Contents);
        QCOMPARE(window->currentTopic(), QStringLiteral("/welcome.html"));
        QVERIFY(
            window->topicText().contains(QStringLiteral("makes the pictures in a folder smaller")));
        QCOMPARE(window->contentsTitles(),
                 (QStringList{"Welcome to Kovi rZk Lite", "Using Kovi rZk Lite", "The main window",
                              "Processing images", "The log file kovilog.txt",
                              "The detailed listing", "Settings and lists", "Options",
                              "Your own sizes", "Leaving folders out", "Leaving file types out",
                              "Where Kovi rZk Lite keeps its settings and lists",
                              "kovi-rzk-batch, the command-line companion"}));
        QVERIFY(window->indexKeywords().contains(QStringLiteral("kovilog.txt")));
        QVERIFY(sink_->boxes.empty());
    }

    void everyLinkLeadsToAPageOfTheFile() {
        const auto book = HelpBook::open(BuiltHelpFile);
        QVERIFY(book);
        QStringList locals;
        CollectLocals(book->contents(), locals);
        CollectLocals(book->index(), locals);
        QVERIFY(locals.size() > 40);

        const QRegularExpression link(QStringLiteral("(?:href|src)=\"([^\"#:]+)[^\"]*\""));
        for (const char* page :
             {"welcome.html", "main_window.html", "processing.html", "options.html",
              "custom_resolutions.html", "folder_exclusions.html", "extension_exclusions.html",
              "detailed_listing.html", "log_file.html", "batch.html", "program_files.html"}) {
            const auto html = book->read(page);
            QVERIFY2(html, page);
            for (auto it = link.globalMatch(QString::fromUtf8(*html)); it.hasNext();)
                locals.append(it.next().captured(1));
        }
        for (const QString& local : locals)
            QVERIFY2(book->read(local), qPrintable(local + " is not in the help file"));
    }

    void topicShowsItsPictureAndStyle() {
        const auto book = HelpBook::open(BuiltHelpFile);
        TopicBrowser browser(book);
        browser.setSource(TopicBrowser::topicUrl(QStringLiteral("processing.html")));
        QTextDocument* document = browser.document();

        // The style sheet came out of the file: headings are drawn in its blue.
        const QTextBlock heading = document->firstBlock();
        QCOMPARE(heading.text(), QStringLiteral("Processing images"));
        QCOMPARE(heading.charFormat().foreground().color(), QColor(0x1f, 0x3b, 0x5c));

        // So did the picture: its red target box is in the drawn page.
        document->setTextWidth(700);
        QImage page(document->size().toSize(), QImage::Format_RGB32);
        page.fill(Qt::white);
        QPainter painter(&page);
        document->drawContents(&painter);
        painter.end();
        bool red = false;
        for (int y = 0; y < page.height() && !red; ++y) {
            for (int x = 0; x < page.width() && !red; ++x)
                red = page.pixelColor(x, y) == QColor(200, 60, 60);
        }
        QVERIFY2(red, "the picture fit.png was not drawn");
    }

    void topicByPathAndByContextNumber() {
        HelpWindow* window =
            display(HelpCommand::DisplayTopic, QStringLiteral("options.html#anything"));
        QVERIFY(window);
        QCOMPARE(window->currentTopic(), QStringLiteral("/options.html"));
        QCOMPARE(window->markedContentsTitle(), QStringLiteral("Options"));

        QCOMPARE(display(HelpCommand::HelpContext, std::int32_t(1090)), window);
        QCOMPARE(window->currentTopic(), QStringLiteral("/batch.html"));
        QCOMPARE(window->markedContentsTitle(),
                 QStringLiteral("kovi-rzk-batch, the command-line companion"));

        display(HelpCommand::HelpContext, std::int32_t(4711));
        QVERIFY(!window->hasTopic());
        QVERIFY(window->topicText().contains(QStringLiteral("4711")));

        display(HelpCommand::DisplayTopic, QStringLiteral("no_such_page.html"));
        QVERIFY(window->topicText().contains(QStringLiteral("no_such_page.html")));
    }

    void keywordWithTwoTopics() {
        auto help = helpOnBuiltFile();
        help->setHHKeyword(QStringLiteral("Exclusions"));
        help->HHDisplayKeyword();
        HelpWindow* window = WindowOf(help->HHWndHandle());
        QVERIFY(window);
        QCOMPARE(window->currentTab(), HelpTab::Index);
        QCOMPARE(window->keywordTopicTitles(),
                 (QStringList{"Leaving folders out", "Leaving file types out"}));
        QCOMPARE(window->currentTopic(), QStringLiteral("/folder_exclusions.html"));
    }

    void associativeLinkWithOneTopic() {
        auto help = helpOnBuiltFile();
        help->setHHALink(QStringLiteral("nothing here; kovi-rzk-batch"));
        help->HHDisplayALink();
        HelpWindow* window = WindowOf(help->HHWndHandle());
        QVERIFY(window);
        QCOMPARE(window->currentTopic(), QStringLiteral("/batch.html"));
    }

    void keywordNotFound() {
        HelpLinkRecord link;
        link.keywords = QStringLiteral("no such keyword");
        // Nothing asked for on failure: no window.
        QCOMPARE(*viewer_->HtmlHelp(0, BuiltHelpFile, HelpCommand::KeywordLookup, link),
                 WindowHandle(0));

        link.url = QStringLiteral("log_file.html");
        link.messageText = QStringLiteral("Not in this help.");
        link.messageTitle = QStringLiteral("Look-up");
        HelpWindow* window = display(HelpCommand::KeywordLookup, link);
        QVERIFY(window);
        QCOMPARE(window->currentTopic(), QStringLiteral("/log_file.html"));
        QCOMPARE(sink_->boxes.size(), std::size_t(1));
        QCOMPARE(sink_->boxes[0].title, QStringLiteral("Look-up"));
        QCOMPARE(sink_->boxes[0].text, QStringLiteral("Not in this help."));

        link = HelpLinkRecord{};
        link.keywords = QStringLiteral("still nothing");
        link.indexOnFail = true;
        QCOMPARE(display(HelpCommand::ALinkLookup, link), window);
        QCOMPARE(window->currentTab(), HelpTab::Index);
    }

    void indexAndSearch() {
        auto help = helpOnBuiltFile();
        help->HHDisplayIndex();
        HelpWindow* window = WindowOf(help->HHWndHandle());
        QVERIFY(window);
        QCOMPARE(window->currentTab(), HelpTab::Index);
        QCOMPARE(window->currentTopic(), QStringLiteral("/welcome.html"));

        help->HHDisplaySearch();
        QCOMPARE(WindowOf(help->HHWndHandle()), window);
        QCOMPARE(window->currentTab(), HelpTab::Search);
        QVERIFY(window->searchResultTitles().isEmpty());

        window->search(QStringLiteral("KOVILOG.TXT totals"), true);
        const QStringList found = window->searchResultTitles();
        QVERIFY(found.contains(QStringLiteral("The log file kovilog.txt")));
        QVERIFY(!found.contains(QStringLiteral("kovi-rzk-batch, the command-line companion")));

        window->search(QStringLiteral("xyzzy"), true);
        QCOMPARE(window->searchResultTitles(), QStringList{"No topics found."});
    }

    void oneWindowPerWindowType() {
        auto help = helpOnBuiltFile();
        help->HHDisplayContents();
        const WindowHandle first = help->HHWndHandle();
        help->setHHTopicURL(QStringLiteral("options.html"));
        help->HHDisplayTopicURL();
        QCOMPARE(help->HHWndHandle(), first);
        QCOMPARE(WindowOf(first)->currentTopic(), QStringLiteral("/options.html"));

        help->setHHWindow(QStringLiteral("main"));
        help->HHDisplayContents();
        QVERIFY(help->HHWndHandle() != first);
        QCOMPARE(WindowOf(help->HHWndHandle())->windowName(), QStringLiteral("main"));
    }

    void shownOnTopOfTheCallingForm() {
        QWidget form;
        form.show();
        auto help = helpOnBuiltFile();
        help->setHHShowOnTop(true);
        help->HHDisplayContents(static_cast<WindowHandle>(form.winId()));
        HelpWindow* window = WindowOf(help->HHWndHandle());
        QVERIFY(window);
        QCOMPARE(window->parentWidget(), &form);
        QVERIFY(window->isWindow());
        help->HHClose();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void closeAllClosesEveryWindow() {
        auto help = helpOnBuiltFile();
        help->HHDisplayContents();
        help->setHHWindow(QStringLiteral("second"));
        help->HHDisplayIndex();
        help->setHHPopupType(4);
        help->setHHPopupText(QStringLiteral("A pop-up"));
        help->HHDisplayPopup(0);
        QCOMPARE(OpenPopups().size(), 1);

        help->HHClose();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void popupFromTheHelpFile_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("start");
        QTest::newRow("topic by its name in popups.h") << 2030 << "Shrinks every image";
        QTest::newRow("topic without a text") << 2031 << "No Help topic is associated";
    }
    void popupFromTheHelpFile() {
        QFETCH(int, id);
        QFETCH(QString, start);
        QCursor::setPos(200, 150);
        auto help = helpOnBuiltFile();
        help->setHHPopupType(1);
        help->setHHPopupFile(QStringLiteral("cshelp.txt"));
        help->setHHPopupID(id);
        help->HHDisplayPopup(0);

        const auto popups = OpenPopups();
        QCOMPARE(popups.size(), 1);
        QVERIFY2(popups[0]->text().startsWith(start), qPrintable(popups[0]->text()));
        // At the pointer, give or take the frame the window system puts around it.
        QVERIFY((popups[0]->geometry().topLeft() - QCursor::pos()).manhattanLength() <= 8);
        QVERIFY(sink_->boxes.empty());

        // A click on the pop-up itself closes it.
        QTest::mouseClick(popups[0], Qt::LeftButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(OpenPopups().isEmpty());
    }

    void popupColoursAndFont() {
        auto help = helpOnBuiltFile();
        help->setHHPopupType(4);
        help->setHHPopupText(QStringLiteral("Coloured"));
        help->setHHPopupTextColor(0x0000FF); // red, stored blue-green-red
        help->setHHPopupBackColor(0xFFFFFF);
        help->setHHPopupTextFont(QStringLiteral("DejaVu Sans"));
        help->setHHPopupTextSize(QStringLiteral("14"));
        help->setHHPopupTextBold(true);
        help->HHDisplayPopup(0);
        auto popups = OpenPopups();
        QCOMPARE(popups.size(), 1);
        QCOMPARE(popups[0]->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QCOMPARE(popups[0]->palette().color(QPalette::Window), QColor(255, 255, 255));
        const QFont font = popups[0]->findChild<QLabel*>()->font();
        QCOMPARE(font.pointSizeF(), 14.0);
        QVERIFY(font.bold());
        popups[0]->close();

        // After the reset both colours are 0: black on black would be unreadable.
        help->HHDisplayPopup(0);
        popups = OpenPopups();
        QCOMPARE(popups.size(), 1);
        QVERIFY(popups[0]->palette().color(QPalette::WindowText) !=
                popups[0]->palette().color(QPalette::Window));
        popups[0]->close();
    }

    void damagedHelpFile() {
        const QString damaged = folder_->filePath(QStringLiteral("damaged.chm"));
        QFile file(damaged);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("ITSF but nothing else of a help file");
        file.close();
        auto help = std::make_unique<HTMLHelp>();
        help->setCHMFile(damaged);
        help->HHDisplayContents();
        QCOMPARE(sink_->boxes.size(), std::size_t(1));
        QCOMPARE(sink_->boxes[0].text, "Cannot open the file: " + damaged + ".");
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }
};

QTEST_MAIN(HelpViewerTest)
#include "HelpViewerTest.moc"
