#pragma once

#include <string>
#include <string_view>

namespace kovi {

// A field of the log or the export as it is written: as it stands, unless it holds a comma, a
// double quote or a line break, which would break its row; such a field is put in double
// quotes, with its own double quotes doubled.
std::string CsvField(std::string_view text);

} // namespace kovi
