#include "ui/help/BrowserStart.h"

#include "platform/desktop/BrowserLauncher.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace kovi {
namespace {

constexpr std::int32_t LowestFoundCode = 32;
const QString ProbeName = QStringLiteral("dummy.html");

} // namespace

QString GetTempDir() {
    return CurrentBrowserLauncher().tempPath();
}

QString GetBrowserName(std::int32_t& dwFlagReturned) {
    // The look-up needs an existing ".html" file. It is made in a folder of our own inside
    // the temporary folder: a shared temporary folder may hold someone else's dummy.html,
    // or a link planted under that name, which must not be emptied or followed.
    const QDir temp(GetTempDir());
    QTemporaryDir probeFolder(temp.filePath(QStringLiteral("kovi-browser-XXXXXX")));
    const QString folder =
        probeFolder.isValid() ? QDir(probeFolder.path()).path() + u'/' : GetTempDir();
    const QString probe = folder + ProbeName;
    if (probeFolder.isValid()) {
        QFile file(probe);
        (void)file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    }
    const ExecutableLookup found = CurrentBrowserLauncher().findExecutable(ProbeName, folder);
    dwFlagReturned = found.code;
    if (probeFolder.isValid())
        QFile::remove(probe);
    return found.path;
}

bool StartNewBrowser(const QString& sURL) {
    std::int32_t code = 0;
    const QString browser = GetBrowserName(code);
    if (code < LowestFoundCode)
        return false;
    // The address is the first argument; the browser's path is passed apart from the
    // command line, so blanks in it need no quotes.
    return CurrentBrowserLauncher().startProcess(browser, u' ' + sURL);
}

void openURL(const QString& sURL) {
    (void)StartNewBrowser(sURL);
}

} // namespace kovi
