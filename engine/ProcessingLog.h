#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

namespace kovi {

struct ImageMeasure {
    int width = 0;
    int height = 0;
    std::int64_t bytes = 0;
};

// "kovilog.txt" in the processed folder: a header, one row per resized file and, after a run
// that went through every file, the totals. Lines end in CR LF; fields are never quoted.
class ProcessingLog {
public:
    static constexpr char FileName[] = "kovilog.txt";
    static constexpr char Header[] =
        "Filename,Before_X,Before_Y,Before_Bytes,After_X,After_Y,After_Bytes";

    // Creates the log in folder, or empties an earlier one, and writes the header.
    std::error_code open(const std::filesystem::path& folder);
    bool isOpen() const { return file_ != nullptr; }
    const std::filesystem::path& path() const { return path_; }

    std::error_code writeRow(const std::filesystem::path& image, const ImageMeasure& before,
                             const ImageMeasure& after);
    std::error_code writeTotals(std::int64_t totalBefore, std::int64_t totalAfter);
    std::error_code close();

    static std::string RowText(const std::filesystem::path& image, const ImageMeasure& before,
                               const ImageMeasure& after);

private:
    std::error_code writeLine(const std::string& line);

    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, FileCloser> file_;
    std::filesystem::path path_;
};

} // namespace kovi
