#include <cstdlib>
#include <limits>

#include "core/imaging/header/HeaderPeek.h"

namespace kovi {
namespace {

constexpr std::size_t kBmpFileHeader = 14;
constexpr std::size_t kPcxHeader = 128;
constexpr std::uint32_t kDcxSignature = 987654321;
constexpr int kDcxMaxPages = 1023;
constexpr int kIconMaxEntries = 1024;
constexpr std::size_t kTgaHeader = 18;

bool Positive(long long width, long long height) {
    constexpr long long limit = std::numeric_limits<int>::max();
    return width > 0 && height > 0 && width <= limit && height <= limit;
}

std::optional<RasterFacts> PeekBmp(HeaderReader& reader) {
    const auto b = reader.read(0, kBmpFileHeader + 40);
    if (b.size() < kBmpFileHeader + 12 || b[0] != 'B' || b[1] != 'M')
        return std::nullopt;
    const auto infoSize = Le32(b, 14);
    long long width = 0;
    long long height = 0;
    int planes = 0;
    int bits = 0;
    if (infoSize == 12) {
        width = Le16(b, 18);
        height = Le16(b, 20);
        planes = Le16(b, 22);
        bits = Le16(b, 24);
    } else if (infoSize >= 40 && b.size() >= kBmpFileHeader + 40) {
        width = static_cast<std::int32_t>(Le32(b, 18));
        // A negative height marks rows stored top down.
        height = std::llabs(static_cast<long long>(static_cast<std::int32_t>(Le32(b, 22))));
        planes = Le16(b, 26);
        bits = Le16(b, 28);
    } else {
        return std::nullopt;
    }
    // Bit count 0 means an embedded JPEG or PNG, whose depth only the full decoder knows.
    if (planes != 1 || bits == 0 || bits > 64 || !Positive(width, height))
        return std::nullopt;
    return RasterFacts{ImageFormat::Bmp, static_cast<int>(width), static_cast<int>(height), bits};
}

std::optional<RasterFacts> PcxAt(HeaderReader& reader, std::uint64_t offset) {
    const auto b = reader.read(offset, kPcxHeader);
    if (b.size() < kPcxHeader || b[0] != 0x0A || b[1] > 5 || b[1] == 1 || b[2] > 1)
        return std::nullopt;
    const int bitsPerPlane = b[3];
    const int planes = b[65];
    if ((bitsPerPlane != 1 && bitsPerPlane != 2 && bitsPerPlane != 4 && bitsPerPlane != 8) ||
        planes < 1 || planes > 4)
        return std::nullopt;
    const long long width = static_cast<long long>(Le16(b, 8)) - Le16(b, 4) + 1;
    const long long height = static_cast<long long>(Le16(b, 10)) - Le16(b, 6) + 1;
    if (!Positive(width, height))
        return std::nullopt;
    return RasterFacts{ImageFormat::Pcx, static_cast<int>(width), static_cast<int>(height),
                       bitsPerPlane * planes};
}

std::optional<RasterFacts> PeekDcx(HeaderReader& reader) {
    const auto b = reader.read(0, 4 + 4 * kDcxMaxPages);
    if (b.size() < 8 || Le32(b, 0) != kDcxSignature)
        return std::nullopt;
    int pages = 0;
    while (4 + 4 * static_cast<std::size_t>(pages) + 4 <= b.size() && pages < kDcxMaxPages &&
           Le32(b, 4 + 4 * static_cast<std::size_t>(pages)) != 0)
        ++pages;
    if (pages == 0)
        return std::nullopt;
    auto first = PcxAt(reader, Le32(b, 4));
    if (!first)
        return std::nullopt;
    first->format = ImageFormat::Dcx;
    first->images = pages;
    return first;
}

// The depth of an icon entry whose directory leaves it open: read the picture it points to.
int EmbeddedIconDepth(HeaderReader& reader, std::uint32_t offset) {
    const auto b = reader.read(offset, 32);
    if (b.size() >= 26 && b[0] == 0x89 && b[1] == 'P' && b[2] == 'N' && b[3] == 'G') {
        const int depth = b[24];
        switch (b[25]) {
        case 0:
            return depth;
        case 2:
            return depth * 3;
        case 3:
            return depth;
        case 4:
            return depth * 2;
        case 6:
            return depth * 4;
        default:
            return 0;
        }
    }
    if (b.size() >= 16 && Le32(b, 0) >= 40)
        return Le16(b, 14);
    return 0;
}

std::optional<RasterFacts> PeekIcon(HeaderReader& reader) {
    const auto head = reader.read(0, 6);
    if (head.size() < 6 || Le16(head, 0) != 0)
        return std::nullopt;
    const int type = Le16(head, 2);
    const int count = Le16(head, 4);
    if ((type != 1 && type != 2) || count < 1 || count > kIconMaxEntries)
        return std::nullopt;
    const auto entry = reader.read(6, 16);
    if (entry.size() < 16 || entry[3] != 0)
        return std::nullopt;
    const int width = entry[0] == 0 ? 256 : entry[0];
    const int height = entry[1] == 0 ? 256 : entry[1];
    const auto dataSize = Le32(entry, 8);
    const auto dataOffset = Le32(entry, 12);
    if (dataSize == 0 || dataOffset < 6 + 16u * static_cast<unsigned>(count))
        return std::nullopt;
    int bits = type == 1 ? Le16(entry, 6) : 0; // cursors keep the hot spot where icons keep depth
    if (bits == 0)
        bits = EmbeddedIconDepth(reader, dataOffset);
    if (bits <= 0 || bits > 64)
        return std::nullopt;
    return RasterFacts{type == 1 ? ImageFormat::Ico : ImageFormat::Cursor, width, height, bits,
                       count};
}

std::optional<RasterFacts> PeekTga(HeaderReader& reader) {
    const auto b = reader.read(0, kTgaHeader);
    if (b.size() < kTgaHeader)
        return std::nullopt;
    const int mapType = b[1];
    const int imageType = b[2];
    const int mapEntryBits = b[7];
    const int depth = b[16];
    const int descriptor = b[17];
    const bool mapped = imageType == 1 || imageType == 9;
    const bool trueColour = imageType == 2 || imageType == 10;
    const bool grey = imageType == 3 || imageType == 11;
    if (mapType > 1 || !(mapped || trueColour || grey) || (mapped && mapType != 1))
        return std::nullopt;
    if (mapType == 1 && mapEntryBits != 15 && mapEntryBits != 16 && mapEntryBits != 24 &&
        mapEntryBits != 32)
        return std::nullopt;
    const bool depthFits =
        (mapped && depth == 8) || (grey && (depth == 8 || depth == 16)) ||
        (trueColour && (depth == 15 || depth == 16 || depth == 24 || depth == 32));
    if (!depthFits || (descriptor & 0xC0) != 0)
        return std::nullopt;
    const int width = Le16(b, 12);
    const int height = Le16(b, 14);
    if (width == 0 || height == 0)
        return std::nullopt;
    return RasterFacts{ImageFormat::Tga, width, height, depth};
}

} // namespace

std::optional<RasterFacts> PeekMagickRaster(HeaderReader& reader) {
    if (auto bmp = PeekBmp(reader))
        return bmp;
    if (auto dcx = PeekDcx(reader))
        return dcx;
    if (auto pcx = PcxAt(reader, 0))
        return pcx;
    if (auto icon = PeekIcon(reader))
        return icon;
    return PeekTga(reader);
}

} // namespace kovi
