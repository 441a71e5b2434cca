#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kovi {

// Digits grouped by threes with the given thousands separator, no leading zeros, and no digit
// at all for 0 (the summaries' "###,###,###" pattern).
std::string FormatGrouped(std::int64_t value, std::string_view separator);

// The thousands separator of the user's locale (from the environment), "," when it has none.
std::string LocaleThousandsSeparator();

} // namespace kovi
