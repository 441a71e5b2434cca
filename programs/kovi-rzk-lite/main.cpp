#include "core/program/ProgramFiles.h"
#include "core/program/ProgramSettings.h"
#include "core/program/ProgramStart.h"
#include "platform/desktop/MessageSink.h"
#include "ui/main/MainWindow.h"

#include <QApplication>
#include <QFileInfo>

namespace {

// `kovi-rzk-lite FOLDER`, as a file manager's "Open With" starts it: the folder is chosen in the
// tree for this start. One that is not there is said, and the program starts as usual.
void ChooseFolderOfCommandLine(kovi::MainWindow& window) {
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 2)
        return;
    const QFileInfo folder(arguments.at(1));
    if (folder.isDir())
        window.SetSelectedFolder(folder.absoluteFilePath());
    else
        kovi::ShowError(QStringLiteral("The folder %1 does not exist.").arg(arguments.at(1)),
                        &window);
}

} // namespace

int main(int argc, char* argv[]) {
    kovi::StartProgram(argv, kovi::ImageWork::Saves);
    QApplication application(argc, argv);

    kovi::ProgramSettings settings;
    kovi::MainWindow window(settings, kovi::LocateProgramFiles());
    QObject::connect(&window, &kovi::MainWindow::quitRequested, &application,
                     [] { QCoreApplication::exit(0); });
    window.show();
    ChooseFolderOfCommandLine(window);
    return QApplication::exec();
}
