#include "core/imaging/header/BmpLayout.h"

#include "core/imaging/header/HeaderReader.h"

namespace kovi {
namespace {

constexpr std::uint32_t kInfoHeader = 40;
constexpr std::uint32_t kV4Header = 108;
constexpr std::uint32_t kV5Header = 124;
// Where a V4 or V5 header names its colour space, and the two names that need nothing else.
constexpr std::size_t kColourSpaceAt = 56;
constexpr std::uint32_t kSrgb = 0x73524742;           // 'sRGB'
constexpr std::uint32_t kWindowsColours = 0x57696E20; // 'Win '

bool PaletteDepth(int bits) {
    return bits == 1 || bits == 4 || bits == 8;
}

} // namespace

bool BmpLayout::plain() const {
    const bool headerKnown =
        infoBytes == kInfoHeader || infoBytes == kV4Header || infoBytes == kV5Header;
    // Pixels said to start inside the headers are a damage ImageMagick judges.
    if (!headerKnown || planes != 1 || width <= 0 || height <= 0 || !standardColours ||
        pixelOffset < paletteOffset())
        return false;
    if (bitsPerPixel == 24)
        return compression == bmp::kUncompressed;
    if (!PaletteDepth(bitsPerPixel) || paletteEntries == 0 ||
        paletteEntries > (1u << bitsPerPixel) ||
        paletteOffset() + std::size_t{4} * paletteEntries > pixelOffset)
        return false;
    return compression == bmp::kUncompressed ||
           (compression == bmp::kRunLength8 && bitsPerPixel == 8 && !topDown);
}

std::optional<BmpLayout> ReadBmpLayout(std::span<const std::uint8_t> head) {
    const std::uint8_t* b = head.data();
    if (head.size() < bmp::kFileHeaderBytes + 4 || b[0] != 'B' || b[1] != 'M')
        return std::nullopt;
    BmpLayout layout;
    layout.pixelOffset = Le32(b + 10);
    layout.infoBytes = Le32(b + 14);
    if (layout.infoBytes < kInfoHeader || head.size() < layout.paletteOffset())
        return std::nullopt;
    const std::uint8_t* info = b + bmp::kFileHeaderBytes;
    const auto width = static_cast<std::int32_t>(Le32(info + 4));
    const auto height = static_cast<std::int32_t>(Le32(info + 8));
    // The most negative height has no positive counterpart; such a file is not plain anyway.
    if (height == INT32_MIN)
        return std::nullopt;
    layout.width = width;
    layout.topDown = height < 0;
    layout.height = height < 0 ? -height : height;
    layout.planes = Le16(info + 12);
    layout.bitsPerPixel = Le16(info + 14);
    layout.compression = Le32(info + 16);
    layout.xPixelsPerMetre = static_cast<std::int32_t>(Le32(info + 24));
    layout.yPixelsPerMetre = static_cast<std::int32_t>(Le32(info + 28));
    const std::uint32_t coloursUsed = Le32(info + 32);
    if (PaletteDepth(layout.bitsPerPixel))
        layout.paletteEntries = coloursUsed != 0 ? coloursUsed : 1u << layout.bitsPerPixel;
    if (layout.infoBytes >= kV4Header) {
        const std::uint32_t space = Le32(info + kColourSpaceAt);
        layout.standardColours = space == kSrgb || space == kWindowsColours;
    }
    return layout;
}

} // namespace kovi
