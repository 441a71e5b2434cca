#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include <glib.h>

namespace kovi {

struct GFreeDeleter {
    void operator()(void* memory) const { g_free(memory); }
};

// A PNG decoded whole: rows top to bottom, samples in the machine's byte order.
struct DecodedPng {
    int width = 0;
    int height = 0;
    int bands = 0;       // grey, grey and alpha, RGB or RGBA
    int sampleBytes = 1; // 2 for 16-bit samples
    bool opaque = true;  // the alpha band, if any, is all fully opaque
    std::unique_ptr<std::uint8_t, GFreeDeleter> pixels;
    std::size_t bytes = 0;
};

// Decodes `file` when it is a plain PNG: one 8 or 16-bit grey, grey-alpha, RGB or RGBA image,
// not interlaced, without palette or transparency key, every chunk whole and its checksum right,
// at most `maxPixels` pixels. For anything else it returns nothing, and the file is left to
// libpng, which decides how such a file reads or why it does not.
std::optional<DecodedPng> DecodePlainPng(std::span<const std::uint8_t> file,
                                         std::int64_t maxPixels);

} // namespace kovi
