#include "engine/ProcessingLog.h"

#include <cerrno>

namespace kovi {
namespace {

std::error_code LastError() {
    return {errno != 0 ? errno : EIO, std::generic_category()};
}

} // namespace

std::error_code ProcessingLog::open(const std::filesystem::path& folder) {
    path_ = folder / FileName;
    errno = 0;
    file_.reset(std::fopen(path_.c_str(), "wb"));
    if (!file_)
        return LastError();
    return writeLine(Header);
}

std::string ProcessingLog::RowText(const std::filesystem::path& image, const ImageMeasure& before,
                                   const ImageMeasure& after) {
    std::string row = image.native();
    for (const auto value : {std::int64_t{before.width}, std::int64_t{before.height}, before.bytes,
                             std::int64_t{after.width}, std::int64_t{after.height}, after.bytes}) {
        row += ',';
        row += std::to_string(value);
    }
    return row;
}

std::error_code ProcessingLog::writeRow(const std::filesystem::path& image,
                                        const ImageMeasure& before, const ImageMeasure& after) {
    return writeLine(RowText(image, before, after));
}

std::error_code ProcessingLog::writeTotals(std::int64_t totalBefore, std::int64_t totalAfter) {
    return writeLine(std::to_string(totalBefore) + "," + std::to_string(totalAfter));
}

std::error_code ProcessingLog::close() {
    if (!file_)
        return {};
    errno = 0;
    const bool failed = std::fclose(file_.release()) != 0;
    return failed ? LastError() : std::error_code{};
}

std::error_code ProcessingLog::writeLine(const std::string& line) {
    if (!file_)
        return std::make_error_code(std::errc::bad_file_descriptor);
    errno = 0;
    const std::string text = line + "\r\n";
    // Each line reaches the file at once, so a log cut short by a crash still tells the truth
    // about the files before it.
    if (std::fwrite(text.data(), 1, text.size(), file_.get()) != text.size() ||
        std::fflush(file_.get()) != 0)
        return LastError();
    return {};
}

} // namespace kovi
