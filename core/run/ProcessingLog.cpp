#include "core/run/ProcessingLog.h"

#include "core/files/CsvField.h"

namespace kovi {
namespace {

constexpr std::uint32_t NewFileMode = 0666; // less the umask, as for any new file

} // namespace

std::error_code ProcessingLog::open(const std::filesystem::path& folder) {
    close();
    path_ = folder / FileName;
    length_ = 0;
    failure_.clear();
    file_ = File(path_, OpenMode::CreateOrTruncate, NewFileMode);
    if (!file_.isOpen())
        return file_.openError();
    return writeLine(Header);
}

std::string ProcessingLog::RowText(const std::filesystem::path& image, const ImageMeasure& before,
                                   const ImageMeasure& after) {
    std::string row = CsvField(image.native());
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
    if (!file_.isOpen())
        return {};
    const std::error_code closed = file_.close();
    return failure_ ? failure_ : closed;
}

// Each line reaches the file at once, so a log cut short by a crash still tells the truth
// about the files before it.
std::error_code ProcessingLog::writeLine(const std::string& line) {
    if (!file_.isOpen())
        return std::make_error_code(std::errc::bad_file_descriptor);
    if (failure_)
        return failure_;
    const std::string text = line + "\r\n";
    if (const auto failure = file_.writeAll(text.data(), text.size())) {
        failure_ = failure;
        // A part of a line would run into whatever is written after it; take it back.
        file_.truncate(static_cast<std::int64_t>(length_));
        return failure_;
    }
    length_ += text.size();
    return {};
}

} // namespace kovi
