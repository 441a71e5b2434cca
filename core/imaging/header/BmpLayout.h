#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace kovi {

namespace bmp {
inline constexpr std::uint32_t kUncompressed = 0; // BI_RGB
inline constexpr std::uint32_t kRunLength8 = 1;   // BI_RLE8
inline constexpr std::size_t kFileHeaderBytes = 14;
// The file header and the largest information header (BITMAPV5HEADER).
inline constexpr std::size_t kLargestHeadBytes = kFileHeaderBytes + 124;
// Resolutions are stored in pixels per metre; libvips keeps them per millimetre.
inline constexpr double kMillimetresPerMetre = 1000.0;

// The bytes one uncompressed row takes: its pixels, padded to a whole number of 4-byte words.
inline std::size_t RowBytes(std::size_t width, int bitsPerPixel) {
    return (width * static_cast<std::size_t>(bitsPerPixel) + 31) / 32 * 4;
}
} // namespace bmp

// How a BMP file stores its picture, as its two headers say.
struct BmpLayout {
    std::uint32_t pixelOffset = 0;
    std::uint32_t infoBytes = 0; // 40, 108 or 124: the Windows information headers
    int width = 0;
    int height = 0;
    bool topDown = false; // rows stored from the top; most files store them from the bottom
    int planes = 0;
    int bitsPerPixel = 0;
    std::uint32_t compression = 0;
    std::uint32_t paletteEntries = 0; // colours in the table of a 1, 4 or 8-bit file
    std::int32_t xPixelsPerMetre = 0;
    std::int32_t yPixelsPerMetre = 0;
    // sRGB or the system's own colours: no calibration, no colour profile.
    bool standardColours = true;

    // Whether the program reads and writes the file itself rather than through ImageMagick:
    // 24-bit colour or a table of 2, 16 or 256 colours, stored uncompressed or, for 256 colours
    // from the bottom up, run-length encoded, in standard colours.
    bool plain() const;
    std::size_t paletteOffset() const { return bmp::kFileHeaderBytes + infoBytes; }
};

// Reads the headers at the start of a BMP file. Nothing for a file that is not a BMP, has an
// OS/2 header, or whose headers are cut short.
std::optional<BmpLayout> ReadBmpLayout(std::span<const std::uint8_t> head);

} // namespace kovi
