// The detail window's wiring: File > Generate Detailed List scans the chosen folder into its
// grid and ends in a summary, Escape or closing stops the scan, and Export writes the grid where
// the file dialog says. What a scan lists and an export's bytes are tested below the window.
#include "ui/listing/DetailWindow.h"
#include "core/program/ProgramFiles.h"
#include "ui/listing/ListingRunner.h"
#include "ui/main/MainWindow.h"

#include "tests/support/SettingsSandbox.h"
#include "tests/support/TempFolder.h"
#include "tests/support/WindowFakes.h"

#include <QAction>
#include <QApplication>
#include <QTableView>
#include <QTest>

namespace kovi {

class DetailWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void aScanFillsTheGridUnlessTheWindowStopsItAndEndsInASummary_data() {
        QTest::addColumn<QString>("stop");
        QTest::newRow("not stopped") << QString();
        QTest::newRow("Escape in the grid") << QStringLiteral("escape");
        QTest::newRow("close box") << QStringLiteral("close");
    }
    void aScanFillsTheGridUnlessTheWindowStopsItAndEndsInASummary() {
        QFETCH(QString, stop);
        const bool held = !stop.isEmpty();
        testing::SettingsSandbox sandbox;
        testing::TempFolder folder;
        testing::RecordingMessages messages;
        testing::ScriptedFileDialogs dialogs;
        testing::Gate gate;
        std::string scanned;
        ProgramSettings settings;
        auto window = std::make_unique<MainWindow>(settings, ProgramFiles::In(folder.path()));
        window->SetSelectedFolder(QString::fromStdString(folder.path().string()));
        window->chooseResolution(3); // 640x480
        // A failed check must not leave the scan waiting at the gate for ever.
        const std::unique_ptr<testing::Gate, void (*)(testing::Gate*)> opener(
            &gate, [](testing::Gate* held) { held->open(); });
        // Lists two rows unless stopped, from the worker as the scan does; held after the first.
        window->listingRunner().setEngine(
            [&](const std::filesystem::path& at, TargetResolution target, bool,
                std::atomic<bool>& abortRequested, const ListingCallbacks& callbacks) {
                scanned = at.string() + " " + std::to_string(int(target.width)) + "x" +
                          std::to_string(int(target.height));
                abortRequested = false;
                callbacks.collecting();
                callbacks.started(2);
                ListingResult result;
                for (const ListingRow& row :
                     {ListingRow{"/p/a.jpg", 1234, 800, 600, "JPG", 16777216, 24},
                      ListingRow{"/p/b,c.png", 5678, 20, 10, "PNG", 256, 8}}) {
                    if (abortRequested) {
                        result.status = ListingStatus::Aborted;
                        break;
                    }
                    callbacks.fileStarted(result.rowCount, 2);
                    callbacks.row(row);
                    result.totalBytes += row.fileBytes;
                    result.wouldBeProcessed = static_cast<std::int64_t>(++result.rowCount);
                    if (held && result.rowCount == 1)
                        gate.pass();
                }
                return result;
            });
        const auto detail = [&]() -> DetailWindow& {
            return *window->listingRunner().window();
        };

        window->findChild<QAction*>(QStringLiteral("mnuDetailedList"))->trigger();
        if (held) {
            QVERIFY(QTest::qWaitFor([&] { return gate.reached(); }, 30000));
            QTRY_COMPARE(detail().grid().model()->rowCount(), 2);
            if (stop == "escape")
                QTest::keyClick(&detail().grid(), Qt::Key_Escape);
            else
                QVERIFY(detail().close());
            gate.open();
        }
        QTRY_VERIFY_WITH_TIMEOUT(!window->listingRunner().isRunning(), 30000);
        QCOMPARE(scanned, folder.path().string() + " 640x480");
        QCOMPARE(messages.boxes.size(), std::size_t(1));
        QCOMPARE(messages.boxes[0].text,
                 held ? "Total image bytes: 1,234\r\nWould be processed by current resolution: 1"
                      : "Total image bytes: 6,912\r\nWould be processed by current resolution: 2");
        if (stop == "close") {
            QTRY_VERIFY(window->listingRunner().window() == nullptr);
        } else {
            QCOMPARE(detail().cells().size(), std::size_t(held ? 2 : 3)); // the last is empty
            dialogs.answer = QString::fromStdString((folder / "listing.csv").string());
            detail().findChild<QAction*>(QStringLiteral("mnuExport"))->trigger();
            QCOMPARE(testing::ReadBytes(folder / "listing.csv"),
                     std::string("FILENAME,FILESIZE,XRES,YRES,FORMAT,COLOURS,BPP\r\n"
                                 "/p/a.jpg,1234,800,600,JPG,16777216,24\r\n") +
                         (held ? "" : "\"/p/b,c.png\",5678,20,10,PNG,256,8\r\n"));
            QVERIFY(messages.boxes.back().text.startsWith("Done exporting: " + dialogs.answer));
        }
        window.reset();
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    }
};

} // namespace kovi

QTEST_MAIN(kovi::DetailWindowTest)
#include "DetailWindowTest.moc"
