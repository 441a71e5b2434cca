#include "platform/desktop/FileDialogs.h"

#include <QFileDialog>

namespace kovi {
namespace {

class QtFileDialogs final : public FileDialogs {
public:
    QString saveFileName(QWidget* parent, const QString& title, const QString& folder,
                         const QString& filter) override {
        return QFileDialog::getSaveFileName(parent, title, folder, filter);
    }
};

FileDialogs* installedDialogs = nullptr;

} // namespace

FileDialogs& CurrentFileDialogs() {
    static QtFileDialogs realDialogs;
    return installedDialogs != nullptr ? *installedDialogs : realDialogs;
}

void InstallFileDialogs(FileDialogs* dialogs) {
    installedDialogs = dialogs;
}

QString AskSaveFileName(QWidget* parent, const QString& title, const QString& folder,
                        const QString& filter) {
    return CurrentFileDialogs().saveFileName(parent, title, folder, filter);
}

} // namespace kovi
