#pragma once

#include <optional>
#include <string>

#include <vips/vips8>

#include "core/files/ByteSink.h"
#include "core/imaging/base/JpegFactors.h"
#include "core/imaging/header/ImageHeader.h"

namespace kovi {

// Why the image of this file cannot be written back in its own format; nothing if it can.
std::optional<std::string> SaveRefusal(const ImageHeader& header);

// Writes `image` in the format of the file it came from, keeping how that file stored it:
// bit depth, palette, grey, alpha, every page or frame, interlacing, lossless WebP, TIFF
// compression, JPEG sampling, and the metadata libvips carries along.
bool WriteImage(const vips::VImage& image, const ImageHeader& header, JpegFactors factors,
                ByteSink& out, std::string& error);

} // namespace kovi
