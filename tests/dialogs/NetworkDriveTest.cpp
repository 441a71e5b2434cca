// Map Network Drive on Linux: the dialog against a fake mounter, and the gio mounter against
// a stand-in gio on the PATH, so that nothing is ever mounted.
#include "platform/linux/GioMounter.h"
#include "platform/linux/NetworkDriveDialog.h"

#include "tests/dialogs/DialogTesting.h"
#include "tests/support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <optional>

Q_DECLARE_METATYPE(kovi::GioPrompt)

namespace kovi {

using testing::Control;
using testing::RecordingMessages;
using testing::Texts;

namespace {

struct MountCalls {
    QStringList addresses;
    std::vector<NetworkLogin> logins;
    int cancels = 0;
};

// Answers every mount with the same result, or with none (a mount that never ends).
class FakeMounter final : public NetworkMounter {
public:
    FakeMounter(MountCalls& calls, std::optional<MountResult> answer)
        : calls_(calls), answer_(std::move(answer)) {}

    void mount(const QString& address, const NetworkLogin& login) override {
        calls_.addresses.append(address);
        calls_.logins.push_back(login);
        if (answer_)
            emit finished(*answer_);
    }
    void cancel() override { ++calls_.cancels; }

private:
    MountCalls& calls_;
    std::optional<MountResult> answer_;
};

} // namespace

class NetworkDriveTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        messages_ = std::make_unique<RecordingMessages>();
        calls_ = MountCalls();
        savedPath_ = qgetenv("PATH");
    }

    void cleanup() {
        dialog_.reset();
        InstallNetworkMounterFactory({});
        qputenv("PATH", savedPath_);
        bin_.reset();
        messages_.reset();
        testing::VerifyNoWindowLeft();
    }

    void networkAddressForm_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("address");
        QTest::newRow("smb share") << "smb://server/share" << true;
        QTest::newRow("sftp with user") << "sftp://alice@host/home/alice" << true;
        QTest::newRow("server only") << "smb://server" << true;
        QTest::newRow("webdav with port") << "davs://host:8443/files" << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("no scheme") << "server/share" << false;
        QTest::newRow("one slash") << "smb:/server" << false;
        QTest::newRow("no place") << "smb://" << false;
        QTest::newRow("blank after scheme") << "smb:// server" << false;
        QTest::newRow("blank inside") << "smb://server/my share" << false;
        QTest::newRow("an option for gio") << "-u" << false;
        QTest::newRow("option with scheme look") << "--x://y" << false;
        QTest::newRow("windows share") << "\\\\server\\share" << false;
        QTest::newRow("line break") << "smb://server/share\nx" << false;
    }
    void networkAddressForm() {
        QFETCH(QString, text);
        QFETCH(bool, address);
        QCOMPARE(IsNetworkAddress(text), address);
    }

    void gioPrompts_data() {
        QTest::addColumn<QString>("output");
        QTest::addColumn<GioPrompt>("prompt");
        QTest::newRow("nothing yet") << "" << GioPrompt::None;
        QTest::newRow("user with default")
            << "Authentication Required\nUser [root]: " << GioPrompt::User;
        QTest::newRow("domain") << "User [root]: \nDomain [WORKGROUP]: " << GioPrompt::Domain;
        QTest::newRow("password") << "Password: " << GioPrompt::Password;
        QTest::newRow("choice") << "[1] Log In Anyway\n[2] Cancel Login\nChoice: "
                                << GioPrompt::Choice;
        QTest::newRow("prompt not finished") << "Passw" << GioPrompt::None;
        QTest::newRow("answered already") << "Password: \n" << GioPrompt::None;
        QTest::newRow("message mentioning a password") << "Password required for share\n"
                                                       << GioPrompt::None;
        QTest::newRow("prompt inside a line") << "Enter User: " << GioPrompt::None;
    }
    void gioPrompts() {
        QFETCH(QString, output);
        QFETCH(GioPrompt, prompt);
        QCOMPARE(PendingGioPrompt(output), prompt);
    }

    void dialogRefusesWhatIsNoNetworkAddress() {
        NetworkDriveDialog& dialog = openDialog(MountResult{true, {}, {}}, "server/share");
        testing::Click(dialog, "connect");
        QCOMPARE(messages_->boxes.size(), std::size_t{1});
        QCOMPARE(messages_->boxes.front().title, QStringLiteral("Error"));
        QVERIFY(Texts(*messages_).front().contains(QStringLiteral("smb://server/share")));
        QVERIFY(calls_.addresses.isEmpty());
        QVERIFY(dialog.isVisible());
    }

    void dialogHandsTheAddressAndLoginToTheMounter() {
        NetworkDriveDialog& dialog = openDialog(MountResult{true, {}, {}}, " smb://nas/photos ");
        QTest::keyClicks(Control<QLineEdit>(dialog, "user"), QStringLiteral("alice"));
        QTest::keyClicks(Control<QLineEdit>(dialog, "password"), QStringLiteral("secret"));
        QCOMPARE(Control<QLineEdit>(dialog, "password")->echoMode(), QLineEdit::Password);
        testing::Click(dialog, "connect");
        QCOMPARE(calls_.addresses, QStringList{"smb://nas/photos"});
        QCOMPARE(calls_.logins.front().user, QStringLiteral("alice"));
        QCOMPARE(calls_.logins.front().password, QStringLiteral("secret"));
        QVERIFY(messages_->boxes.empty());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!dialog.isVisible());
    }

    void dialogShowsTheFailureAndStaysOpen() {
        NetworkDriveDialog& dialog = openDialog(
            MountResult{false, QStringLiteral("gio: smb://nas/: Connection refused"), {}},
            "smb://nas/");
        testing::Click(dialog, "connect");
        QCOMPARE(Texts(*messages_), QStringList{"gio: smb://nas/: Connection refused"});
        QCOMPARE(messages_->boxes.front().icon, MessageIcon::Critical);
        QVERIFY(dialog.isVisible());
        QVERIFY(Control<QPushButton>(dialog, "connect")->isEnabled());
        QVERIFY(Control<QLineEdit>(dialog, "address")->isEnabled());
        QCOMPARE(Control<QLabel>(dialog, "status")->text(), QString());
    }

    void dialogNamesTheMountedFolderAndCloses() {
        const QString folder = QStringLiteral("/run/user/0/gvfs/smb-share:server=nas,share=photos");
        NetworkDriveDialog& dialog = openDialog(MountResult{true, {}, folder}, "smb://nas/photos");
        QTest::keyClick(Control<QLineEdit>(dialog, "address"), Qt::Key_Return);
        QCOMPARE(messages_->boxes.size(), std::size_t{1});
        QCOMPARE(messages_->boxes.front().icon, MessageIcon::Information);
        QCOMPARE(messages_->boxes.front().title, QStringLiteral("Connected"));
        QVERIFY(Texts(*messages_).front().contains(folder));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    void cancelDuringAMountGivesItUp() {
        NetworkDriveDialog& dialog = openDialog(std::nullopt, "sftp://host/");
        testing::Click(dialog, "connect");
        QCOMPARE(Control<QLabel>(dialog, "status")->text(), QStringLiteral("Connecting..."));
        QVERIFY(!Control<QPushButton>(dialog, "connect")->isEnabled());
        testing::Click(dialog, "cancel");
        QCOMPARE(calls_.cancels, 1);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(!dialog.isVisible());
    }

    void gioAnswersTheLoginThroughStandardInput() {
        installFakeGio(QStringLiteral("login"));
        const MountResult result =
            mountWithGio(QStringLiteral("smb://server/share"), {QStringLiteral("alice"), "secret"});
        QVERIFY2(result.mounted, qPrintable(result.message));
        QCOMPARE(result.localFolder,
                 QStringLiteral("/run/user/0/gvfs/smb-share:server=server,share=share"));
        // The password travels on standard input only; the domain keeps gio's default.
        QCOMPARE(gioLog(), QStringLiteral("args mount smb://server/share\n"
                                          "answer alice//secret\n"
                                          "args info -a standard::type smb://server/share\n"));
    }

    void gioFailureIsExplained_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("whole"); // the message is all of it, not a part
        QTest::addColumn<int>("answers");
        const auto row = [](const char* name, const char* mode, const char* address,
                            const char* password, const char* message, bool whole, int answers) {
            QTest::newRow(name) << mode << address << password << message << whole << answers;
        };
        row("login refused is not answered forever", "login", "smb://server/share", "wrong",
            "The user name or password was not accepted.", true, 1);
        row("password not given is not guessed", "login", "smb://server/share", "",
            "This network folder needs a password.", true, 0);
        row("gio's error text", "fail", "smb://server/share", "",
            "gio: smb://server/share: volume doesn't implement mount", true, 0);
        row("question never answered for the user", "question", "sftp://host/", "",
            "The identity of the remote computer is unknown.", false, 0);
        row("gio missing", "", "smb://server/share", "", "gio program, which is not installed",
            false, 0);
    }
    void gioFailureIsExplained() {
        QFETCH(QString, mode);
        QFETCH(QString, address);
        QFETCH(QString, password);
        QFETCH(QString, message);
        QFETCH(bool, whole);
        QFETCH(int, answers);
        installFakeGio(mode);
        NetworkLogin login;
        if (!password.isEmpty())
            login = {QStringLiteral("alice"), password};
        const MountResult result = mountWithGio(address, login);
        QVERIFY(!result.mounted);
        if (whole)
            QCOMPARE(result.message, message);
        else
            QVERIFY2(result.message.contains(message), qPrintable(result.message));
        QVERIFY(!result.message.contains(QStringLiteral("Log In Anyway")));
        if (!mode.isEmpty())
            QCOMPARE(gioLog().count(QStringLiteral("answer ")), answers);
    }

    void gioCancelStopsTheProcessQuietly() {
        installFakeGio(QStringLiteral("hang"));
        GioMounter mounter;
        QSignalSpy finished(&mounter, &NetworkMounter::finished);
        mounter.mount(QStringLiteral("smb://server/share"), {});
        QTRY_VERIFY(gioLog().contains(QStringLiteral("args mount")));
        mounter.cancel();
        QTest::qWait(50);
        QVERIFY(finished.isEmpty());
    }

