// F1 on the built help file, the help class's old faults, and the parsers of untrusted input.
#include "core/program/ProgramFiles.h"
#include "platform/desktop/BrowserLauncher.h"
#include "platform/desktop/Registry.h"
#include "platform/desktop/chm/HelpBook.h"
#include "platform/desktop/chm/HelpWindow.h"
#include "platform/desktop/linux/IniHive.h"
#include "tests/support/WindowFakes.h"
#include "ui/help/BrowserStart.h"
#include "ui/help/ComponentVersions.h"
#include "ui/help/HTMLHelp.h"

#include <QApplication>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

using namespace kovi;
using namespace kovi::testing;

namespace {

const QString BuiltHelpFile = QStringLiteral(KOVI_HELP_FILE);

void CollectLocals(const std::vector<SiteMapEntry>& entries, QStringList& locals) {
    for (const SiteMapEntry& entry : entries) {
        for (const SiteMapTopic& topic : entry.topics)
            locals.append(topic.local);
        CollectLocals(entry.children, locals);
    }
}

void WriteFile(const QString& path, const QByteArray& bytes = {}) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

// Answers every look-up with a browser and notes where the probe file was looked for.
struct ProbeLauncher final : BrowserLauncher {
    QString tempPath() override { return temp; }
    ExecutableLookup findExecutable(const QString& file, const QString& directory) override {
        folder = directory;
        probeExisted = QFileInfo::exists(directory + file);
        return {42, QStringLiteral("/usr/bin/browser")};
    }
    bool startProcess(const QString&, const QString&) override { return true; }
    QString temp, folder;
    bool probeExisted = false;
};

} // namespace

class HelpTest : public QObject {
    Q_OBJECT

private:
    QString path(const QString& name) const { return folder_->filePath(name); }

    std::unique_ptr<QTemporaryDir> folder_;
    std::unique_ptr<RecordingMessages> sink_;

private slots:
    void initTestCase() { QVERIFY2(QFile::exists(BuiltHelpFile), qPrintable(BuiltHelpFile)); }

