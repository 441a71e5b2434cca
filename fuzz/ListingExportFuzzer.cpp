// Rows of the detailed listing as any path and text could make them: the export has its
// header, ends every row with CR LF, and joins cells as the listing does.
#include "fuzz/Check.h"
#include "listing/ListingExport.h"

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

// What a line is made of: every cell after the first non-empty one gets a comma before it.
std::size_t LineLength(const std::vector<std::string>& cells) {
    std::size_t length = 0;
    bool started = false;
    for (const auto& cell : cells) {
        length += cell.size() + (started ? 1 : 0);
        started = started || !cell.empty();
    }
    return length;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto rows = Rows(std::string(reinterpret_cast<const char*>(data), size));
    for (const auto& row : rows)
        KOVI_FUZZ_CHECK(kovi::ExportLine(row).size() == LineLength(row));

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
