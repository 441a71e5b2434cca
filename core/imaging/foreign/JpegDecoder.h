#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "core/imaging/base/DecodedPicture.h"

namespace kovi {

// Decodes `file`, a JPEG of grey or colour samples, whole and at 1/`shrink` of its size, with
// libjpeg set as libvips' loader sets it, so that the pixels are the loader's. For four
// components, for more than `maxPixels` pixels, and for any file that libjpeg only reads with
// a warning (cut short, a damaged block) or not at all, it returns nothing: such a file is left
// to libvips, which decides how it reads or why it does not.
std::optional<DecodedPicture> DecodePlainJpeg(std::span<const std::uint8_t> file, int shrink,
                                              std::int64_t maxPixels);

} // namespace kovi
