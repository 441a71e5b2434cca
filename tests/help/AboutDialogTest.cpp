#include "HelpFakes.h"

#include "help/BrowserStart.h"
#include "help/frmAbout.h"
#include "kovi/Version.h"

#include <QApplication>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace kovi;
using namespace kovi::testing;

class AboutDialogTest : public QObject {
    Q_OBJECT

private:
    QString tempPath() const { return folder_->path() + u'/'; }

    std::unique_ptr<QTemporaryDir> folder_;
    std::unique_ptr<FakeLauncher> launcher_;

private slots:
    void init() {
        folder_ = std::make_unique<QTemporaryDir>();
        launcher_ = std::make_unique<FakeLauncher>(tempPath());
        InstallBrowserLauncher(launcher_.get());
    }

    void cleanup() {
        InstallBrowserLauncher(nullptr);
        launcher_.reset();
        folder_.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY2(QApplication::topLevelWidgets().isEmpty(), "a test left a window behind");
    }

    void showsTheVersionAndTheCredits() {
        frmAbout about;
        QCOMPARE(about.windowTitle(), QStringLiteral("About Kovi rZk Lite v%1.%2.%3...")
                                          .arg(VersionMajor)
                                          .arg(VersionMinor)
                                          .arg(VersionRevision));
        const QString thanks = about.findChild<QLabel*>(QStringLiteral("Label7"))->text();
        for (const char* library : {"libvips", "libjpeg-turbo", "Qt", "chmlib"})
            QVERIFY2(thanks.contains(QLatin1String(library)), library);
        QVERIFY(!about.findChild<QLabel*>(QStringLiteral("Image1"))->pixmap().isNull());
        auto* maker = about.findChild<QLabel*>(QStringLiteral("Label3"));
        QCOMPARE(maker->cursor().shape(), Qt::PointingHandCursor);
    }

    // The maker's name opens the maker's page when a browser is found; the box closes either
    // way, without a message.
    void makerLink_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("byKeyboard");
        QTest::addColumn<bool>("started");
        QTest::newRow("42: found") << 42 << false << true;
        QTest::newRow("found, by the keyboard") << 42 << true << true;
        QTest::newRow("32 counts as found") << 32 << false << true;
        QTest::newRow("31: no program for .html") << 31 << false << false;
        QTest::newRow("2: file not found") << 2 << false << false;
        QTest::newRow("0: out of memory") << 0 << false << false;
    }
    void makerLink() {
        QFETCH(int, code);
        QFETCH(bool, byKeyboard);
        QFETCH(bool, started);
        launcher_->code = code;
        frmAbout about;
        QSignalSpy finished(&about, &QDialog::finished);
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        auto* maker = about.findChild<QLabel*>(QStringLiteral("Label3"));
        if (byKeyboard) {
            maker->setFocus();
            QTest::keyClick(maker, Qt::Key_Return);
        } else {
            QTest::mouseClick(maker, Qt::LeftButton);
        }

        QCOMPARE(launcher_->starts.size(), std::size_t(started ? 1 : 0));
        if (started) {
            QCOMPARE(launcher_->starts[0].first, QStringLiteral("/opt/web browser/bin/browse"));
            QCOMPARE(launcher_->starts[0].second, " " + MakerPageAddress());
        }
        QCOMPARE(finished.size(), 1);
        QVERIFY(!about.isVisible());
    }

    void failedStartIsNotReported() {
        launcher_->startSucceeds = false;
        QCOMPARE(StartNewBrowser(QStringLiteral("https://example.org/")), false);
        launcher_->startSucceeds = true;
        QCOMPARE(StartNewBrowser(QStringLiteral("https://example.org/")), true);
    }

    void probeFileIsMadeAndRemoved() {
        // Someone else's dummy.html in the shared temporary folder is neither emptied nor
        // removed: the probe is made in a folder of our own.
        QFile theirs(tempPath() + QStringLiteral("dummy.html"));
        QVERIFY(theirs.open(QIODevice::WriteOnly));
        theirs.write("<p>keep me</p>");
        theirs.close();

        std::int32_t code = 0;
        QCOMPARE(GetBrowserName(code), QStringLiteral("/opt/web browser/bin/browse"));
        QCOMPARE(code, 42);
        QCOMPARE(launcher_->lookedUpFile, QStringLiteral("dummy.html"));
        QVERIFY(launcher_->lookedUpFolder.startsWith(tempPath()));
        QVERIFY(launcher_->lookedUpFolder.endsWith(u'/'));
        QVERIFY(launcher_->probeExisted);
        QCOMPARE(launcher_->probeSize, qint64(0));

        QVERIFY(!QFileInfo::exists(launcher_->lookedUpFolder + QStringLiteral("dummy.html")));
        QCOMPARE(QDir(tempPath()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{"dummy.html"});
        QVERIFY(theirs.open(QIODevice::ReadOnly));
        QCOMPARE(theirs.readAll(), QByteArray("<p>keep me</p>"));
    }

    void probeRemovedWhenNoBrowserIsFound() {
        launcher_->code = 31;
        launcher_->browser.clear();
        std::int32_t code = 0;
        QVERIFY(GetBrowserName(code).isEmpty());
        QCOMPARE(code, 31);
        QVERIFY(QDir(tempPath()).isEmpty());
    }

    void tempDirIsThePlatformsWithItsSeparator() { QCOMPARE(GetTempDir(), tempPath()); }
};

QTEST_MAIN(AboutDialogTest)
#include "AboutDialogTest.moc"
