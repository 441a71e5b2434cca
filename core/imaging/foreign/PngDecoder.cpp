#include "core/imaging/foreign/PngDecoder.h"

#include <bit>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <emmintrin.h>
#include <libdeflate.h>

#include "core/imaging/header/HeaderReader.h"

namespace kovi {
namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
constexpr std::size_t kChunkOverhead = 12; // length, type and checksum
constexpr std::uint32_t kLargestChunk = 0x7fffffff;

bool IsType(const std::uint8_t* type, const char* name) {
    return std::memcmp(type, name, 4) == 0;
}

// Critical chunks have an upper-case first letter; a reader must understand each of them.
bool IsCritical(const std::uint8_t* type) {
    return (type[0] & 0x20) == 0;
}

struct Layout {
    int width = 0;
    int height = 0;
    int bands = 0;
    int sampleBytes = 1;
    std::size_t pixelBytes() const { return static_cast<std::size_t>(bands * sampleBytes); }
    std::size_t rowBytes() const { return pixelBytes() * static_cast<std::size_t>(width); }
};

std::optional<Layout> ReadImageHeader(const std::uint8_t* data, std::uint32_t length,
                                      std::int64_t maxPixels) {
    if (length != 13)
        return std::nullopt;
    const std::uint32_t width = Be32(data);
    const std::uint32_t height = Be32(data + 4);
    const int depth = data[8];
    const int colourType = data[9];
    const bool standard = data[10] == 0 && data[11] == 0 && data[12] == 0;
    if (!standard || width == 0 || height == 0 || width > kLargestChunk || height > kLargestChunk ||
        static_cast<std::int64_t>(width) * height > maxPixels || (depth != 8 && depth != 16))
        return std::nullopt;
    Layout layout{static_cast<int>(width), static_cast<int>(height), 0, depth / 8};
    switch (colourType) {
    case 0:
        layout.bands = 1;
        break;
    case 2:
        layout.bands = 3;
        break;
    case 4:
        layout.bands = 2;
        break;
    case 6:
        layout.bands = 4;
        break;
    default:
        return std::nullopt; // a palette, or no colour type at all
    }
    return layout;
}

// The image's compressed data, gathered from its IDAT chunks, once every chunk of the file has
// been found whole, with a right checksum and nothing that would change how the pixels read.
std::optional<std::vector<std::uint8_t>> GatherImageData(std::span<const std::uint8_t> file,
                                                         Layout& layout, std::int64_t maxPixels) {
    if (file.size() < sizeof kSignature || std::memcmp(file.data(), kSignature, 8) != 0)
        return std::nullopt;
    std::vector<std::uint8_t> compressed;
    compressed.reserve(file.size());
    bool haveHeader = false;
    bool dataEnded = false;
    std::size_t at = sizeof kSignature;
    while (true) {
        if (file.size() - at < kChunkOverhead)
            return std::nullopt;
        const std::uint32_t length = Be32(file.data() + at);
        if (length > kLargestChunk || file.size() - at - kChunkOverhead < length)
            return std::nullopt;
        const std::uint8_t* type = file.data() + at + 4;
        const std::uint8_t* data = type + 4;
        if (libdeflate_crc32(0, type, length + 4) != Be32(data + length))
            return std::nullopt;
        at += kChunkOverhead + length;
        if (!haveHeader) {
            if (!IsType(type, "IHDR"))
                return std::nullopt;
            const auto read = ReadImageHeader(data, length, maxPixels);
            if (!read)
                return std::nullopt;
            layout = *read;
            haveHeader = true;
        } else if (IsType(type, "IDAT")) {
            // Image data split by other chunks is an error libpng reports its own way.
            if (dataEnded)
                return std::nullopt;
            compressed.insert(compressed.end(), data, data + length);
        } else if (IsType(type, "IEND")) {
            // Bytes after the end are something libpng decides about.
            if (compressed.empty() || at != file.size())
                return std::nullopt;
            return compressed;
        } else {
            if (!compressed.empty())
                dataEnded = true;
            // A transparency key adds an alpha band, an animation control more frames; the rest
            // of the ancillary chunks do not change the pixels libvips reads.
            if (IsCritical(type) || IsType(type, "tRNS") || IsType(type, "acTL") ||
                IsType(type, "fcTL") || IsType(type, "fdAT"))
                return std::nullopt;
        }
    }
}

int Paeth(int left, int up, int upLeft) {
    const int towardsLeft = std::abs(up - upLeft);
    const int towardsUp = std::abs(left - upLeft);
    const int towardsUpLeft = std::abs(left + up - 2 * upLeft);
    if (towardsLeft <= towardsUp && towardsLeft <= towardsUpLeft)
        return left;
    return towardsUp <= towardsUpLeft ? up : upLeft;
}

template <std::size_t Count>
__m128i LoadPixel(const std::uint8_t* bytes) {
    std::uint32_t value = 0;
    std::memcpy(&value, bytes, Count);
    return _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(value)), _mm_setzero_si128());
}

