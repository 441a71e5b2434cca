#include "core/program/ProgramFiles.h"
#include "core/program/ProgramSettings.h"
#include "core/program/ProgramStart.h"
#include "ui/main/MainWindow.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    kovi::StartProgram(argv, kovi::ImageWork::Saves);
    QApplication application(argc, argv);

    kovi::ProgramSettings settings;
    kovi::MainWindow window(settings, kovi::LocateProgramFiles());
    QObject::connect(&window, &kovi::MainWindow::quitRequested, &application,
                     [] { QCoreApplication::exit(0); });
    window.show();
    return QApplication::exec();
}
