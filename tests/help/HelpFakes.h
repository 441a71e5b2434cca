#pragma once

#include "platform/BrowserLauncher.h"
#include "platform/HelpViewer.h"
#include "platform/MessageSink.h"
#include "platform/SystemInfo.h"

#include "tests/support/WindowFakes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <map>
#include <optional>
#include <vector>

namespace kovi::testing {

struct ViewerCall {
    WindowHandle owner = 0;
    std::optional<QString> file;
    int command = -1;
    HelpData data;
};

// Records every viewer call and answers with a chosen handle (nothing: viewer unreachable).
class RecordingViewer final : public HelpViewer {
public:
    std::optional<WindowHandle> HtmlHelp(WindowHandle owner, const std::optional<QString>& file,
                                         int command, const HelpData& data) override {
        calls.push_back({owner, file, command, data});
        return answer;
    }
    std::vector<ViewerCall> calls;
    std::optional<WindowHandle> answer = 4242;
};

// Version records by path, a chosen system version, and long names by path.
class FakeSystemInfo final : public SystemInfo {
public:
    std::optional<FileVersionNumbers> fileVersion(const QString& path) override {
        const auto found = versions.find(path);
        if (found == versions.end())
            return std::nullopt;
        return found->second;
    }
    OsVersion osVersion() override { return os; }
    QString longPathName(const QString& path) override {
        const auto found = longPaths.find(path);
        return found == longPaths.end() ? path : found->second;
    }
    std::optional<QString> foundName(const QString& path) override {
        const auto found = longNames.find(path);
        if (found != longNames.end())
            return found->second;
        const QFileInfo info(path);
        if (!info.exists())
            return std::nullopt;
        return info.fileName();
    }

    std::map<QString, FileVersionNumbers> versions;
    OsVersion os;
    std::map<QString, QString> longPaths;
    std::map<QString, QString> longNames;
};

// A launcher whose temporary folder is a test folder; it notes what the look-up saw.
class FakeLauncher final : public BrowserLauncher {
public:
    explicit FakeLauncher(QString temp) : temp_(std::move(temp)) {}

    QString tempPath() override { return temp_; }
    ExecutableLookup findExecutable(const QString& file, const QString& directory) override {
        lookedUpFile = file;
        lookedUpFolder = directory;
        const QFileInfo probe(QDir(directory).filePath(file));
        probeExisted = probe.exists();
        probeSize = probe.exists() ? probe.size() : -1;
        return {code, browser};
    }
    bool startProcess(const QString& application, const QString& commandLine) override {
        starts.push_back({application, commandLine});
        return startSucceeds;
    }

    int code = 42;
    QString browser = QStringLiteral("/opt/web browser/bin/browse");
    bool startSucceeds = true;
    QString lookedUpFile;
    QString lookedUpFolder;
    bool probeExisted = false;
    qint64 probeSize = -1;
    std::vector<std::pair<QString, QString>> starts;

private:
    QString temp_;
};

// Installs a fake service for the length of a scope.
template <typename Service, void (*Install)(Service*)>
class Installed {
public:
    explicit Installed(Service& service) { Install(&service); }
    ~Installed() { Install(nullptr); }
    Installed(const Installed&) = delete;
    Installed& operator=(const Installed&) = delete;
};

} // namespace kovi::testing
