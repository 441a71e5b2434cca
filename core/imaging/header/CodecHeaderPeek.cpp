#include <algorithm>
#include <cstring>
#include <string_view>

#include "core/imaging/header/HeaderPeek.h"

namespace kovi {
namespace {

constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr int kJpegMaxSegments = 4096;
constexpr int kWebpMaxChunks = 64;
constexpr int kWebpLargestSide = 16383;
constexpr std::uint8_t kWebpAnimationFlag = 0x02;
constexpr std::uint8_t kWebpAlphaFlag = 0x10;
constexpr std::uint8_t kVp8lSignature = 0x2F;
constexpr int kPngMaxChunksBeforeData = 256;
constexpr std::size_t kPngChunkOverhead = 12; // length, type and CRC
constexpr std::size_t kFileTypeBoxMax = 256;

bool StartsWith(const std::vector<std::uint8_t>& bytes, std::size_t at, std::string_view text) {
    return bytes.size() >= at + text.size() &&
           std::memcmp(bytes.data() + at, text.data(), text.size()) == 0;
}

// The picture's own size from the start of a "VP8 " or "VP8L" chunk (b holds the chunk's
// header and at least ten bytes of it); `alpha` is set from a lossless picture's own flag.
bool ReadWebpPicture(const std::vector<std::uint8_t>& b, std::uint64_t size, int& width,
                     int& height, bool& alpha) {
    if (StartsWith(b, 0, "VP8L")) {
        if (size < 5 || b[8] != kVp8lSignature)
            return false;
        const std::uint32_t bits = Le32(b, 9);
        width = static_cast<int>(bits & 0x3FFF) + 1;
        height = static_cast<int>((bits >> 14) & 0x3FFF) + 1;
        alpha = ((bits >> 28) & 1) != 0;
        return true;
    }
    // A key frame (bit 0 clear) and its start code, then 14 bits of each side.
    if (size < 10 || (b[8] & 1) != 0 || b[11] != 0x9D || b[12] != 0x01 || b[13] != 0x2A)
        return false;
    width = Le16(b, 14) & 0x3FFF;
    height = Le16(b, 16) & 0x3FFF;
    alpha = false;
    return true;
}

bool IsStartOfFrame(int marker) {
    // C4 (Huffman tables), C8 (reserved) and CC (arithmetic conditioning) share the range.
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

bool IsProgressive(int marker) {
    return marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
}

std::optional<JpegFacts> ReadFrame(HeaderReader& reader, std::uint64_t at, int marker) {
    const auto b = reader.read(at, 2 + 6 + 3 * 4);
    if (b.size() < 8)
        return std::nullopt;
    JpegFacts facts;
    facts.precision = b[2];
    facts.height = Be16(b, 3);
    facts.width = Be16(b, 5);
    facts.components = b[7];
    facts.progressive = IsProgressive(marker);
    facts.frameMarker = marker;
    if (facts.components < 1 || facts.components > 4 ||
        b.size() < 8 + 3 * static_cast<std::size_t>(facts.components))
        return std::nullopt;
    // libjpeg refuses a frame header whose length does not match its components.
    facts.headerComplete = Be16(b, 0) == 8 + 3 * facts.components;
    for (int c = 0; c < facts.components; ++c) {
        const int sampling = b[8 + 3 * static_cast<std::size_t>(c) + 1];
        facts.horizontalSampling[static_cast<std::size_t>(c)] = sampling >> 4;
        facts.verticalSampling[static_cast<std::size_t>(c)] = sampling & 0x0F;
    }
    return facts;
}

} // namespace

int PngFacts::channels() const {
    switch (colourType) {
    case 0:
        return 1;
    case 2:
        return 3;
    case 3:
        return 1;
    case 4:
        return 2;
    case 6:
        return 4;
    default:
        return 0;
    }
}

std::optional<PngFacts> PeekPng(HeaderReader& reader) {
    const auto b = reader.read(0, 29);
    if (b.size() < 29 || std::memcmp(b.data(), kPngSignature, sizeof kPngSignature) != 0 ||
        !StartsWith(b, 12, "IHDR"))
        return std::nullopt;
    PngFacts facts;
    facts.bitDepth = b[24];
    facts.colourType = b[25];
    facts.interlaced = b[28] == 1;
    if (facts.channels() == 0)
        return std::nullopt;
    // An animation announces itself with acTL before the first image data.
    std::uint64_t at = 8;
    for (int chunk = 0; chunk < kPngMaxChunksBeforeData; ++chunk) {
        const auto header = reader.read(at, 8);
        if (header.size() < 8 || StartsWith(header, 4, "IDAT"))
            break;
        if (StartsWith(header, 4, "acTL")) {
            facts.animated = true;
            break;
        }
        at += kPngChunkOverhead + Be32(header, 0);
    }
    return facts;
}

bool PeekHeifSequence(HeaderReader& reader) {
    const auto box = reader.read(0, kFileTypeBoxMax);
    if (box.size() < 16 || !StartsWith(box, 4, "ftyp"))
        return false;
    const std::size_t size = std::min<std::size_t>(Be32(box, 0), box.size());
    // The major brand, then (after a minor version) the compatible brands.
    for (std::size_t at = 8; at + 4 <= size; at += at == 8 ? 8 : 4)
        if (StartsWith(box, at, "avis") || StartsWith(box, at, "msf1") ||
            StartsWith(box, at, "hevs"))
            return true;
    return false;
}

std::optional<JpegFacts> PeekJpeg(HeaderReader& reader) {
    const auto start = reader.read(0, 2);
    if (start.size() < 2 || start[0] != 0xFF || start[1] != 0xD8)
        return std::nullopt;
    std::optional<JpegFacts> frame;
    // Past the frame header the walk goes on to the first scan, to see the header whole.
    const auto incomplete = [&frame] {
        if (frame)
            frame->headerComplete = false;
        return frame;
    };
    std::uint64_t at = 2;
    for (int segment = 0; segment < kJpegMaxSegments; ++segment) {
        const auto b = reader.read(at, 4);
        if (b.size() < 2 || b[0] != 0xFF)
            return incomplete();
        const int marker = b[1];
        if (marker == 0xFF) { // fill byte before a marker
            at += 1;
            continue;
        }
        if (IsStartOfFrame(marker) && !frame) {
            frame = ReadFrame(reader, at + 2, marker);
            if (!frame)
                return std::nullopt;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {
            at += 2;
            continue;
        }
        if (marker == 0xD9 || b.size() < 4)
            return incomplete(); // the end before any image data
        const std::uint64_t length = Be16(b, 2);
        if (marker == 0xDA) {
            // The scan header itself must be there too.
            if (frame && (length < 2 || reader.read(at + 2 + length - 1, 1).empty()))
                frame->headerComplete = false;
            return frame;
        }
        at += 2 + length;
    }
    return incomplete();
}

std::optional<PnmFacts> PeekPnm(HeaderReader& reader) {
    const auto b = reader.read(0, 2);
    if (b.size() < 2 || b[0] != 'P')
        return std::nullopt;
    switch (b[1]) {
    case '1':
        return PnmFacts{ImageFormat::Pbm, true};
    case '2':
        return PnmFacts{ImageFormat::Pgm, true};
    case '3':
        return PnmFacts{ImageFormat::Ppm, true};
    case '4':
        return PnmFacts{ImageFormat::Pbm, false};
    case '5':
        return PnmFacts{ImageFormat::Pgm, false};
    case '6':
        return PnmFacts{ImageFormat::Ppm, false};
    case 'F':
    case 'f':
        return PnmFacts{ImageFormat::Pfm, false};
    default:
        return std::nullopt;
    }
}

std::optional<bool> PeekWebpLossless(HeaderReader& reader) {
    const auto riff = reader.read(0, 12);
    if (!StartsWith(riff, 0, "RIFF") || !StartsWith(riff, 8, "WEBP"))
        return std::nullopt;
    std::uint64_t at = 12;
    for (int chunk = 0; chunk < kWebpMaxChunks; ++chunk) {
        const auto b = reader.read(at, 8);
        if (b.size() < 8)
            return std::nullopt;
        if (StartsWith(b, 0, "VP8L"))
            return true;
        if (StartsWith(b, 0, "VP8 "))
            return false;
        if (StartsWith(b, 0, "ANMF")) {
            // A frame holds its own chunks after a 16-byte frame header.
            at += 8 + 16;
            continue;
        }
        const std::uint64_t size = Le32(b, 4);
        at += 8 + size + (size & 1);
    }
    return std::nullopt;
}

std::optional<WebpStillFacts> PeekWebpStill(HeaderReader& reader, std::uint64_t fileBytes) {
    const auto riff = reader.read(0, 12);
    if (!StartsWith(riff, 0, "RIFF") || !StartsWith(riff, 8, "WEBP"))
        return std::nullopt;
    const std::uint64_t riffEnd = 8 + static_cast<std::uint64_t>(Le32(riff, 4));
    if (riffEnd > fileBytes)
        return std::nullopt;
    WebpStillFacts facts;
    bool extended = false;
    std::uint64_t at = 12;
    for (int chunk = 0; chunk < kWebpMaxChunks; ++chunk) {
        const auto b = reader.read(at, 8 + 10);
        if (b.size() < 8 + 10)
            return std::nullopt;
        const std::uint64_t size = Le32(b, 4);
        if (at + 8 + size > riffEnd)
            return std::nullopt;
        if (chunk == 0 && StartsWith(b, 0, "VP8X")) {
            if (size < 10 || (b[8] & kWebpAnimationFlag) != 0)
                return std::nullopt;
            // An extended file's canvas and flags stand for the picture, as libwebp has it.
            extended = true;
            facts.alpha = (b[8] & kWebpAlphaFlag) != 0;
            facts.width = static_cast<int>(Le24(b, 12)) + 1;
            facts.height = static_cast<int>(Le24(b, 15)) + 1;
        } else if (StartsWith(b, 0, "VP8L") || StartsWith(b, 0, "VP8 ")) {
            int width = 0;
            int height = 0;
            bool alpha = false;
            if (!ReadWebpPicture(b, size, width, height, alpha))
                return std::nullopt;
            facts.lossless = StartsWith(b, 0, "VP8L");
            if (!extended) {
                facts.width = width;
                facts.height = height;
                facts.alpha = alpha;
            } else if (width != facts.width || height != facts.height) {
                return std::nullopt;
            }
            if (facts.width < 1 || facts.height < 1 || facts.width > kWebpLargestSide ||
                facts.height > kWebpLargestSide)
                return std::nullopt;
            return facts;
        } else if (!extended) {
            // A simple file begins with its picture.
            return std::nullopt;
        }
        at += 8 + size + (size & 1);
    }
    return std::nullopt;
}

} // namespace kovi
