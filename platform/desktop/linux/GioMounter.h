#pragma once

#include "platform/desktop/NetworkMount.h"

#include <QProcess>

#include <set>

namespace kovi {

// The questions `gio mount` asks on its standard input while a mount needs a login or an
// answer from the user.
enum class GioPrompt { None, User, Domain, Password, Choice };

// The question the output ends in, when gio is waiting for an answer to one.
GioPrompt PendingGioPrompt(const QString& output);

// Mounts with `gio mount ADDRESS`, answering its login questions from the NetworkLogin (the
// password goes through standard input, never on the command line), then asks `gio info`
// where the mounted folder shows in the file system. A question gio asks a second time (a
// login that was refused) and any other question (an unknown host key) are declined.
class GioMounter final : public NetworkMounter {
    Q_OBJECT
public:
    GioMounter();
    ~GioMounter() override;

    void mount(const QString& address, const NetworkLogin& login) override;
    void cancel() override;

private:
    // Why gio was left to fail, when it gives no error text of its own.
    enum class Outcome { None, LoginMissing, LoginRefused, QuestionDeclined };

    void readPrompts();
    void reply(const QString& text);
    void mountFinished(int exitCode, QProcess::ExitStatus status);
    void infoFinished(int exitCode, QProcess::ExitStatus status);
    QString failureMessage(int exitCode, QProcess::ExitStatus status);
    void finish(const MountResult& result);

    QProcess mountProcess_;
    QProcess infoProcess_;
    bool running_ = false;
    QString gio_;
    QString address_;
    NetworkLogin login_;
    QString output_;
    std::set<GioPrompt> answered_;
    Outcome outcome_ = Outcome::None;
    QString question_;
};

} // namespace kovi
