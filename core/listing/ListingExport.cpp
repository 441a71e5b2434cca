#include "core/listing/ListingExport.h"

#include "core/files/CsvField.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace kovi {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::error_code LastError() {
    return {errno != 0 ? errno : EIO, std::generic_category()};
}

} // namespace

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
    const std::string text = ListingExportText(rows);

    auto staging = path;
    staging += ".kovi-export";
    errno = 0;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(staging.c_str(), "wb"));
    if (!file)
        return LastError();
    std::error_code error;
    if (std::fwrite(text.data(), 1, text.size(), file.get()) != text.size() ||
        std::fflush(file.get()) != 0 || fsync(fileno(file.get())) != 0)
        error = LastError();
    if (std::fclose(file.release()) != 0 && !error)
        error = LastError();
    if (!error)
        std::filesystem::rename(staging, path, error);
    if (error) {
        std::error_code ignored;
        std::filesystem::remove(staging, ignored);
    }
    return error;
}

} // namespace kovi
