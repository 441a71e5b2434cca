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
using testing::RecordingSink;

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
    void init();
    void cleanup();

    void networkAddressForm_data();
    void networkAddressForm();
    void gioPrompts_data();
    void gioPrompts();

    void dialogRefusesWhatIsNoNetworkAddress();
    void dialogHandsTheAddressAndLoginToTheMounter();
    void dialogShowsTheFailureAndStaysOpen();
    void dialogNamesTheMountedFolderAndCloses();
    void cancelDuringAMountGivesItUp();

    void gioAnswersTheLoginThroughStandardInput();
    void gioLoginRefusedIsNotAnsweredForever();
    void gioPasswordNotGivenIsNotGuessed();
    void gioErrorTextIsShown();
    void gioQuestionIsNeverAnsweredForTheUser();
    void gioMissingIsNamed();
    void gioCancelStopsTheProcessQuietly();

private:
    void installFakeMounter(std::optional<MountResult> answer);
    void installFakeGio(const char* mode);
    MountResult mountWithGio(const QString& address, const NetworkLogin& login);
    QString gioLog() const;

    std::unique_ptr<RecordingSink> messages_;
    MountCalls calls_;
    std::unique_ptr<testing::TempFolder> bin_;
    QByteArray savedPath_;
};

void NetworkDriveTest::init() {
    messages_ = std::make_unique<RecordingSink>();
    calls_ = MountCalls();
    savedPath_ = qgetenv("PATH");
}

void NetworkDriveTest::cleanup() {
    InstallNetworkMounterFactory({});
    qputenv("PATH", savedPath_);
    bin_.reset();
    messages_.reset();
    testing::VerifyNoWindowLeft();
}

void NetworkDriveTest::installFakeMounter(std::optional<MountResult> answer) {
    InstallNetworkMounterFactory(
        [this, answer] { return std::make_unique<FakeMounter>(calls_, answer); });
}

void NetworkDriveTest::installFakeGio(const char* mode) {
    bin_ = std::make_unique<testing::TempFolder>();
    const auto gio = *bin_ / "gio";
    const QString script = QFINDTESTDATA("fake-gio.sh");
    QVERIFY(!script.isEmpty());
    std::filesystem::copy_file(script.toStdString(), gio);
    std::filesystem::permissions(gio, std::filesystem::perms::owner_all);
    qputenv("PATH", QByteArray::fromStdString(bin_->path().string()));
    qputenv("FAKE_GIO_LOG", QByteArray::fromStdString((*bin_ / "log").string()));
    qputenv("FAKE_GIO_MODE", mode);
    qputenv("FAKE_GIO_LOCAL", "/run/user/0/gvfs/smb-share:server=server,share=share");
}

MountResult NetworkDriveTest::mountWithGio(const QString& address, const NetworkLogin& login) {
    GioMounter mounter;
    QSignalSpy finished(&mounter, &NetworkMounter::finished);
    mounter.mount(address, login);
    if (finished.isEmpty() && !finished.wait(10000))
        qFatal("gio did not finish");
    if (finished.size() != 1)
        qFatal("finished %d times", static_cast<int>(finished.size()));
    return finished.front().front().value<MountResult>();
}

QString NetworkDriveTest::gioLog() const {
    return QString::fromStdString(testing::ReadBytes(*bin_ / "log"));
}

