#include "ui/editors/NumericText.h"

#include <cmath>

namespace kovi {

bool IsNumericText(const QString& text, const QLocale& locale) {
    bool ok = false;
    const double value = locale.toDouble(text.trimmed(), &ok);
    return ok && std::isfinite(value);
}

} // namespace kovi
