#pragma once

#include "platform/desktop/FileDialogs.h"
#include "platform/desktop/MessageSink.h"

#include <QString>

#include <condition_variable>
#include <mutex>
#include <vector>

namespace kovi::testing {

struct ShownBox {
    MessageIcon icon;
    QString title;
    QString text;
};

// Records every message box instead of showing it; installed for as long as it lives.
class RecordingMessages final : public MessageSink {
public:
    RecordingMessages() { InstallMessageSink(this); }
    ~RecordingMessages() override { InstallMessageSink(nullptr); }
    RecordingMessages(const RecordingMessages&) = delete;
    RecordingMessages& operator=(const RecordingMessages&) = delete;

    void showMessage(QWidget*, MessageIcon icon, const QString& title,
                     const QString& text) override {
        boxes.push_back({icon, title, text});
    }
    std::vector<ShownBox> boxes;
};

struct AskedSave {
    QString title;
    QString folder;
    QString filter;
};

// Answers the save dialog with a chosen name (empty: the user cancelled) and records what was
// asked; installed for as long as it lives.
class ScriptedFileDialogs final : public FileDialogs {
public:
    ScriptedFileDialogs() { InstallFileDialogs(this); }
    ~ScriptedFileDialogs() override { InstallFileDialogs(nullptr); }
    ScriptedFileDialogs(const ScriptedFileDialogs&) = delete;
    ScriptedFileDialogs& operator=(const ScriptedFileDialogs&) = delete;

    QString saveFileName(QWidget*, const QString& title, const QString& folder,
                         const QString& filter) override {
        asked.push_back({title, folder, filter});
        return answer;
    }
    QString answer;
    std::vector<AskedSave> asked;
};

// Holds a worker thread at a chosen point until the test lets it go, so that a test can act
// between two files of a run without timing.
class Gate {
public:
    // On the worker: tells the test it is here, then waits until the gate opens.
    void pass() {
        std::unique_lock lock(mutex_);
        reached_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return open_; });
    }
    bool reached() const {
        std::lock_guard lock(mutex_);
        return reached_;
    }
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool reached_ = false;
    bool open_ = false;
};

} // namespace kovi::testing
