// A settings store damaged by hand or by a crash: the program still starts with sensible
// values and loses nothing the user had; the store is rewritten only by the user's own actions.
#include "core/program/ProgramFiles.h"
#include "ui/main/ImageView.h"
#include "ui/main/MainWindow.h"

#include "tests/support/SettingsSandbox.h"
#include "tests/support/TempFolder.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QSettings>
#include <QTest>

namespace kovi {

using testing::SettingsSandbox;

const std::string DamagedValues =
    "[Settings]\nlastresindex=x\nprocesssubs=yes\njpegchrom=-5\n"
    "jpeglum=99999999999999999999\na line that is no setting\n"
    "showtips=2\nwritelog=banana\n=\n[Settings\n\x01\x02\xFF\xFE=\x80\n"
    "[Other]\nkept=by the user\n";

class DamagedSettingsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<MainWindow> start(const std::string& store) {
        QDir().mkpath(QFileInfo(sandbox_->storeFile()).path());
        testing::WriteBytes(sandbox_->storeFile().toStdString(), store);
        auto window =
            std::make_unique<MainWindow>(settings_, ProgramFiles::In(programFolder_->path()));
        window->show();
        (void)QTest::qWaitForWindowExposed(window.get());
        return window;
    }

    std::optional<SettingsSandbox> sandbox_;
    std::optional<testing::TempFolder> programFolder_;
    ProgramSettings settings_;

private slots:
    void init() {
        sandbox_.emplace();
        programFolder_.emplace();
        settings_ = ProgramSettings();
    }
    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }

    void aDamagedStoreShowsDefaultsAndStartingLeavesItAsItWas_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("damaged values") << QByteArray::fromStdString(DamagedValues);
        QTest::newRow("no text at all") << QByteArray("\x89PNG\r\n\x1A\n\0\0\0\rIHDR\xFF\xFE", 18);
        QTest::newRow("cut short in a section name") << QByteArray("[Sett");
        QTest::newRow("a value of 10 MB")
            << (QByteArray("[Settings]\nlastresindex=") + QByteArray(10 * 1024 * 1024, '9'));
    }
    void aDamagedStoreShowsDefaultsAndStartingLeavesItAsItWas() {
        QFETCH(QByteArray, bytes);
        auto window = start(bytes.toStdString());
        QCOMPARE(window->targetResolution(), QStringLiteral("80x80"));
        QVERIFY(!window->processSubFolders());
        QCOMPARE(window->jpegFactors().get(), (JpegFactors{1, 1}));
        QCOMPARE(settings_.ShowTips, 1);
        QCOMPARE(settings_.WriteLog, 1);
        QCOMPARE(window->SelectedFolder(), QStringLiteral("/"));
        window.reset();
        QVERIFY(testing::ReadBytes(sandbox_->storeFile().toStdString()) == bytes.toStdString());
    }

    // Quit writes the four settings it owns, over damaged values too, and nothing else.
    void quitWritesItsFourSettingsAndKeepsEverythingElse() {
        const QString folder = QString::fromStdString(programFolder_->path().string());
        auto window =
            start(DamagedValues + "[Settings]\nlastfolder=" + folder.toStdString() + "\n");
        QCOMPARE(window->SelectedFolder(), folder);
        window->chooseResolution(3);
        window->findChild<QPushButton*>(QStringLiteral("cmdQuit"))->click();
        window.reset();
        const auto stored = [](const char* key) {
            return SettingsSandbox::storedValue(QString::fromLatin1(key)).toString();
        };
        QCOMPARE(stored("lastresindex"), QStringLiteral("640x480"));
        QCOMPARE(stored("jpegchrom"), QStringLiteral("1"));
        QCOMPARE(stored("lastfolder"), folder);
        QCOMPARE(stored("showtips"), QStringLiteral("2"));
        QCOMPARE(stored("writelog"), QStringLiteral("banana"));
        QSettings store(QSettings::NativeFormat, QSettings::UserScope,
                        QStringLiteral("Kovi rZk Lite"), QStringLiteral("Kovi rZk Lite"));
        QCOMPARE(store.value(QStringLiteral("Other/kept")).toString(),
                 QStringLiteral("by the user"));
    }
};

} // namespace kovi

QTEST_MAIN(kovi::DamagedSettingsTest)
#include "DamagedSettingsTest.moc"