void NetworkDriveTest::networkAddressForm_data() {
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

void NetworkDriveTest::networkAddressForm() {
    QFETCH(QString, text);
    QFETCH(bool, address);
    QCOMPARE(IsNetworkAddress(text), address);
}

void NetworkDriveTest::gioPrompts_data() {
    QTest::addColumn<QString>("output");
    QTest::addColumn<GioPrompt>("prompt");
    QTest::newRow("nothing yet") << "" << GioPrompt::None;
    QTest::newRow("user with default")
        << "Authentication Required\nUser [root]: " << GioPrompt::User;
    QTest::newRow("domain") << "User [root]: \nDomain [WORKGROUP]: " << GioPrompt::Domain;
    QTest::newRow("password") << "Password: " << GioPrompt::Password;
    QTest::newRow("choice") << "[1] Log In Anyway\n[2] Cancel Login\nChoice: " << GioPrompt::Choice;
    QTest::newRow("prompt not finished") << "Passw" << GioPrompt::None;
    QTest::newRow("answered already") << "Password: \n" << GioPrompt::None;
    QTest::newRow("message mentioning a password") << "Password required for share\n"
                                                   << GioPrompt::None;
    QTest::newRow("prompt inside a line") << "Enter User: " << GioPrompt::None;
}

void NetworkDriveTest::gioPrompts() {
    QFETCH(QString, output);
    QFETCH(GioPrompt, prompt);
    QCOMPARE(PendingGioPrompt(output), prompt);
}

void NetworkDriveTest::dialogRefusesWhatIsNoNetworkAddress() {
    installFakeMounter(MountResult{true, {}, {}});
    NetworkDriveDialog dialog;
    testing::ShowActive(dialog);
    QTest::keyClicks(Control<QLineEdit>(dialog, "address"), QStringLiteral("server/share"));
    testing::Click(dialog, "connect");
    QCOMPARE(messages_->messages.size(), std::size_t{1});
    QCOMPARE(messages_->messages.front().title, QStringLiteral("Error"));
    QVERIFY(messages_->texts().front().contains(QStringLiteral("smb://server/share")));
    QVERIFY(calls_.addresses.isEmpty());
    QVERIFY(dialog.isVisible());
}

void NetworkDriveTest::dialogHandsTheAddressAndLoginToTheMounter() {
    installFakeMounter(MountResult{true, {}, {}});
    NetworkDriveDialog dialog;
    testing::ShowActive(dialog);
    QTest::keyClicks(Control<QLineEdit>(dialog, "address"), QStringLiteral(" smb://nas/photos "));
    QTest::keyClicks(Control<QLineEdit>(dialog, "user"), QStringLiteral("alice"));
    QTest::keyClicks(Control<QLineEdit>(dialog, "password"), QStringLiteral("secret"));
    QCOMPARE(Control<QLineEdit>(dialog, "password")->echoMode(), QLineEdit::Password);
    testing::Click(dialog, "connect");
    QCOMPARE(calls_.addresses, QStringList{"smb://nas/photos"});
    QCOMPARE(calls_.logins.front().user, QStringLiteral("alice"));
    QCOMPARE(calls_.logins.front().password, QStringLiteral("secret"));
    QVERIFY(messages_->messages.empty());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(!dialog.isVisible());
}

void NetworkDriveTest::dialogShowsTheFailureAndStaysOpen() {
    installFakeMounter(
        MountResult{false, QStringLiteral("gio: smb://nas/: Connection refused"), {}});
    NetworkDriveDialog dialog;
    testing::ShowActive(dialog);
    QTest::keyClicks(Control<QLineEdit>(dialog, "address"), QStringLiteral("smb://nas/"));
    testing::Click(dialog, "connect");
    QCOMPARE(messages_->texts(), QStringList{"gio: smb://nas/: Connection refused"});
    QCOMPARE(messages_->messages.front().icon, MessageIcon::Critical);
    QVERIFY(dialog.isVisible());
    QVERIFY(Control<QPushButton>(dialog, "connect")->isEnabled());
    QVERIFY(Control<QLineEdit>(dialog, "address")->isEnabled());
    QCOMPARE(Control<QLabel>(dialog, "status")->text(), QString());
}

void NetworkDriveTest::dialogNamesTheMountedFolderAndCloses() {
    const QString folder = QStringLiteral("/run/user/0/gvfs/smb-share:server=nas,share=photos");
    installFakeMounter(MountResult{true, {}, folder});
    NetworkDriveDialog dialog;
    testing::ShowActive(dialog);
    QTest::keyClicks(Control<QLineEdit>(dialog, "address"), QStringLiteral("smb://nas/photos"));
    QTest::keyClick(Control<QLineEdit>(dialog, "address"), Qt::Key_Return);
    QCOMPARE(messages_->messages.size(), std::size_t{1});
    QCOMPARE(messages_->messages.front().icon, MessageIcon::Information);
    QCOMPARE(messages_->messages.front().title, QStringLiteral("Connected"));
    QVERIFY(messages_->texts().front().contains(folder));
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

void NetworkDriveTest::cancelDuringAMountGivesItUp() {
    installFakeMounter(std::nullopt);
    NetworkDriveDialog dialog;
    testing::ShowActive(dialog);
    QTest::keyClicks(Control<QLineEdit>(dialog, "address"), QStringLiteral("sftp://host/"));
    testing::Click(dialog, "connect");
    QCOMPARE(Control<QLabel>(dialog, "status")->text(), QStringLiteral("Connecting..."));
    QVERIFY(!Control<QPushButton>(dialog, "connect")->isEnabled());
    testing::Click(dialog, "cancel");
    QCOMPARE(calls_.cancels, 1);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(!dialog.isVisible());
}

void NetworkDriveTest::gioAnswersTheLoginThroughStandardInput() {
    installFakeGio("login");
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

void NetworkDriveTest::gioLoginRefusedIsNotAnsweredForever() {
    installFakeGio("login");
    const MountResult result =
        mountWithGio(QStringLiteral("smb://server/share"), {QStringLiteral("alice"), "wrong"});
    QVERIFY(!result.mounted);
    QCOMPARE(result.message, QStringLiteral("The user name or password was not accepted."));
    QCOMPARE(gioLog().count(QStringLiteral("answer ")), 1);
}

void NetworkDriveTest::gioPasswordNotGivenIsNotGuessed() {
    installFakeGio("login");
    const MountResult result = mountWithGio(QStringLiteral("smb://server/share"), {});
    QVERIFY(!result.mounted);
    QCOMPARE(result.message, QStringLiteral("This network folder needs a password."));
    QVERIFY(!gioLog().contains(QStringLiteral("answer")));
}

void NetworkDriveTest::gioErrorTextIsShown() {
    installFakeGio("fail");
    const MountResult result = mountWithGio(QStringLiteral("smb://server/share"), {});
    QVERIFY(!result.mounted);
    QCOMPARE(result.message,
             QStringLiteral("gio: smb://server/share: volume doesn't implement mount"));
}

void NetworkDriveTest::gioQuestionIsNeverAnsweredForTheUser() {
    installFakeGio("question");
    const MountResult result = mountWithGio(QStringLiteral("sftp://host/"), {});
    QVERIFY(!result.mounted);
    QVERIFY2(
        result.message.contains(QStringLiteral("The identity of the remote computer is unknown.")),
        qPrintable(result.message));
    QVERIFY(!result.message.contains(QStringLiteral("Log In Anyway")));
    QVERIFY(!gioLog().contains(QStringLiteral("answer")));
}

void NetworkDriveTest::gioMissingIsNamed() {
    bin_ = std::make_unique<testing::TempFolder>();
    qputenv("PATH", QByteArray::fromStdString(bin_->path().string()));
    const MountResult result = mountWithGio(QStringLiteral("smb://server/share"), {});
    QVERIFY(!result.mounted);
    QVERIFY2(result.message.contains(QStringLiteral("gio")) &&
                 result.message.contains(QStringLiteral("not installed")),
             qPrintable(result.message));
}

void NetworkDriveTest::gioCancelStopsTheProcessQuietly() {
    installFakeGio("hang");
    GioMounter mounter;
    QSignalSpy finished(&mounter, &NetworkMounter::finished);
    mounter.mount(QStringLiteral("smb://server/share"), {});
    QTRY_VERIFY(gioLog().contains(QStringLiteral("args mount")));
    mounter.cancel();
    QTest::qWait(50);
    QVERIFY(finished.isEmpty());
}

} // namespace kovi

QTEST_MAIN(kovi::NetworkDriveTest)
#include "NetworkDriveTest.moc"