private:
    // A dialog over a mounter that answers every mount with `answer` (none: it never ends),
    // with `address` typed in.
    NetworkDriveDialog& openDialog(std::optional<MountResult> answer, const QString& address) {
        InstallNetworkMounterFactory(
            [this, answer] { return std::make_unique<FakeMounter>(calls_, answer); });
        dialog_ = std::make_unique<NetworkDriveDialog>();
        testing::ShowActive(*dialog_);
        QTest::keyClicks(Control<QLineEdit>(*dialog_, "address"), address);
        return *dialog_;
    }

    // Puts the stand-in gio first on the PATH; no mode leaves gio out altogether.
    void installFakeGio(const QString& mode) {
        bin_ = std::make_unique<testing::TempFolder>();
        qputenv("PATH", QByteArray::fromStdString(bin_->path().string()));
        if (mode.isEmpty())
            return;
        const auto gio = *bin_ / "gio";
        const QString script = QFINDTESTDATA("fake-gio.sh");
        QVERIFY(!script.isEmpty());
        std::filesystem::copy_file(script.toStdString(), gio);
        std::filesystem::permissions(gio, std::filesystem::perms::owner_all);
        qputenv("FAKE_GIO_LOG", QByteArray::fromStdString((*bin_ / "log").string()));
        qputenv("FAKE_GIO_MODE", mode.toLatin1());
        qputenv("FAKE_GIO_LOCAL", "/run/user/0/gvfs/smb-share:server=server,share=share");
    }

    MountResult mountWithGio(const QString& address, const NetworkLogin& login) {
        GioMounter mounter;
        QSignalSpy finished(&mounter, &NetworkMounter::finished);
        mounter.mount(address, login);
        if (finished.isEmpty() && !finished.wait(10000))
            qFatal("gio did not finish");
        if (finished.size() != 1)
            qFatal("finished %d times", static_cast<int>(finished.size()));
        return finished.front().front().value<MountResult>();
    }

    QString gioLog() const { return QString::fromStdString(testing::ReadBytes(*bin_ / "log")); }

    std::unique_ptr<RecordingMessages> messages_;
    MountCalls calls_;
    std::unique_ptr<NetworkDriveDialog> dialog_;
    std::unique_ptr<testing::TempFolder> bin_;
    QByteArray savedPath_;
};

} // namespace kovi

QTEST_MAIN(kovi::NetworkDriveTest)
#include "NetworkDriveTest.moc"
