#pragma once

#include <QRect>
#include <QWidget>

namespace kovi {

// Window geometry is given in twips (1/1440 inch): 15 twips to the pixel at 96 dpi.
inline constexpr double TwipsPerInch = 1440.0;
inline constexpr double StandardDpi = 96.0;

int TwipsToPixels(int twips, double logicalDpi = StandardDpi);
QRect TwipsToPixels(const QRect& twips, double logicalDpi = StandardDpi);

// The logical dpi of the screen the widget is on (of the primary screen before it is shown).
double LogicalDpi(const QWidget& widget);

// Names a control and places it in twips, relative to its container.
template <typename Widget>
Widget* Place(Widget* widget, const char* name, const QRect& twips, double logicalDpi) {
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(TwipsToPixels(twips, logicalDpi));
    return widget;
}

} // namespace kovi
