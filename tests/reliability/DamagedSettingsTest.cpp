// A settings store and list files damaged by hand or by a crash: the program still starts,
// shows sensible values, and loses nothing the user had; the store is rewritten only by the
// user's own actions.
#include "app/MainWindow.h"
#include "app/ProgramFolder.h"
#include "platform/ImageView.h"

#include "tests/support/SettingsSandbox.h"
#include "tests/support/TempFolder.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <random>

namespace kovi {

using testing::ReadBytes;
using testing::SettingsSandbox;
using testing::WriteBytes;

class DamagedSettingsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void damagedValuesShowDefaultsAndTheStoreIsLeftAsItWas();
    void quitWritesItsFourSettingsAndKeepsEverythingElse();
    void aStoreThatIsNoSettingsFileAtAllStartsWithDefaults_data();
    void aStoreThatIsNoSettingsFileAtAllStartsWithDefaults();
    void damagedCustomResolutionsAreListedAsTheyAreAndNotRewritten_data();
    void damagedCustomResolutionsAreListedAsTheyAreAndNotRewritten();

private:
    std::unique_ptr<MainWindow> start();
    std::string storeFile() const { return sandbox_->storeFile().toStdString(); }
    void writeStore(const std::string& bytes);

    std::unique_ptr<SettingsSandbox> sandbox_;
    std::unique_ptr<QTemporaryDir> programFolder_;
    ProgramSettings settings_;
};

void DamagedSettingsTest::init() {
    sandbox_ = std::make_unique<SettingsSandbox>();
    programFolder_ = std::make_unique<QTemporaryDir>();
    QVERIFY(sandbox_->isValid() && programFolder_->isValid());
    SetProgramFolder(programFolder_->path().toStdString());
    settings_ = ProgramSettings();
}

void DamagedSettingsTest::cleanup() {
    SetProgramFolder({});
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

std::unique_ptr<MainWindow> DamagedSettingsTest::start() {
    auto window = std::make_unique<MainWindow>(settings_);
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        qWarning("the main window was not shown");
    return window;
}

void DamagedSettingsTest::writeStore(const std::string& bytes) {
    QDir().mkpath(QFileInfo(sandbox_->storeFile()).path());
    WriteBytes(storeFile(), bytes);
}

// Values out of range, of the wrong kind, or broken lines between them.
const std::string DamagedStore = "[Settings]\n"
                                 "lastresindex=x\n"
                                 "processsubs=yes\n"
                                 "jpegchrom=-5\n"
                                 "jpeglum=99999999999999999999\n"
                                 "a line that is no setting\n"
                                 "showtips=2\n"
                                 "writelog=banana\n"
                                 "=\n"
                                 "[Settings\n"
                                 "\x01\x02\xFF\xFE=\x80\n"
                                 "[Other]\n"
                                 "kept=by the user\n";

void DamagedSettingsTest::damagedValuesShowDefaultsAndTheStoreIsLeftAsItWas() {
    writeStore(DamagedStore);
    auto window = start();
    QCOMPARE(window->targetResolution(), QStringLiteral("80x80"));
    QVERIFY(!window->processSubFolders());
    QCOMPARE(window->imageView().JpegChromFactor(), 1);
    QCOMPARE(window->imageView().JpegLumFactor(), 1);
    QCOMPARE(settings_.ShowTips, 1);
    QCOMPARE(settings_.WriteLog, 1);
    QCOMPARE(window->SelectedFolder(), QStringLiteral("/"));
    window->close();
    window.reset();
    QCOMPARE(ReadBytes(storeFile()), DamagedStore);
}

void DamagedSettingsTest::quitWritesItsFourSettingsAndKeepsEverythingElse() {
    const QString folder = programFolder_->path();
    writeStore(DamagedStore + "[Settings]\nlastfolder=" + folder.toStdString() + "\n");
    auto window = start();
    QCOMPARE(window->SelectedFolder(), folder);
    window->chooseResolution(3);
    window->findChild<QPushButton*>(QStringLiteral("cmdQuit"))->click();
    window.reset();

    QCOMPARE(SettingsSandbox::storedValue(QStringLiteral("lastresindex")).toString(),
             QStringLiteral("640x480"));
    QCOMPARE(SettingsSandbox::storedValue(QStringLiteral("jpegchrom")).toString(),
             QStringLiteral("1"));
    QCOMPARE(SettingsSandbox::storedValue(QStringLiteral("lastfolder")).toString(), folder);
    QCOMPARE(SettingsSandbox::storedValue(QStringLiteral("showtips")).toString(),
             QStringLiteral("2"));
    QCOMPARE(SettingsSandbox::storedValue(QStringLiteral("writelog")).toString(),
             QStringLiteral("banana"));
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kovi rZk Lite"),
                    QStringLiteral("Kovi rZk Lite"));
    QCOMPARE(store.value(QStringLiteral("Other/kept")).toString(), QStringLiteral("by the user"));
}

