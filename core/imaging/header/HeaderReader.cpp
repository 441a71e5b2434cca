#include "core/imaging/header/HeaderReader.h"

#include <limits>

namespace kovi {

HeaderReader::HeaderReader(const std::filesystem::path& path)
    : stream_(path, std::ios::binary), open_(stream_.is_open()) {}

std::vector<std::uint8_t> HeaderReader::read(std::uint64_t offset, std::size_t count) {
    std::vector<std::uint8_t> bytes;
    if (!open_ || offset > static_cast<std::uint64_t>(std::numeric_limits<std::streamoff>::max()))
        return bytes;
    stream_.clear();
    stream_.seekg(static_cast<std::streamoff>(offset));
    if (!stream_)
        return bytes;
    bytes.resize(count);
    stream_.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
    bytes.resize(static_cast<std::size_t>(stream_.gcount()));
    return bytes;
}

} // namespace kovi
