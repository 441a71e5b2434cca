#include "app/MainWindow.h"

#include "kovi/Version.h"

namespace kovi {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("%1 v%2").arg(QString::fromLatin1(ProductName),
                                                QString::fromLatin1(VersionText)));
}

} // namespace kovi
