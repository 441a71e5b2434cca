#include "core/imaging/foreign/BmpDecoder.h"

#include <array>
#include <cstring>
#include <vector>

#include "core/imaging/header/HeaderReader.h"

namespace kovi {
namespace {

using Palette = std::array<std::array<std::uint8_t, 3>, 256>;

struct Picture {
    std::uint8_t* pixels;
    std::size_t width;
    std::size_t height;
    bool topDown;
    // The picture's row that the file's `stored`th row holds.
    std::uint8_t* row(std::size_t stored) const {
        const std::size_t y = topDown ? stored : height - 1 - stored;
        return pixels + y * width * 3;
    }
};

Palette ReadPalette(const std::uint8_t* entries, std::uint32_t count) {
    Palette palette{};
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* entry = entries + std::size_t{4} * i;
        palette[i] = {entry[2], entry[1], entry[0]};
    }
    return palette;
}

// An index past the end of the colour table has no colour; such a file is not plain.
bool PaintIndexed(const std::uint8_t* indices, std::size_t count, const Palette& palette,
                  std::uint32_t entries, std::uint8_t* out) {
    for (std::size_t x = 0; x < count; ++x) {
        if (indices[x] >= entries)
            return false;
        std::memcpy(out + 3 * x, palette[indices[x]].data(), 3);
    }
    return true;
}

bool DecodeUncompressed(std::span<const std::uint8_t> file, const BmpLayout& layout,
                        const Palette& palette, const Picture& picture) {
    const int bits = layout.bitsPerPixel;
    const std::size_t stride = bmp::RowBytes(picture.width, bits);
    if ((file.size() - layout.pixelOffset) / stride < picture.height)
        return false;
    std::vector<std::uint8_t> indices(bits < 24 ? picture.width : 0);
    for (std::size_t stored = 0; stored < picture.height; ++stored) {
        const std::uint8_t* in = file.data() + layout.pixelOffset + stored * stride;
        std::uint8_t* out = picture.row(stored);
        if (bits == 24) {
            for (std::size_t x = 0; x < picture.width; ++x, in += 3, out += 3) {
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
            }
            continue;
        }
        // Indices of 1 and 4 bits are packed from the high bits of each byte down.
        const int perByte = 8 / bits;
        const int mask = (1 << bits) - 1;
        for (std::size_t x = 0; x < picture.width; ++x) {
            const int shift = 8 - bits * (1 + static_cast<int>(x % perByte));
            indices[x] = static_cast<std::uint8_t>((in[x / perByte] >> shift) & mask);
        }
        if (!PaintIndexed(indices.data(), picture.width, palette, layout.paletteEntries, out))
            return false;
    }
    return true;
}

// Runs of one index, or literal stretches of indices padded to an even length; each row ends
// with an end-of-line mark, the last with an end-of-bitmap mark (or both).
bool DecodeRunLength8(std::span<const std::uint8_t> file, const BmpLayout& layout,
                      const Palette& palette, const Picture& picture) {
    constexpr std::uint8_t kEscape = 0;
    constexpr std::uint8_t kEndOfLine = 0;
    constexpr std::uint8_t kEndOfBitmap = 1;
    constexpr std::uint8_t kDelta = 2;
    std::size_t at = layout.pixelOffset;
    std::vector<std::uint8_t> indices(picture.width);
    std::size_t x = 0;
    std::size_t stored = 0;
    const auto finishRow = [&] {
        if (!PaintIndexed(indices.data(), picture.width, palette, layout.paletteEntries,
                          picture.row(stored)))
            return false;
        ++stored;
        x = 0;
        return true;
    };
    while (at + 2 <= file.size()) {
        const std::uint8_t count = file[at];
        const std::uint8_t value = file[at + 1];
        at += 2;
        if (count != kEscape) {
            if (stored >= picture.height || picture.width - x < count)
                return false;
            std::memset(indices.data() + x, value, count);
            x += count;
            continue;
        }
        if (value == kEndOfLine || value == kEndOfBitmap) {
            // A row ended early leaves pixels without a colour.
            const bool rowPending = stored < picture.height;
            if (rowPending && x != picture.width)
                return false;
            if (rowPending && !finishRow())
                return false;
            if (value == kEndOfBitmap)
                return stored == picture.height;
            continue;
        }
        if (value == kDelta)
            return false;
        const std::size_t padded = value + (value & 1u);
        if (stored >= picture.height || picture.width - x < value || file.size() - at < padded)
            return false;
        std::memcpy(indices.data() + x, file.data() + at, value);
        x += value;
        at += padded;
    }
    return false;
}

} // namespace

std::optional<DecodedPicture> DecodePlainBmp(std::span<const std::uint8_t> file,
                                             std::int64_t maxPixels) {
    const auto layout = ReadBmpLayout(file);
    // The colour table lies before the pixels, which lie inside the file.
    if (!layout || !layout->plain() || layout->pixelOffset > file.size() ||
        static_cast<std::int64_t>(layout->width) * layout->height > maxPixels)
        return std::nullopt;
    const Palette palette =
        layout->bitsPerPixel <= 8
            ? ReadPalette(file.data() + layout->paletteOffset(), layout->paletteEntries)
            : Palette{};
    const auto width = static_cast<std::size_t>(layout->width);
    const auto height = static_cast<std::size_t>(layout->height);
    const std::size_t bytes = width * height * 3;
    std::unique_ptr<std::uint8_t, GFreeDeleter> pixels(
        static_cast<std::uint8_t*>(g_try_malloc(bytes)));
    if (!pixels)
        return std::nullopt;
    const Picture picture{pixels.get(), width, height, layout->topDown};
    const bool decoded = layout->compression == bmp::kRunLength8
                             ? DecodeRunLength8(file, *layout, palette, picture)
                             : DecodeUncompressed(file, *layout, palette, picture);
    if (!decoded)
        return std::nullopt;
    DecodedPicture result;
    result.width = layout->width;
    result.height = layout->height;
    result.bands = 3;
    result.pixels = std::move(pixels);
    result.bytes = bytes;
    return result;
}

} // namespace kovi
