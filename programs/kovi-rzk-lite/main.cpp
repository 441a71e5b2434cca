#include "core/imaging/base/VipsRuntime.h"
#include "core/program/ProgramFiles.h"
#include "core/program/ProgramSettings.h"
#include "ui/main/MainWindow.h"

#include "kovi/Version.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    kovi::SettleLibraryThreads(argv);
    kovi::TuneHeapForImages();
    QApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QString::fromLatin1(kovi::ProductName));
    QCoreApplication::setApplicationName(QString::fromLatin1(kovi::ProductName));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(kovi::VersionText));

    kovi::ProgramSettings settings;
    kovi::MainWindow window(settings, kovi::LocateProgramFiles());
    QObject::connect(&window, &kovi::MainWindow::quitRequested, &application,
                     [] { QCoreApplication::exit(0); });
    window.show();
    return QApplication::exec();
}
