#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

namespace kovi {

// Reads small pieces of a file for the header checks that libvips does not make itself. The
// checks walk a header a few bytes at a time, so the file is read a window at a time: a
// thumbnail's header then takes one read rather than one for each marker.
class HeaderReader {
public:
    explicit HeaderReader(const std::filesystem::path& path);

    bool isOpen() const { return open_; }
    // Up to `count` bytes from `offset`; fewer at the end of the file, none past it.
    std::vector<std::uint8_t> read(std::uint64_t offset, std::size_t count);

private:
    bool holds(std::uint64_t offset, std::size_t count) const;

    std::ifstream stream_;
    bool open_ = false;
    std::vector<std::uint8_t> window_;
    std::uint64_t windowStart_ = 0;
    bool windowReachesEnd_ = false;
};

inline std::uint16_t Le16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}
inline std::uint16_t Le16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return Le16(b.data() + at);
}
inline std::uint32_t Le24(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16);
}
inline std::uint32_t Le32(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
           (static_cast<std::uint32_t>(bytes[2]) << 16) |
           (static_cast<std::uint32_t>(bytes[3]) << 24);
}
inline std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return Le32(b.data() + at);
}
inline std::uint16_t Be16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>((b[at] << 8) | b[at + 1]);
}
inline std::uint32_t Be32(const std::uint8_t* bytes) {
    return (static_cast<std::uint32_t>(bytes[0]) << 24) |
           (static_cast<std::uint32_t>(bytes[1]) << 16) |
           (static_cast<std::uint32_t>(bytes[2]) << 8) | static_cast<std::uint32_t>(bytes[3]);
}
inline std::uint32_t Be32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return Be32(b.data() + at);
}

} // namespace kovi
