#include "platform/desktop/SystemServices.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace kovi {
namespace {

// The look-up's answers, as the original platform numbers them.
constexpr int FileNotFoundCode = 2;   // SE_ERR_FNF
constexpr int NoAssociationCode = 31; // SE_ERR_NOASSOC
constexpr int FoundCode = 42;         // anything above 32

// Web pages open through the desktop's opener, found on the PATH.
class LinuxBrowserLauncher final : public BrowserLauncher {
public:
    QString tempPath() override { return QDir::tempPath() + u'/'; }

    ExecutableLookup findExecutable(const QString& file, const QString& directory) override {
        const QFileInfo info(QDir(directory).filePath(file));
        if (!info.exists())
            return {FileNotFoundCode, {}};
        const QString suffix = info.suffix().toLower();
        if (suffix != u"html" && suffix != u"htm")
            return {NoAssociationCode, {}};
        const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
        if (opener.isEmpty())
            return {FileNotFoundCode, {}};
        return {FoundCode, opener};
    }

    bool startProcess(const QString& application, const QString& commandLine) override {
        return QProcess::startDetached(application, QProcess::splitCommand(commandLine));
    }
};

} // namespace

std::unique_ptr<BrowserLauncher> CreateSystemBrowserLauncher() {
    return std::make_unique<LinuxBrowserLauncher>();
}

} // namespace kovi
