#include "platform/desktop/BusyCursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace kovi {

void SetBusyCursor(bool on) {
    if (on)
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else if (QGuiApplication::overrideCursor() != nullptr)
        QGuiApplication::restoreOverrideCursor();
}

} // namespace kovi
