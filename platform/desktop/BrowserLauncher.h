#pragma once

#include <QString>

namespace kovi {

// What the look-up of the program for a file answered: a code above 32 means found.
struct ExecutableLookup {
    int code = 0;
    QString path;
};

// The three services the About box needs to start a new browser window.
class BrowserLauncher {
public:
    virtual ~BrowserLauncher() = default;
    // The temporary folder, ending in a separator (GetTempPathA).
    virtual QString tempPath() = 0;
    // The program that opens `file` in `directory` (FindExecutableA); the file must exist.
    virtual ExecutableLookup findExecutable(const QString& file, const QString& directory) = 0;
    // Starts `application` with `commandLine` and does not wait (CreateProcessA). True when a
    // process was started.
    virtual bool startProcess(const QString& application, const QString& commandLine) = 0;
};

// The system's own unless a test installed one (not owned); nullptr restores it.
BrowserLauncher& CurrentBrowserLauncher();
void InstallBrowserLauncher(BrowserLauncher* launcher);

} // namespace kovi