template <std::size_t Count>
void StorePixel(std::uint8_t* bytes, __m128i pixel) {
    const auto value =
        static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(pixel, pixel)));
    std::memcpy(bytes, &value, Count);
}

__m128i Select(__m128i mask, __m128i chosen, __m128i otherwise) {
    return _mm_or_si128(_mm_and_si128(mask, chosen), _mm_andnot_si128(mask, otherwise));
}

__m128i Absolute(__m128i value) {
    return _mm_max_epi16(value, _mm_sub_epi16(_mm_setzero_si128(), value));
}

// The Paeth predictor on whole pixels of three or four bytes at once; each pixel depends on
// the one before, so the bytes of one pixel are what can go side by side.
template <std::size_t PixelBytes>
void UnfilterPaethPixels(std::uint8_t* row, const std::uint8_t* previous, std::size_t rowBytes) {
    __m128i left = _mm_setzero_si128();
    __m128i upLeft = _mm_setzero_si128();
    for (std::size_t i = 0; i < rowBytes; i += PixelBytes) {
        const __m128i up = LoadPixel<PixelBytes>(previous + i);
        const __m128i filtered = LoadPixel<PixelBytes>(row + i);
        const __m128i fromUp = _mm_sub_epi16(up, upLeft);
        const __m128i fromLeft = _mm_sub_epi16(left, upLeft);
        const __m128i towardsLeft = Absolute(fromUp);
        const __m128i towardsUp = Absolute(fromLeft);
        const __m128i towardsUpLeft = Absolute(_mm_add_epi16(fromUp, fromLeft));
        const __m128i smallest =
            _mm_min_epi16(towardsUpLeft, _mm_min_epi16(towardsLeft, towardsUp));
        const __m128i predicted = Select(_mm_cmpeq_epi16(smallest, towardsLeft), left,
                                         Select(_mm_cmpeq_epi16(smallest, towardsUp), up, upLeft));
        left = _mm_and_si128(_mm_add_epi16(filtered, predicted), _mm_set1_epi16(0xff));
        upLeft = up;
        StorePixel<PixelBytes>(row + i, left);
    }
}

// Undoes one row's filter in place; `previous` is the row above, already unfiltered, or zeros.
bool Unfilter(int filter, std::uint8_t* row, const std::uint8_t* previous, std::size_t rowBytes,
              std::size_t pixelBytes) {
    switch (filter) {
    case 0:
        return true;
    case 1:
        for (std::size_t i = pixelBytes; i < rowBytes; ++i)
            row[i] = static_cast<std::uint8_t>(row[i] + row[i - pixelBytes]);
        return true;
    case 2:
        for (std::size_t i = 0; i < rowBytes; ++i)
            row[i] = static_cast<std::uint8_t>(row[i] + previous[i]);
        return true;
    case 3:
        for (std::size_t i = 0; i < pixelBytes; ++i)
            row[i] = static_cast<std::uint8_t>(row[i] + (previous[i] >> 1));
        for (std::size_t i = pixelBytes; i < rowBytes; ++i)
            row[i] = static_cast<std::uint8_t>(row[i] + ((row[i - pixelBytes] + previous[i]) >> 1));
        return true;
    case 4:
        if (pixelBytes == 3) {
            UnfilterPaethPixels<3>(row, previous, rowBytes);
            return true;
        }
        if (pixelBytes == 4) {
            UnfilterPaethPixels<4>(row, previous, rowBytes);
            return true;
        }
        for (std::size_t i = 0; i < pixelBytes; ++i)
            row[i] = static_cast<std::uint8_t>(row[i] + previous[i]);
        for (std::size_t i = pixelBytes; i < rowBytes; ++i)
            row[i] = static_cast<std::uint8_t>(
                row[i] + Paeth(row[i - pixelBytes], previous[i], previous[i - pixelBytes]));
        return true;
    default:
        return false;
    }
}

