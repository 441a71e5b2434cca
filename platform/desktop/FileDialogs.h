#pragma once

#include <QString>

class QWidget;

namespace kovi {

// The file dialogs the program shows go through the installed provider, so that tests can
// answer them without a real modal window.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // Asks for the name of a file to write, which need not exist yet. An empty text when the
    // user cancelled.
    virtual QString saveFileName(QWidget* parent, const QString& title, const QString& folder,
                                 const QString& filter) = 0;
};

// The provider in force; QFileDialog unless a test installed its own.
FileDialogs& CurrentFileDialogs();
// Installs a provider (not owned) for the rest of the program, or the real one with nullptr.
void InstallFileDialogs(FileDialogs* dialogs);

// The save variant of the common file dialog, starting in `folder`; `filter` in Qt's form,
// "All files (*)".
QString AskSaveFileName(QWidget* parent, const QString& title, const QString& folder,
                        const QString& filter);

} // namespace kovi