    void init() {
        QStandardPaths::setTestModeEnabled(true);
        folder_ = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir(folder_->path()).mkpath(QStringLiteral("docs")));
        SetRegistryFolder(path(QStringLiteral("registry")).toStdString());
        sink_ = std::make_unique<RecordingMessages>();
    }

    void cleanup() {
        QApplication::closeAllWindows();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        sink_.reset();
        folder_.reset();
        QVERIFY2(QApplication::topLevelWidgets().isEmpty(), "a test left a window behind");
    }

    // What F1 does in the main window.
    void contentsOfTheBuiltHelpFile() {
        HTMLHelp help(folder_->path().toStdString());
        help.setCHMFile(BuiltHelpFile);
        help.HHDisplayContents();
        auto* window = qobject_cast<HelpWindow*>(QWidget::find(WId(help.HHWndHandle())));
        QVERIFY(window != nullptr && window->isVisible());
        QVERIFY(window->topicText().contains(QStringLiteral("makes the pictures in a folder")));
        QCOMPARE(window->contentsTitles().size(), 13);

        // A click on an entry of the contents shows its topic.
        auto* tree = window->findChild<QTreeWidget*>();
        const auto found = tree->findItems(QStringLiteral("Options"), Qt::MatchRecursive);
        QCOMPARE(found.size(), 1);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          tree->visualItemRect(found[0]).center());
        QCOMPARE(window->currentTopic(), QStringLiteral("/options.html"));
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
        for (const QString& page : QStringList(locals)) {
            const auto html = book->read(page);
            QVERIFY2(html, qPrintable(page + " is not in the help file"));
            for (auto it = link.globalMatch(QString::fromUtf8(*html)); it.hasNext();)
                locals.append(it.next().captured(1));
        }
        for (const QString& local : locals)
            QVERIFY2(book->read(local), qPrintable(local + " is not in the help file"));
    }

    // Reported in one box that names the file, and no help window opens.
    void unreadableHelpFile_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("damaged") << QByteArray("ITSF but nothing else of a help file");
    }
    void unreadableHelpFile() {
        QFETCH(QByteArray, bytes);
        const QString file = path(QStringLiteral("kovi_rzk_lite.chm"));
        if (!bytes.isNull())
            WriteFile(file, bytes);
        HTMLHelp help(folder_->path().toStdString());
        help.setCHMFile(file);
        help.HHDisplayContents();
        QCOMPARE(sink_->boxes.size(), std::size_t(1));
        QCOMPARE(sink_->boxes[0].icon, MessageIcon::Warning);
        QVERIFY2(sink_->boxes[0].text.contains(file), qPrintable(sink_->boxes[0].text));
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void bareNameIsListedWithTheFolderItWasFoundIn() {
        WriteFile(path(QStringLiteral("kovi.chm")));
        QString name = QStringLiteral("kovi.chm");
        HTMLHelp(folder_->path().toStdString()).HHRegister(name);
        HTMLHelp help(folder_->path().toStdString());
        help.HHCheckRegistry(name);
        QVERIFY(help.HHRegFileExists());
    }

    void listedFolder_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("found");
        QTest::newRow("with its closing separator") << QByteArray("<docs>/\0", 8) << "docs/";
        QTest::newRow("without the separator") << QByteArray("<docs>\0", 7) << "docs/";
        // As older versions listed bare names; looking it up once went round in circles.
        QTest::newRow("without a folder: the program's") << QByteArray("\0", 1) << "";
    }
    void listedFolder() {
        QFETCH(QByteArray, stored);
        QFETCH(QString, found);
        WriteFile(path(QStringLiteral("manual.chm")));
        WriteFile(path(QStringLiteral("docs/manual.chm")));
        stored.replace("<docs>", path(QStringLiteral("docs")).toUtf8());
        const auto key = CurrentRegistry().createKey(
            RegistryHive::LocalMachine, QStringLiteral("Software\\Microsoft\\Windows\\HTML Help"),
            RegistryAccess::SetValue);
        QVERIFY(key && key->setValue(QStringLiteral("manual.chm"), RegistryType::String, stored));

        QString name = QStringLiteral("manual.chm");
        QVERIFY(HTMLHelp(folder_->path().toStdString()).EnsureFileExists(name));
        QCOMPARE(name, path(found + QStringLiteral("manual.chm")));
    }

    void versionsCompareNumberByNumber() {
        QVERIFY(VersionAtLeast(QStringLiteral("10.00.19041.01"), QStringLiteral("9.74.8702")));
        QVERIFY(VersionAtLeast(QStringLiteral("5.00.2717.2000"), QStringLiteral("5.0.2717.2000")));
        QVERIFY(!VersionAtLeast(QStringLiteral("4.74.8701.00"), QStringLiteral("4.74.8702")));
    }

    // Someone's dummy.html in the shared temporary folder is neither emptied nor removed.
    void browserProbeIsMadeInAFolderOfItsOwn() {
        ProbeLauncher launcher;
        launcher.temp = folder_->path() + u'/';
        WriteFile(launcher.temp + QStringLiteral("dummy.html"), "<p>keep me</p>");
        InstallBrowserLauncher(&launcher);
        std::int32_t code = 0;
        GetBrowserName(code);
        InstallBrowserLauncher(nullptr);
        QVERIFY(launcher.probeExisted);
        QVERIFY2(launcher.folder.startsWith(launcher.temp) && launcher.folder != launcher.temp,
                 qPrintable(launcher.folder));
        QVERIFY(!QFileInfo::exists(launcher.folder));
        QFile theirs(launcher.temp + QStringLiteral("dummy.html"));
        QVERIFY(theirs.open(QIODevice::ReadOnly));
        QCOMPARE(theirs.readAll(), QByteArray("<p>keep me</p>"));
    }

    void siteMapToleratesSloppyMarkup() {
        // Lower case, single quotes, unquoted values, foreign objects, unclosed lists, and a
        // keyword that leads to two topics.
        const auto entries = ParseSiteMap(QStringLiteral(
            "<ul><li><object type='text/sitemap'><param name=Name value='It&#39;s here'>"
            "<param name=Local value=page.html></object><li><object type=x-oleobject>"
            "<param name=Name value=skip></object><ul><li><object type=\"text/sitemap\">"
            "<param name=\"Name\" value=\"Child &#x263A;\"></object></ul>"
            "<LI><OBJECT type=text/sitemap><PARAM name=Name value=exclusions>"
            "<param name=Name value=Folders><param name=Local value=folders.html>"
            "<param name=Name value=Types><param name=Local value=types.html></OBJECT>"));
        QCOMPARE(entries.size(), std::size_t(2));
        QCOMPARE(entries[0].name, QStringLiteral("It's here"));
        QCOMPARE(entries[0].topics.at(0).local, QStringLiteral("page.html"));
        QCOMPARE(entries[0].children.size(), std::size_t(1));
        QCOMPARE(entries[0].children[0].name, QStringLiteral("Child \u263A"));
        QCOMPARE(entries[1].topics.size(), std::size_t(2));
        QCOMPARE(entries[1].topics[1].name, QStringLiteral("Types"));
        QCOMPARE(entries[1].topics[1].local, QStringLiteral("types.html"));
    }

    void iniHiveKeepsEveryByteAndReadsWhatItCan() {
        const std::filesystem::path file = path(QStringLiteral("hive.ini")).toStdString();
        // Written as they are, name and data would make a line that reads as a new key.
        const QString name = QStringLiteral("[odd] name = with ; chars");
        const QByteArray data("a=b%c\0\xc3\xa9\r\n[x]", 13);
        IniHive hive;
        hive.addKey(QStringLiteral("Software\\Odd [Key]=1\\")).values.push_back({name, 2, data});
        QVERIFY(hive.save(file));
        auto loaded = IniHive::load(file);
        auto* key = loaded ? loaded->findKey(QStringLiteral("software\\odd [key]=1")) : nullptr;
        QVERIFY(key && key->values.size() == 1);
        QCOMPARE(key->values[0].name, name);
        QCOMPARE(key->values[0].type, 2u);
        QCOMPARE(key->values[0].data, data);

        // Edited by hand: the second "a" replaces "A", lines that make no sense are skipped.
        WriteFile(path(QStringLiteral("hive.ini")),
                  "; a comment\r\n[Software\\X]\r\nA=sz:one\r\nbroken line\r\nB=nonsense:two\r\n"
                  "a=sz:again\r\n");
        loaded = IniHive::load(file);
        key = loaded ? loaded->findKey(QStringLiteral("software\\x")) : nullptr;
        QVERIFY(key && key->values.size() == 1);
        QCOMPARE(key->values[0].data, QByteArray("again"));

        loaded = IniHive::load(path(QStringLiteral("none.ini")).toStdString());
        QVERIFY(loaded && !loaded->keyExists(QStringLiteral("Software")));
    }
};

QTEST_MAIN(HelpTest)
#include "HelpTest.moc"
