#pragma once

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace kovi {

// The seven column headers of the listing, in order.
const std::vector<std::string>& ListingHeaders();

// One export line from a row's cells: cells joined by ",", except that empty cells before the
// first non-empty one add nothing. A cell is quoted only when it holds a comma, a double
// quote or a line break.
std::string ExportLine(const std::vector<std::string>& cells);

// The header line and one line per row, each ended by CR LF, up to the first row whose first
// cell is empty.
std::string ListingExportText(const std::vector<std::vector<std::string>>& rows);

// Writes the header line and one line per row, each ended by CR LF, stopping at the first row
// whose first cell is empty, as one whole file (WriteWholeFile): a failure leaves an earlier
// export as it was.
std::error_code WriteListingExport(const std::filesystem::path& path,
                                   const std::vector<std::vector<std::string>>& rows);

} // namespace kovi
