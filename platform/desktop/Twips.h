#pragma once

#include <QRect>

class QWidget;

namespace kovi {

// Window geometry is given in twips (1/1440 inch): 15 twips to the pixel at 96 dpi.
inline constexpr double TwipsPerInch = 1440.0;
inline constexpr double StandardDpi = 96.0;

int TwipsToPixels(int twips, double logicalDpi = StandardDpi);
QRect TwipsToPixels(const QRect& twips, double logicalDpi = StandardDpi);

// The logical dpi of the screen the widget is on (of the primary screen before it is shown).
double LogicalDpi(const QWidget& widget);

} // namespace kovi
