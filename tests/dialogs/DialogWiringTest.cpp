// The main window opens each dialog modally from its buttons and menu items.
#include "app/MainWindow.h"

#include "tests/dialogs/DialogTesting.h"
#include "tests/support/SettingsSandbox.h"
#include "tests/support/TempFolder.h"

#include <QAction>
#include <QDialog>
#include <QLineEdit>
#include <QTimer>

#include <functional>

namespace kovi {

using testing::Control;

class DialogWiringTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        settings_ = std::make_unique<testing::SettingsSandbox>();
        program_ = std::make_unique<testing::ProgramFolderSandbox>();
        QVERIFY(settings_->isValid() && program_->isValid());
        messages_ = std::make_unique<testing::RecordingMessages>();
        values_ = ProgramSettings();
    }

    void cleanup() {
        messages_.reset();
        program_.reset();
        settings_.reset();
        testing::VerifyNoWindowLeft();
    }

    void commandsOpenTheirDialogsModally_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("dialog");
        QTest::newRow("Options button") << "cmdOptions"
                                        << "frmOptions";
        QTest::newRow("Options menu item") << "mnuOptions"
                                           << "frmOptions";
        QTest::newRow("Custom Resolutions") << "mnuCustom"
                                            << "frmCustomRes";
        QTest::newRow("Folder Exclusions") << "mnuFolderExclusions"
                                           << "frmFolderEx";
        QTest::newRow("Extension Exclusions") << "mnuProcessingExtentions"
                                              << "frmProcessingEx";
        QTest::newRow("Map Network Drive button") << "cmdMap"
                                                  << "NetworkDriveDialog";
        QTest::newRow("Map Network Drive menu item") << "mnuMap"
                                                     << "NetworkDriveDialog";
    }
    void commandsOpenTheirDialogsModally() {
        QFETCH(QString, command);
        QFETCH(QString, dialog);
        MainWindow window(values_);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QByteArray name = command.toLatin1();
        bool modal = false;
        const QString opened = openModal(
            [&] {
                if (command.startsWith(QLatin1String("cmd")))
                    Control<QPushButton>(window, name.constData())->click();
                else
                    Control<QAction>(window, name.constData())->trigger();
            },
            [&](QDialog& shown) { modal = shown.isModal() && shown.parentWidget() == &window; });
        QCOMPARE(opened, dialog);
        QVERIFY(modal);
        QVERIFY(messages_->boxes.empty());
    }

    void customResolutionsFromTheMenuChangeTheMainWindow() {
        MainWindow window(values_);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        openModal([&] { Control<QAction>(window, "mnuCustom")->trigger(); },
                  [](QDialog& editor) {
                      Control<QLineEdit>(editor, "txtXRes")->setText(QStringLiteral("700"));
                      Control<QLineEdit>(editor, "txtYRes")->setText(QStringLiteral("500"));
                      Control<QPushButton>(editor, "cmdAdd")->click();
                  });
        QCOMPARE(window.resolutions().last(), QStringLiteral("700x500"));
        QCOMPARE(testing::ReadBytes(CustomResolutionsFile()), std::string("700x500\r\n"));
    }

private:
    // Runs `command`, which opens a modal dialog; `whileOpen` acts on the dialog, which is
    // then closed. Returns the dialog's name, empty when none opened.
    QString openModal(const std::function<void()>& command,
                      const std::function<void(QDialog&)>& whileOpen = {}) {
        QString opened;
        QTimer poll;
        poll.setInterval(10);
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr || !dialog->isVisible())
                return;
            poll.stop();
            opened = dialog->objectName();
            if (whileOpen)
                whileOpen(*dialog);
            dialog->close();
        });
        poll.start();
        command();
        return opened;
    }

    std::unique_ptr<testing::SettingsSandbox> settings_;
    std::unique_ptr<testing::ProgramFolderSandbox> program_;
    std::unique_ptr<testing::RecordingMessages> messages_;
    ProgramSettings values_;
};

} // namespace kovi

QTEST_MAIN(kovi::DialogWiringTest)
#include "DialogWiringTest.moc"
