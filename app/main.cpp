#include "app/MainWindow.h"

#include "kovi/Version.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QString::fromLatin1(kovi::ProductName));
    QCoreApplication::setApplicationName(QString::fromLatin1(kovi::ProductName));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(kovi::VersionText));

    kovi::MainWindow window;
    window.show();
    return QApplication::exec();
}
