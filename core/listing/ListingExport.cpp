#include "core/listing/ListingExport.h"

#include "core/files/CsvField.h"
#include "core/files/WholeFile.h"

namespace kovi {

const std::vector<std::string>& ListingHeaders() {
    static const std::vector<std::string> headers{"FILENAME", "FILESIZE", "XRES", "YRES",
                                                  "FORMAT",   "COLOURS",  "BPP"};
    return headers;
}

std::string ExportLine(const std::vector<std::string>& cells) {
    std::string line;
    for (const auto& cell : cells) {
        if (!line.empty())
            line += ',';
        line += CsvField(cell);
    }
    return line;
}

std::string ListingExportText(const std::vector<std::vector<std::string>>& rows) {
    std::string text = ExportLine(ListingHeaders()) + "\r\n";
    for (const auto& row : rows) {
        if (row.empty() || row.front().empty())
            break;
        text += ExportLine(row) + "\r\n";
    }
    return text;
}

std::error_code WriteListingExport(const std::filesystem::path& path,
                                   const std::vector<std::vector<std::string>>& rows) {
    return WriteWholeFile(path, ListingExportText(rows));
}

} // namespace kovi
