// What the custom resolutions editor takes for a number: what the user's locale can read as
// one, blanks around it allowed.
#include "lists/NumericText.h"

#include <gtest/gtest.h>

namespace kovi {
namespace {

struct NumericCase {
    const char* name;
    const char* locale;
    const char* text;
    bool numeric;
};

void PrintTo(const NumericCase& numericCase, std::ostream* out) {
    *out << numericCase.name;
}

class IsNumericTextTable : public ::testing::TestWithParam<NumericCase> {};

TEST_P(IsNumericTextTable, AcceptsWhatTheLocaleReadsAsANumber) {
    const NumericCase& row = GetParam();
    EXPECT_EQ(IsNumericText(QString::fromUtf8(row.text), QLocale(QString::fromLatin1(row.locale))),
              row.numeric);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IsNumericTextTable,
    ::testing::Values(NumericCase{"whole_number", "en_US", "640", true},
                      NumericCase{"zero", "en_US", "0", true},
                      NumericCase{"leading_blank", "en_US", " 800", true},
                      NumericCase{"blanks_around", "en_US", "  800  ", true},
                      NumericCase{"tab_around", "en_US", "\t800", true},
                      NumericCase{"minus_sign", "en_US", "-3", true},
                      NumericCase{"plus_sign", "en_US", "+3", true},
                      NumericCase{"decimal_point", "en_US", "12.5", true},
                      NumericCase{"leading_point", "en_US", ".5", true},
                      NumericCase{"trailing_point", "en_US", "5.", true},
                      NumericCase{"thousands_separator", "en_US", "1,024", true},
                      NumericCase{"thousands_and_decimals", "en_US", "1,024.5", true},
                      NumericCase{"exponent", "en_US", "1e3", true},
                      NumericCase{"negative_exponent", "en_US", "5E-3", true},
                      NumericCase{"empty", "en_US", "", false},
                      NumericCase{"blanks_only", "en_US", "   ", false},
                      NumericCase{"letters", "en_US", "abc", false},
                      NumericCase{"unit_after", "en_US", "800px", false},
                      NumericCase{"size_text", "en_US", "800x600", false},
                      NumericCase{"blank_inside", "en_US", "8 00", false},
                      NumericCase{"misplaced_separator", "en_US", "1,2,3", false},
                      NumericCase{"trailing_sign", "en_US", "5-", false},
                      NumericCase{"two_signs", "en_US", "--5", false},
                      NumericCase{"brackets", "en_US", "(5)", false},
                      NumericCase{"currency", "en_US", "$5", false},
                      NumericCase{"hexadecimal", "en_US", "0x10", false},
                      NumericCase{"exponent_without_digits", "en_US", "1e", false},
                      NumericCase{"exponent_alone", "en_US", "e5", false},
                      NumericCase{"infinity", "en_US", "inf", false},
                      NumericCase{"not_a_number", "en_US", "nan", false},
                      NumericCase{"overflow", "en_US", "1e999", false},
                      NumericCase{"arabic_digits", "en_US", "١٢", false},
                      NumericCase{"line_break_inside", "en_US", "8\n00", false},
                      NumericCase{"german_decimal_comma", "de_DE", "12,5", true},
                      NumericCase{"german_thousands_point", "de_DE", "1.024", true},
                      NumericCase{"german_both", "de_DE", "1.024,5", true},
                      NumericCase{"english_decimal_in_german", "de_DE", "12.5", false},
                      NumericCase{"english_both_in_german", "de_DE", "1,024.5", false},
                      NumericCase{"french_blank_thousands", "fr_FR", "1 024", true},
                      NumericCase{"french_narrow_blank_thousands", "fr_FR", "1\u202f024", true},
                      NumericCase{"french_decimal_comma", "fr_FR", "12,5", true}),
    [](const auto& info) { return info.param.name; });

} // namespace
} // namespace kovi
