// Rows of the detailed listing as any path and text could make them: the export has its
// header, ends every row with CR LF, and each line reads back as the cells it was made from,
// written as they stand unless a cell needs quotes.
#include "core/listing/ListingExport.h"
#include "fuzz/Check.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr char CellEnd = '\x1F';
constexpr char RowEnd = '\x1E';

std::vector<std::vector<std::string>> Rows(const std::string& text) {
    std::vector<std::vector<std::string>> rows(1);
    rows.back().emplace_back();
    for (const char c : text) {
        if (c == RowEnd) {
            rows.emplace_back(1);
        } else if (c == CellEnd) {
            rows.back().emplace_back();
        } else {
            rows.back().back() += c;
        }
    }
    return rows;
}

// The cells that a reader of comma-separated text gets back from one line.
std::vector<std::string> ReadLine(const std::string& line) {
    std::vector<std::string> cells(1);
    bool quoted = false;
    for (std::size_t at = 0; at < line.size(); ++at) {
        const char c = line[at];
        if (quoted && c == '"' && at + 1 < line.size() && line[at + 1] == '"') {
            cells.back() += '"';
            ++at;
        } else if (c == '"' && (quoted || cells.back().empty())) {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            cells.emplace_back();
        } else {
            cells.back() += c;
        }
    }
    return cells;
}

// What a line holds: the cells from the first non-empty one on.
std::vector<std::string> Kept(const std::vector<std::string>& cells) {
    const auto first =
        std::find_if(cells.begin(), cells.end(), [](const auto& cell) { return !cell.empty(); });
    if (first == cells.end())
        return {std::string()};
    return {first, cells.end()};
}

bool NeedsQuotes(const std::vector<std::string>& cells) {
    return std::any_of(cells.begin(), cells.end(), [](const auto& cell) {
        return cell.find_first_of(",\"\r\n") != std::string::npos;
    });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto rows = Rows(std::string(reinterpret_cast<const char*>(data), size));
    for (const auto& row : rows) {
        const std::string line = kovi::ExportLine(row);
        KOVI_FUZZ_CHECK(ReadLine(line) == Kept(row));
        // Read back unquoted, the cells were joined as they stand, byte for byte.
        KOVI_FUZZ_CHECK(NeedsQuotes(row) || line.find('"') == std::string::npos);
    }

    const std::string text = kovi::ListingExportText(rows);
    const std::string header = kovi::ExportLine(kovi::ListingHeaders()) + "\r\n";
    KOVI_FUZZ_CHECK(text.compare(0, header.size(), header) == 0);
    std::string expected = header;
    for (const auto& row : rows) {
        if (row.empty() || row.front().empty())
            break;
        expected += kovi::ExportLine(row) + "\r\n";
    }
    KOVI_FUZZ_CHECK(text == expected);
    return 0;
}
