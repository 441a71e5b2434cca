#include "core/run/NumberFormat.h"

#include <climits>
#include <locale>

namespace kovi {

std::string FormatGrouped(std::int64_t value, std::string_view separator) {
    if (value == 0)
        return {};
    const bool negative = value < 0;
    // Work on the unsigned magnitude so that the smallest 64-bit value has one too.
    std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    std::string digits = std::to_string(magnitude);
    std::string grouped;
    const std::size_t lead = digits.size() % 3 == 0 ? 3 : digits.size() % 3;
    grouped.append(digits, 0, lead);
    for (std::size_t at = lead; at < digits.size(); at += 3) {
        grouped += separator;
        grouped.append(digits, at, 3);
    }
    return negative ? "-" + grouped : grouped;
}

std::string LocaleThousandsSeparator() {
    try {
        const std::locale user("");
        const auto& punctuation = std::use_facet<std::numpunct<wchar_t>>(user);
        const wchar_t separator = punctuation.thousands_sep();
        if (punctuation.grouping().empty() || separator == L'\0')
            return ",";
        std::mbstate_t state{};
        std::string bytes(MB_LEN_MAX, '\0');
        // The user's locale encodes text as UTF-8 on the systems this runs on.
        const auto& convert = std::use_facet<std::codecvt<wchar_t, char, std::mbstate_t>>(user);
        const wchar_t* next = nullptr;
        char* end = nullptr;
        if (convert.out(state, &separator, &separator + 1, next, bytes.data(),
                        bytes.data() + bytes.size(), end) != std::codecvt_base::ok)
            return ",";
        bytes.resize(static_cast<std::size_t>(end - bytes.data()));
        return bytes;
    } catch (const std::exception&) {
        return ",";
    }
}

} // namespace kovi
