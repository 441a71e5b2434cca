#include "HelpFakes.h"

#include "help/ComponentVersions.h"
#include "help/HTMLHelp.h"
#include "platform/Registry.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace kovi;
using namespace kovi::testing;

namespace {

const QString ViewerKey =
    QStringLiteral("CLSID\\{4662DAB0-D393-11D0-9A56-00C04FB68B66}\\InprocServer32");
const QString BrowserKey =
    QStringLiteral("CLSID\\{0A89A860-D7B1-11CE-8350-444553540000}\\InProcServer32");

void Register(const QString& key, const QString& path) {
    auto opened =
        CurrentRegistry().createKey(RegistryHive::ClassesRoot, key, RegistryAccess::SetValue);
    QVERIFY(opened);
    QVERIFY(opened->setValue({}, RegistryType::String, path.toUtf8() + '\0'));
}

} // namespace

class HtmlHelpVersionsTest : public QObject {
    Q_OBJECT

private:
    QString path(const QString& name) const { return folder_->filePath(name); }
    // Both components registered at files that exist, with these versions.
    void install(FileVersionNumbers viewer, FileVersionNumbers browser) {
        for (const QString& name : {QStringLiteral("hhctrl.ocx"), QStringLiteral("shdocvw.dll")}) {
            QFile file(path(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        Register(ViewerKey, path(QStringLiteral("hhctrl.ocx")));
        Register(BrowserKey, path(QStringLiteral("shdocvw.dll")));
        system_.versions[path(QStringLiteral("hhctrl.ocx"))] = viewer;
        system_.versions[path(QStringLiteral("shdocvw.dll"))] = browser;
    }
    QStringList messageTexts() const {
        QStringList texts;
        for (const auto& message : sink_.messages)
            texts.append(message.text);
        return texts;
    }

    std::unique_ptr<QTemporaryDir> folder_;
    RecordingSink sink_;
    FakeSystemInfo system_;

private slots:
    void init() {
        QStandardPaths::setTestModeEnabled(true);
        folder_ = std::make_unique<QTemporaryDir>();
        SetRegistryFolder(path(QStringLiteral("registry")).toStdString());
        sink_ = RecordingSink{};
        system_ = FakeSystemInfo{};
        InstallMessageSink(&sink_);
        InstallSystemInfo(&system_);
    }

    void cleanup() {
        InstallMessageSink(nullptr);
        InstallSystemInfo(nullptr);
        SetRegistryFolder({});
        folder_.reset();
    }

    void versionsAndReleases() {
        install({4, 74, 8702, 0}, {5, 0, 2919, 6307});
        HTMLHelp help;
        QCOMPARE(help.HHVersion(), QStringLiteral("4.74.8702.00"));
        QCOMPARE(help.HHFriendlyName(), QStringLiteral("1.3"));
        QCOMPARE(help.IEVersion(), QStringLiteral("5.00.2919.6307"));
        QCOMPARE(help.IEFriendlyName(), QStringLiteral("5.01"));
        QVERIFY(sink_.messages.empty());
    }

    void buildZeroMatchesNoRelease() {
        install({4, 74, 8702, 0}, {4, 72, 0, 3110});
        HTMLHelp help;
        QCOMPARE(help.IEVersion(), QStringLiteral("4.72.3110"));
        QCOMPARE(help.IEFriendlyName(), QStringLiteral("unknown"));
    }

    void notRegistered() {
        HTMLHelp help;
        QCOMPARE(help.HHVersion(), QString());
        QCOMPARE(help.IEVersion(), QString());
        QCOMPARE(
            messageTexts(),
            (QStringList{"Hhctrl.ocx is not registered.  Please install HTML Help.",
                         "Shdocvw.dll is not registered.  Please install Internet Explorer."}));
        QCOMPARE(sink_.messages[0].icon, MessageIcon::Critical);
        QCOMPARE(sink_.messages[0].title, QStringLiteral("HTML Help Class"));
    }

    void registeredButGone() {
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
        QTest::newRow("both at the highest codes") << 26 << 273 << true << "1.3"
                                                   << "5.01";
        QTest::newRow("both at the lowest codes") << 16 << 256 << true << "1.3"
                                                  << "5.01";
        QTest::newRow("viewer code 15 is outside its table") << 15 << 256 << false << "unknown"
                                                             << "5.01";
        QTest::newRow("browser code 274 has no row") << 16 << 274 << false << "1.3"
                                                     << "unknown";
    }
    void minimumConfiguration() {
        QFETCH(int, viewerCode);
        QFETCH(int, browserCode);
        QFETCH(bool, passes);
        QFETCH(QString, viewerRelease);
        QFETCH(QString, browserRelease);
        install({4, 74, 8702, 0}, {5, 0, 2919, 6307});
        HTMLHelp help;
        QCOMPARE(help.HHVerifyMinConfig(viewerCode, browserCode), passes);
        // An unknown code leaves "unknown" as the version, which maps to no release without
        // locating the component again.
        QCOMPARE(help.HHFriendlyName(), viewerRelease);
        QCOMPARE(help.IEFriendlyName(), browserRelease);
        QVERIFY(sink_.messages.empty());
        // The version read locates the component again.
        QCOMPARE(help.HHVersion(), QStringLiteral("4.74.8702.00"));
    }

    void olderViewerFailsTheMinimum() {
        install({4, 72, 7290, 0}, {5, 0, 2919, 6307});
        HTMLHelp help;
        QVERIFY(help.HHVerifyMinConfig(16, 273));
        QVERIFY(!help.HHVerifyMinConfig(17, 273));
    }

    void laterReleasesPassTheMinimum() {
        // A viewer of version 10 is newer than 4.74, although "1" sorts before "4".
        install({10, 0, 19041, 1}, {11, 0, 19041, 1});
        HTMLHelp help;
        QVERIFY(help.HHVerifyMinConfig(26, 273));
    }

    void shortComponentNamesAreLengthened() {
        QDir(folder_->path()).mkpath(QStringLiteral("Help Viewer"));
        const QString real = path(QStringLiteral("Help Viewer/hhctrl.ocx"));
        QFile file(real);
        QVERIFY(file.open(QIODevice::WriteOnly));
        system_.longNames[path(QStringLiteral("HELPVI~1"))] = QStringLiteral("Help Viewer");
        system_.versions[real] = {4, 73, 8561, 0};
        Register(ViewerKey, path(QStringLiteral("HELPVI~1/hhctrl.ocx")));

        HTMLHelp help;
        QCOMPARE(help.HHVersion(), QStringLiteral("4.73.8561.00"));
        QCOMPARE(help.HHFriendlyName(), QStringLiteral("1.22"));
        QVERIFY(sink_.messages.empty());
    }

    void laterSystemsLengthenThroughThePlatform() {
        const QString real = path(QStringLiteral("hhctrl.ocx"));
        QFile file(real);
        QVERIFY(file.open(QIODevice::WriteOnly));
        system_.os = {1, 4, 10}; // Windows 98
        system_.longPaths[path(QStringLiteral("HHCTRL~1.OCX"))] = real;
        system_.versions[real] = {4, 74, 8702, 0};
        Register(ViewerKey, path(QStringLiteral("HHCTRL~1.OCX")));

        HTMLHelp help;
        QCOMPARE(help.HHVersion(), QStringLiteral("4.74.8702.00"));
        QVERIFY(sink_.messages.empty());
    }
};

QTEST_MAIN(HtmlHelpVersionsTest)
#include "HtmlHelpVersionsTest.moc"
