#include "core/run/ProcessingLog.h"

#include "core/files/CsvField.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace kovi {
namespace {

constexpr mode_t NewFileMode = 0666; // less the umask, as for any new file

std::error_code LastError() {
    return {errno != 0 ? errno : EIO, std::generic_category()};
}

} // namespace

ProcessingLog::~ProcessingLog() {
    if (descriptor_ >= 0)
        ::close(descriptor_);
}

std::error_code ProcessingLog::open(const std::filesystem::path& folder) {
    close();
    path_ = folder / FileName;
    length_ = 0;
    failure_.clear();
    errno = 0;
    descriptor_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, NewFileMode);
    if (descriptor_ < 0)
        return LastError();
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
    if (descriptor_ < 0)
        return {};
    errno = 0;
    const bool failed = ::close(descriptor_) != 0;
    descriptor_ = -1;
    if (failure_)
        return failure_;
    return failed ? LastError() : std::error_code{};
}

// Each line reaches the file at once, so a log cut short by a crash still tells the truth
// about the files before it.
std::error_code ProcessingLog::writeLine(const std::string& line) {
    if (descriptor_ < 0)
        return std::make_error_code(std::errc::bad_file_descriptor);
    if (failure_)
        return failure_;
    const std::string text = line + "\r\n";
    std::size_t written = 0;
    while (written < text.size()) {
        errno = 0;
        const ssize_t count = ::write(descriptor_, text.data() + written, text.size() - written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            failure_ = LastError();
            // A part of a line would run into whatever is written after it; take it back.
            if (::ftruncate(descriptor_, static_cast<off_t>(length_)) == 0)
                ::lseek(descriptor_, static_cast<off_t>(length_), SEEK_SET);
            return failure_;
        }
        written += static_cast<std::size_t>(count);
    }
    length_ += text.size();
    return {};
}

} // namespace kovi
