#include "HelpFakes.h"

#include "app/ProgramFolder.h"
#include "help/HTMLHelp.h"
#include "platform/Registry.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace kovi;
using namespace kovi::testing;

namespace {

const QString LocationsKey = QStringLiteral("Software\\Microsoft\\Windows\\HTML Help");

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
    file.open(QIODevice::WriteOnly);
}

void List(const QString& name, const QByteArray& data, std::uint32_t type = RegistryType::String) {
    auto key = CurrentRegistry().createKey(RegistryHive::LocalMachine, LocationsKey,
                                           RegistryAccess::SetValue);
    QVERIFY(key);
    QVERIFY(key->setValue(name, type, data));
}

std::optional<QByteArray> Listed(const QString& name) {
    auto key = CurrentRegistry().openKey(RegistryHive::LocalMachine, LocationsKey,
                                         RegistryAccess::QueryValue);
    return key ? key->queryValue(name) : std::nullopt;
}

} // namespace

class HtmlHelpLocationsTest : public QObject {
    Q_OBJECT

private:
    QString path(const QString& name) const { return folder_->filePath(name); }
    QStringList messageTexts() const {
        QStringList texts;
        for (const auto& message : sink_.messages)
            texts.append(message.text);
        return texts;
    }

    std::unique_ptr<QTemporaryDir> folder_;
    RecordingSink sink_;

private slots:
    void init() {
        QStandardPaths::setTestModeEnabled(true);
        folder_ = std::make_unique<QTemporaryDir>();
        QDir(folder_->path()).mkpath(QStringLiteral("program"));
        QDir(folder_->path()).mkpath(QStringLiteral("docs"));
        SetProgramFolder(path(QStringLiteral("program")).toStdString());
        SetRegistryFolder(path(QStringLiteral("registry")).toStdString());
        sink_ = RecordingSink{};
        InstallMessageSink(&sink_);
    }

    void cleanup() {
        InstallMessageSink(nullptr);
        SetProgramFolder({});
        SetRegistryFolder({});
        folder_.reset();
    }

    void registerCheckAndUnregister() {
        const QString file = path(QStringLiteral("docs/guide.chm"));
        WriteFile(file);
        HTMLHelp help;

        QString name = file;
        help.HHRegister(name);
        QCOMPARE(name, QStringLiteral("guide.chm"));
        QCOMPARE(Listed(QStringLiteral("guide.chm")),
                 std::optional<QByteArray>((path(QStringLiteral("docs")) + "/").toUtf8() + '\0'));

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
        QCOMPARE(sink_.messages.back().icon, MessageIcon::Information);
        QCOMPARE(sink_.messages.back().text,
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
        QCOMPARE(sink_.messages.back().text,
                 QStringLiteral("The file guide.chm is not registered.  HHUnRegister will not be "
                                "run as no action need be taken."));
        QCOMPARE(sink_.messages.size(), std::size_t(2));
    }

    void bareNameIsListedWithTheFolderItWasFoundIn() {
        WriteFile(path(QStringLiteral("program/kovi.chm")));
        HTMLHelp help;
        QString name = QStringLiteral("kovi.chm");
        help.HHRegister(name);

        QCOMPARE(Listed(name), std::optional<QByteArray>(
                                   (path(QStringLiteral("program")) + "/").toUtf8() + '\0'));
        help.HHCheckRegistry(name);
        QVERIFY(help.HHRegFileExists());
        QVERIFY(sink_.messages.empty());
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
        QCOMPARE(messageTexts(),
                 QStringList{"The file /nowhere/lost.chm does not exist.\nPlease make sure the "
                             "correct path and file name have been specified."});
    }

    void listedWithoutAFolder() {
        WriteFile(path(QStringLiteral("program/old.chm")));
        List(QStringLiteral("old.chm"), QByteArray("\0", 1));
        HTMLHelp help;
        help.HHCheckRegistry(QStringLiteral("old.chm"));
        QCOMPARE(help.HHRegFileName(), QStringLiteral("old.chm"));
        QVERIFY(help.HHRegFilePath().isEmpty());
        QVERIFY(!help.HHRegFileExists());

        // The display methods then look in the program's folder.
        sink_.messages.clear();
        QString name = QStringLiteral("old.chm");
        QVERIFY(help.EnsureFileExists(name));
        QCOMPARE(name, path(QStringLiteral("program/old.chm")));
    }

    void checkOfANameThatIsNoHelpFile() {
        WriteFile(path(QStringLiteral("docs/guide.chm")));
        List(QStringLiteral("guide.chm"), (path(QStringLiteral("docs")) + "/").toUtf8() + '\0');
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
        QCOMPARE(sink_.messages.back().icon, MessageIcon::Warning);
    }

    void registerOfAMissingFile() {
        HTMLHelp help;
        QString name = path(QStringLiteral("docs/none.chm"));
        help.HHRegister(name);
        QCOMPARE(name, path(QStringLiteral("docs/none.chm")));
        QCOMPARE(Listed(QStringLiteral("none.chm")), std::nullopt);
        QCOMPARE(sink_.messages.size(), std::size_t(1));
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
        QVERIFY(sink_.messages.empty());
    }
};

QTEST_MAIN(HtmlHelpLocationsTest)
#include "HtmlHelpLocationsTest.moc"
