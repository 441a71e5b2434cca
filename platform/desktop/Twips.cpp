#include "platform/desktop/Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cmath>

namespace kovi {

int TwipsToPixels(int twips, double logicalDpi) {
    return static_cast<int>(std::lround(twips * logicalDpi / TwipsPerInch));
}

QRect TwipsToPixels(const QRect& twips, double logicalDpi) {
    return {TwipsToPixels(twips.x(), logicalDpi), TwipsToPixels(twips.y(), logicalDpi),
            TwipsToPixels(twips.width(), logicalDpi), TwipsToPixels(twips.height(), logicalDpi)};
}

double LogicalDpi(const QWidget& widget) {
    const QScreen* screen = widget.screen();
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->logicalDotsPerInch() : StandardDpi;
}

} // namespace kovi
