#include "tests/support/CraftedFiles.h"

#include "tests/support/TestImages.h"

namespace kovi::testing {
namespace {

// `size` bytes of `value` at `at`, little-endian unless `bigEndian`.
void Put(std::string& bytes, std::size_t at, std::uint32_t value, int size,
         bool bigEndian = false) {
    for (int i = 0; i < size; ++i)
        bytes[at + static_cast<std::size_t>(bigEndian ? size - 1 - i : i)] =
            static_cast<char>(value >> (8 * i));
}

std::uint32_t Crc32(const std::string& bytes, std::size_t from, std::size_t count) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = from; i < from + count; ++i) {
        crc ^= static_cast<unsigned char>(bytes[i]);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

} // namespace

std::string Encoded(const vips::VImage& image, const char* suffix, vips::VOption* options) {
    void* buffer = nullptr;
    std::size_t length = 0;
    image.write_to_buffer(suffix, &buffer, &length, options);
    std::string bytes(static_cast<const char*>(buffer), length);
    g_free(buffer);
    return bytes;
}

std::string JpegClaiming(unsigned width, unsigned height) {
    std::string bytes = Encoded(ColourRamp(64, 48), ".jpg");
    const auto frame = bytes.find("\xFF\xC0");
    Put(bytes, frame + 5, height, 2, true);
    Put(bytes, frame + 7, width, 2, true);
    return bytes;
}

std::string PngClaiming(std::uint32_t width, std::uint32_t height) {
    std::string bytes = Encoded(ColourRamp(64, 48), ".png");
    Put(bytes, 16, width, 4, true);
    Put(bytes, 20, height, 4, true);
    Put(bytes, 29, Crc32(bytes, 12, 17), 4, true);
    return bytes;
}

std::string GifClaiming(unsigned width, unsigned height) {
    std::string bytes = Encoded(ColourRamp(64, 48), ".gif");
    Put(bytes, 6, width, 2);
    Put(bytes, 8, height, 2);
    const auto flags = static_cast<unsigned char>(bytes[10]);
    std::size_t at = 13 + ((flags & 0x80) != 0 ? 3u << ((flags & 7) + 1) : 0);
    while (bytes[at] == '\x21') { // extensions: label, then sub-blocks up to an empty one
        at += 2;
        while (bytes[at] != 0)
            at += static_cast<unsigned char>(bytes[at]) + 1u;
        at += 1;
    }
    Put(bytes, at + 5, width, 2);
    Put(bytes, at + 7, height, 2);
    return bytes;
}

std::string BmpClaiming(std::uint32_t width, std::uint32_t height) {
    std::string bytes(54, '\0');
    bytes[0] = 'B';
    bytes[1] = 'M';
    Put(bytes, 2, 54, 4);
    Put(bytes, 10, 54, 4);
    Put(bytes, 14, 40, 4);
    Put(bytes, 18, width, 4);
    Put(bytes, 22, height, 4);
    Put(bytes, 26, 1, 2);
    Put(bytes, 28, 24, 2);
    return bytes;
}

// An uncompressed RGB TIFF of one strip whose data ends after a few bytes.
std::string TiffClaiming(std::uint32_t width, std::uint32_t height) {
    constexpr std::size_t EntryCount = 9;
    constexpr std::size_t DirectoryAt = 8;
    constexpr std::size_t BitsAt = DirectoryAt + 2 + EntryCount * 12 + 4;
    constexpr std::size_t DataAt = BitsAt + 6;
    std::string bytes(DataAt + 64, '\x40');
    bytes[0] = 'I';
    bytes[1] = 'I';
    Put(bytes, 2, 42, 2);
    Put(bytes, 4, DirectoryAt, 4);
    Put(bytes, DirectoryAt, EntryCount, 2);
    struct Entry {
        unsigned tag;
        unsigned type; // 3 short, 4 long
        std::uint32_t count;
        std::uint32_t value;
    };
    const Entry entries[EntryCount] = {
        {256, 4, 1, width},
        {257, 4, 1, height},
        {258, 3, 3, BitsAt},
        {259, 3, 1, 1},
        {262, 3, 1, 2},
        {273, 4, 1, DataAt},
        {277, 3, 1, 3},
        {278, 4, 1, height},
        {279, 4, 1, width * 3u * height}, // wraps past 4 GiB, as a hostile file may,
    };
    std::size_t at = DirectoryAt + 2;
    for (const Entry& entry : entries) {
        Put(bytes, at, entry.tag, 2);
        Put(bytes, at + 2, entry.type, 2);
        Put(bytes, at + 4, entry.count, 4);
        if (entry.type == 3 && entry.count == 1) {
            Put(bytes, at + 8, entry.value, 2);
            Put(bytes, at + 10, 0, 2);
        } else {
            Put(bytes, at + 8, entry.value, 4);
        }
        at += 12;
    }
    Put(bytes, at, 0, 4);
    for (std::size_t i = 0; i < 3; ++i)
        Put(bytes, BitsAt + 2 * i, 8, 2);
    return bytes;
}

std::string GifBomb(unsigned width, unsigned height, int frames) {
    std::string bytes = "GIF89a";
    bytes += std::string(7, '\0');
    Put(bytes, 6, width, 2);
    Put(bytes, 8, height, 2);
    bytes[10] = '\x80'; // a global colour table of two colours
    bytes += std::string("\0\0\0\xFF\xFF\xFF", 6);
    for (int frame = 0; frame < frames; ++frame) {
        if (frames > 1)
            bytes += std::string("\x21\xF9\x04\x04\x04\0\0\0", 8); // 40 ms, keep the frame
        std::string descriptor(10, '\0');
        descriptor[0] = '\x2C';
        Put(descriptor, 5, width, 2);
        Put(descriptor, 7, height, 2);
        bytes += descriptor;
        // Code size 2, then one sub-block of three 3-bit codes: clear, colour 0, end.
        bytes += std::string("\x02\x02\x44\x01\0", 5);
    }
    return bytes + ";";
}

} // namespace kovi::testing
