#pragma once

#include <QString>

class QWidget;

namespace kovi {

enum class MessageIcon { Information, Warning, Critical, Question };

// Every message box the program shows goes through the installed sink, so that tests can
// record the boxes instead of answering real modal windows.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    // Shows a box with one OK button and waits for the user.
    virtual void showMessage(QWidget* parent, MessageIcon icon, const QString& title,
                             const QString& text) = 0;
};

// The sink in force; a QMessageBox one unless a test installed its own.
MessageSink& CurrentMessageSink();
// Installs a sink (not owned) for the rest of the program, or the real one again with nullptr.
void InstallMessageSink(MessageSink* sink);

// The program's error box: critical icon, title "Error", one OK button.
void ShowError(const QString& text, QWidget* parent = nullptr);
// A result box: information icon, one OK button, a title naming the outcome.
void ShowInformation(const QString& title, const QString& text, QWidget* parent = nullptr);

} // namespace kovi
