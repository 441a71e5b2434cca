#include "platform/desktop/linux/GioMounter.h"

#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>

namespace kovi {
namespace {

constexpr char GioProgram[] = "gio";
constexpr char LocalPathLabel[] = "local path: ";

// gio's prompts are not translated: "User [root]: ", "Domain [WORKGROUP]: ", "Password: ",
// "Choice: ".
const QRegularExpression
    PromptLine(QStringLiteral("^(User|Domain|Password|Choice)(?: \\[.*\\])?: $"));

QString TrimmedLines(const QString& text) {
    QStringList lines;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (!line.trimmed().isEmpty())
            lines.append(line.trimmed());
    }
    return lines.join(QLatin1Char('\n'));
}

// The question text in front of its numbered choices and the prompt.
QString QuestionText(const QString& output) {
    QStringList lines;
    for (const QString& line : output.split(QLatin1Char('\n'))) {
        if (!line.startsWith(QLatin1Char('[')) && !PromptLine.match(line).hasMatch())
            lines.append(line);
    }
    return TrimmedLines(lines.join(QLatin1Char('\n')));
}

} // namespace

GioPrompt PendingGioPrompt(const QString& output) {
    const QString lastLine = output.mid(output.lastIndexOf(QLatin1Char('\n')) + 1);
    const QRegularExpressionMatch match = PromptLine.match(lastLine);
    if (!match.hasMatch())
        return GioPrompt::None;
    const QString word = match.captured(1);
    if (word == QLatin1String("User"))
        return GioPrompt::User;
    if (word == QLatin1String("Domain"))
        return GioPrompt::Domain;
    if (word == QLatin1String("Password"))
        return GioPrompt::Password;
    return GioPrompt::Choice;
}

GioMounter::GioMounter() {
    connect(&mountProcess_, &QProcess::readyReadStandardOutput, this, &GioMounter::readPrompts);
    connect(&mountProcess_, &QProcess::finished, this, &GioMounter::mountFinished);
    connect(&infoProcess_, &QProcess::finished, this, &GioMounter::infoFinished);
    // A crash is reported by finished() as well; a failed start only here.
    connect(&mountProcess_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (running_ && error == QProcess::FailedToStart)
            finish({false,
                    QStringLiteral("gio could not be started: ") + mountProcess_.errorString(),
                    {}});
    });
    connect(&infoProcess_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (running_ && error == QProcess::FailedToStart)
            finish({true, {}, {}});
    });
}

GioMounter::~GioMounter() {
    cancel();
}

void GioMounter::mount(const QString& address, const NetworkLogin& login) {
    cancel();
    address_ = address;
    login_ = login;
    output_.clear();
    answered_.clear();
    outcome_ = Outcome::None;
    gio_ = QStandardPaths::findExecutable(QString::fromLatin1(GioProgram));
    if (gio_.isEmpty()) {
        finish({false,
                QStringLiteral("Network folders are connected through the desktop's gio "
                               "program, which is not installed (on Debian it comes "
                               "with libglib2.0-bin)."),
                {}});
        return;
    }
    running_ = true;
    mountProcess_.start(gio_, {QStringLiteral("mount"), address_});
}

void GioMounter::cancel() {
    running_ = false;
    for (QProcess* process : {&mountProcess_, &infoProcess_}) {
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished();
        }
    }
}

void GioMounter::readPrompts() {
    output_ += QString::fromUtf8(mountProcess_.readAllStandardOutput());
    const GioPrompt prompt = PendingGioPrompt(output_);
    if (prompt == GioPrompt::None)
        return;
    const QString question = output_;
    output_.clear();

    // Asked again: the answer before was refused, and the same one would be refused forever.
    if (answered_.count(prompt) != 0) {
        outcome_ = Outcome::LoginRefused;
        mountProcess_.closeWriteChannel();
        return;
    }
    answered_.insert(prompt);
    switch (prompt) {
    case GioPrompt::User:
        reply(login_.user); // empty: gio's default, the user's own name
        return;
    case GioPrompt::Domain:
        reply({});
        return;
    case GioPrompt::Password:
        if (login_.password.isEmpty()) {
            outcome_ = Outcome::LoginMissing;
            mountProcess_.closeWriteChannel();
        } else {
            reply(login_.password);
        }
        return;
    case GioPrompt::Choice:
    case GioPrompt::None:
        // Never answered for the user: it may be an unknown host key.
        outcome_ = Outcome::QuestionDeclined;
        question_ = QuestionText(question);
        mountProcess_.closeWriteChannel();
        return;
    }
}

void GioMounter::reply(const QString& text) {
    mountProcess_.write((text + QLatin1Char('\n')).toUtf8());
}

void GioMounter::mountFinished(int exitCode, QProcess::ExitStatus status) {
    if (!running_)
        return;
    if (status == QProcess::NormalExit && exitCode == 0) {
        // Where gvfs shows the folder; the label is only fixed in the C locale.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
        infoProcess_.setProcessEnvironment(environment);
        infoProcess_.start(gio_, {QStringLiteral("info"), QStringLiteral("-a"),
                                  QStringLiteral("standard::type"), address_});
        return;
    }
    finish({false, failureMessage(exitCode, status), {}});
}

void GioMounter::infoFinished(int exitCode, QProcess::ExitStatus status) {
    if (!running_)
        return;
    QString localFolder;
    if (status == QProcess::NormalExit && exitCode == 0) {
        const QString output = QString::fromUtf8(infoProcess_.readAllStandardOutput());
        for (const QString& line : output.split(QLatin1Char('\n'))) {
            if (line.startsWith(QLatin1String(LocalPathLabel)))
                localFolder = line.mid(static_cast<qsizetype>(sizeof(LocalPathLabel) - 1));
        }
    }
    finish({true, {}, localFolder});
}

QString GioMounter::failureMessage(int exitCode, QProcess::ExitStatus status) {
    if (status != QProcess::NormalExit)
        return QStringLiteral("gio stopped unexpectedly while connecting.");
    const QString errors = TrimmedLines(QString::fromUtf8(mountProcess_.readAllStandardError()));
    if (!errors.isEmpty())
        return errors;
    switch (outcome_) {
    case Outcome::LoginMissing:
        return QStringLiteral("This network folder needs a password.");
    case Outcome::LoginRefused:
        return QStringLiteral("The user name or password was not accepted.");
    case Outcome::QuestionDeclined:
        return QStringLiteral("The connection was stopped at a question that the desktop's file "
                              "manager can answer:\n") +
               question_;
    case Outcome::None:
        break;
    }
    return QStringLiteral("gio could not connect the network folder (exit code %1).").arg(exitCode);
}

void GioMounter::finish(const MountResult& result) {
    running_ = false;
    emit finished(result);
}

std::unique_ptr<NetworkMounter> CreateSystemNetworkMounter() {
    return std::make_unique<GioMounter>();
}

} // namespace kovi
