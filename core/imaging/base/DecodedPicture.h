#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include <glib.h>

namespace kovi {

struct GFreeDeleter {
    void operator()(void* memory) const { g_free(memory); }
};

// A picture decoded whole by the program itself: rows top to bottom, samples in the machine's
// byte order. The memory is g_malloc'ed so that libvips can take it over.
struct DecodedPicture {
    int width = 0;
    int height = 0;
    int bands = 0;       // grey, grey and alpha, RGB or RGBA
    int sampleBytes = 1; // 2 for 16-bit samples
    bool opaque = true;  // the alpha band, if any, is all fully opaque
    std::unique_ptr<std::uint8_t, GFreeDeleter> pixels;
    std::size_t bytes = 0;
};

} // namespace kovi
