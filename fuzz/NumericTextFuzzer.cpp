// The custom resolutions dialog's test of a typed side ("800", " 1,024", "1e3") in a few
// locales, with the locale taken from the first byte of the input.
#include "fuzz/Check.h"
#include "ui/editors/NumericText.h"

#include <array>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::array<QLocale, 4> locales{QLocale::c(), QLocale(QLocale::English),
                                                QLocale(QLocale::German), QLocale(QLocale::French)};
    if (size == 0)
        return 0;
    const QLocale& locale = locales[data[0] % locales.size()];
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data + 1),
                                           static_cast<qsizetype>(size - 1));

    const bool numeric = kovi::IsNumericText(text, locale);
    // Blanks around a number never change the answer.
    KOVI_FUZZ_CHECK(
        kovi::IsNumericText(QStringLiteral(" ") + text + QStringLiteral("\t"), locale) == numeric);
    if (!numeric)
        return 0;
    // A number has a digit, and no letter but an exponent's: no units, no infinity, no NaN.
    bool digit = false;
    for (const QChar c : text) {
        digit = digit || c.isDigit();
        KOVI_FUZZ_CHECK(!c.isLetter() || c == u'e' || c == u'E');
    }
    KOVI_FUZZ_CHECK(digit);
    return 0;
}
