#pragma once

#include <QLocale>
#include <QString>

namespace kovi {

// Whether the text can be read as a number in the locale: blanks around it, a sign, the
// locale's decimal and thousands separators and an exponent are all allowed ("12.5", " 800",
// "1,024", "-3", "1e3" in English), units and letters are not ("800px"). Infinity and
// not-a-number are no numbers here. The text itself is not changed.
bool IsNumericText(const QString& text, const QLocale& locale = QLocale());

} // namespace kovi
