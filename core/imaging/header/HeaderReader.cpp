#include "core/imaging/header/HeaderReader.h"

#include <algorithm>
#include <limits>

namespace kovi {
namespace {

constexpr std::size_t kWindowBytes = 32 * 1024;

} // namespace

HeaderReader::HeaderReader(const std::filesystem::path& path) {
    // The window is the only buffer; the stream's own would copy every byte once more.
    stream_.rdbuf()->pubsetbuf(nullptr, 0);
    stream_.open(path, std::ios::binary);
    open_ = stream_.is_open();
}

bool HeaderReader::holds(std::uint64_t offset, std::size_t count) const {
    if (offset < windowStart_ || offset - windowStart_ > window_.size())
        return false;
    return windowReachesEnd_ || offset - windowStart_ + count <= window_.size();
}

std::vector<std::uint8_t> HeaderReader::read(std::uint64_t offset, std::size_t count) {
    if (!open_ || offset > static_cast<std::uint64_t>(std::numeric_limits<std::streamoff>::max()))
        return {};
    if (!holds(offset, count)) {
        window_.clear();
        windowStart_ = offset;
        windowReachesEnd_ = false;
        stream_.clear();
        stream_.seekg(static_cast<std::streamoff>(offset));
        if (!stream_)
            return {};
        window_.resize(std::max(count, kWindowBytes));
        stream_.read(reinterpret_cast<char*>(window_.data()),
                     static_cast<std::streamsize>(window_.size()));
        const auto got = static_cast<std::size_t>(stream_.gcount());
        windowReachesEnd_ = got < window_.size();
        window_.resize(got);
    }
    const std::size_t from = static_cast<std::size_t>(offset - windowStart_);
    const std::size_t size = std::min(count, window_.size() - from);
    return {window_.begin() + static_cast<std::ptrdiff_t>(from),
            window_.begin() + static_cast<std::ptrdiff_t>(from + size)};
}

} // namespace kovi
