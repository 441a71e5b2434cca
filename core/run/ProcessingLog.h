#pragma once

#include "platform/system/File.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

namespace kovi {

struct ImageMeasure {
    int width = 0;
    int height = 0;
    std::int64_t bytes = 0;
};

// "kovilog.txt" in the processed folder: a header, one row per resized file and, after a run
// that went through every file, the totals. Lines end in CR LF; a file name is quoted only
// when it holds a comma, a double quote or a line break.
// The file only ever holds whole lines: a line that cannot be written completely (a full
// disk) is taken back, and nothing is written after it, so what the log holds is true of
// every file it names and leaves no gap before a later row or the totals.
class ProcessingLog {
public:
    ProcessingLog() = default;
    ProcessingLog(const ProcessingLog&) = delete;
    ProcessingLog& operator=(const ProcessingLog&) = delete;

    static constexpr char FileName[] = "kovilog.txt";
    static constexpr char Header[] =
        "Filename,Before_X,Before_Y,Before_Bytes,After_X,After_Y,After_Bytes";

    // Creates the log in folder, or empties an earlier one, and writes the header.
    std::error_code open(const std::filesystem::path& folder);
    bool isOpen() const { return file_.isOpen(); }
    const std::filesystem::path& path() const { return path_; }

    std::error_code writeRow(const std::filesystem::path& image, const ImageMeasure& before,
                             const ImageMeasure& after);
    std::error_code writeTotals(std::int64_t totalBefore, std::int64_t totalAfter);
    // Closes the file; the first error of the log's life, if any, or the close's own.
    std::error_code close();

    static std::string RowText(const std::filesystem::path& image, const ImageMeasure& before,
                               const ImageMeasure& after);

private:
    std::error_code writeLine(const std::string& line);

    File file_;
    std::uint64_t length_ = 0; // bytes of whole lines written
    std::error_code failure_;  // the first write that failed; the log stops there
    std::filesystem::path path_;
};

} // namespace kovi
