#pragma once

#include <string>

#include <vips/vips8>

#include "core/files/ByteSink.h"

namespace kovi {

struct BmpWriteSettings {
    int bitsPerPixel = 24;  // 24, or 1, 4 or 8 for a table of 2, 16 or 256 colours
    bool runLength = false; // 8 bits only: run-length encoded
};

// Writes an 8-bit RGB or grey image as a BMP with the Windows information header, rows from
// the bottom up, keeping the image's resolution. A depth of 8 bits or fewer has its colours
// chosen anew for the resampled picture, dithered, as libvips does for a palette PNG.
bool WriteBmp(const vips::VImage& image, const BmpWriteSettings& settings, ByteSink& out,
              std::string& error);

} // namespace kovi