bool AlphaIsOpaque(const std::uint8_t* pixels, std::size_t bytes, const Layout& layout) {
    const std::size_t pixelBytes = layout.pixelBytes();
    const std::size_t alphaAt = pixelBytes - static_cast<std::size_t>(layout.sampleBytes);
    std::uint8_t all = 0xff;
    for (std::size_t i = alphaAt; i < bytes; i += pixelBytes) {
        all &= pixels[i];
        if (layout.sampleBytes == 2)
            all &= pixels[i + 1];
    }
    return all == 0xff;
}

struct DecompressorRelease {
    void operator()(libdeflate_decompressor* decompressor) const {
        libdeflate_free_decompressor(decompressor);
    }
};

} // namespace

std::optional<DecodedPicture> DecodePlainPng(std::span<const std::uint8_t> file,
                                             std::int64_t maxPixels) {
    Layout layout;
    const auto compressed = GatherImageData(file, layout, maxPixels);
    if (!compressed)
        return std::nullopt;
    const std::size_t rowBytes = layout.rowBytes();
    const std::size_t height = static_cast<std::size_t>(layout.height);
    // Each row comes with a byte naming its filter; the rows are moved down over those bytes as
    // they are unfiltered, so the picture needs no second buffer.
    const std::size_t filteredBytes = height * (rowBytes + 1);
    std::unique_ptr<std::uint8_t, GFreeDeleter> buffer(
        static_cast<std::uint8_t*>(g_try_malloc(filteredBytes)));
    const std::unique_ptr<libdeflate_decompressor, DecompressorRelease> decompressor(
        libdeflate_alloc_decompressor());
    if (!buffer || !decompressor)
        return std::nullopt;
    std::size_t consumed = 0;
    std::size_t produced = 0;
    // Data that ends early, runs on, or fails its checksum is left to libpng to report.
    if (libdeflate_zlib_decompress_ex(decompressor.get(), compressed->data(), compressed->size(),
                                      buffer.get(), filteredBytes, &consumed,
                                      &produced) != LIBDEFLATE_SUCCESS ||
        consumed != compressed->size() || produced != filteredBytes)
        return std::nullopt;

    std::uint8_t* pixels = buffer.get();
    const std::vector<std::uint8_t> zeros(rowBytes, 0);
    const std::uint8_t* previous = zeros.data();
    for (std::size_t y = 0; y < height; ++y) {
        const std::uint8_t* filtered = pixels + y * (rowBytes + 1);
        const int filter = filtered[0];
        std::uint8_t* row = pixels + y * rowBytes;
        std::memmove(row, filtered + 1, rowBytes);
        if (!Unfilter(filter, row, previous, rowBytes, layout.pixelBytes()))
            return std::nullopt;
        previous = row;
    }
    const std::size_t bytes = height * rowBytes;
    if (layout.sampleBytes == 2 && std::endian::native == std::endian::little)
        for (std::size_t i = 0; i < bytes; i += 2)
            std::swap(pixels[i], pixels[i + 1]);

    DecodedPicture decoded;
    decoded.width = layout.width;
    decoded.height = layout.height;
    decoded.bands = layout.bands;
    decoded.sampleBytes = layout.sampleBytes;
    decoded.opaque = layout.bands % 2 == 1 || AlphaIsOpaque(pixels, bytes, layout);
    decoded.bytes = bytes;
    decoded.pixels = std::move(buffer);
    return decoded;
}

} // namespace kovi