void DamagedSettingsTest::aStoreThatIsNoSettingsFileAtAllStartsWithDefaults_data() {
    QTest::addColumn<QByteArray>("bytes");
    std::mt19937 random(5);
    QByteArray noise(64 * 1024, '\0');
    for (char& byte : noise)
        byte = static_cast<char>(random() & 0xFF);
    QTest::newRow("random bytes") << noise;
    QTest::newRow("nul bytes") << QByteArray(4096, '\0');
    QTest::newRow("one 10 MB line") << QByteArray(10 * 1024 * 1024, 'x');
    QTest::newRow("cut short in a section name") << QByteArray("[Sett");
    QTest::newRow("a value of 10 MB")
        << (QByteArray("[Settings]\nlastresindex=") + QByteArray(10 * 1024 * 1024, '9'));
}

void DamagedSettingsTest::aStoreThatIsNoSettingsFileAtAllStartsWithDefaults() {
    QFETCH(QByteArray, bytes);
    const std::string stored = bytes.toStdString();
    writeStore(stored);
    QElapsedTimer clock;
    clock.start();
    auto window = start();
    QCOMPARE(window->targetResolution(), QStringLiteral("80x80"));
    QCOMPARE(window->imageView().JpegChromFactor(), 1);
    QCOMPARE(settings_.WriteLog, 1);
    QVERIFY2(clock.elapsed() < 20000, "starting took too long");
    window->close();
    window.reset();
    QVERIFY(ReadBytes(storeFile()) == stored);
}

void DamagedSettingsTest::damagedCustomResolutionsAreListedAsTheyAreAndNotRewritten_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("carriage returns only")
        << QByteArray("700x500\r900x700\r") << QStringList{"700x500", "900x700"};
    QTest::newRow("no final line end")
        << QByteArray("700x500\r\n900x700") << QStringList{"700x500", "900x700"};
    QTest::newRow("nul bytes") << QByteArray("700\0x500\r\n", 10)
                               << QStringList{QString::fromLatin1("700\0x500", 8)};
    QTest::newRow("not utf-8") << QByteArray("7\xFF"
                                             "0x500\r\n")
                               << QStringList{QString::fromUtf8("7\xFF"
                                                                "0x500")};
    QTest::newRow("one 10 MB line")
        << (QByteArray(10 * 1024 * 1024, '7') + "x500\r\n640x480\r\n")
        << QStringList{QString(10 * 1024 * 1024, QLatin1Char('7')) + "x500", "640x480"};
}

void DamagedSettingsTest::damagedCustomResolutionsAreListedAsTheyAreAndNotRewritten() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, entries);
    const std::string custom = bytes.toStdString();
    WriteBytes(CustomResolutionsFile(), custom);
    QElapsedTimer clock;
    clock.start();
    auto window = start();
    QVERIFY2(clock.elapsed() < 20000, "starting took too long");
    QCOMPARE(window->resolutions().mid(9), entries);
    QCOMPARE(window->targetResolution(), QStringLiteral("80x80"));
    window->findChild<QPushButton*>(QStringLiteral("cmdQuit"))->click();
    window.reset();
    QVERIFY(ReadBytes(CustomResolutionsFile()) == custom);
}

} // namespace kovi

QTEST_MAIN(kovi::DamagedSettingsTest)
#include "DamagedSettingsTest.moc"
