#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "core/imaging/base/DecodedPicture.h"

namespace kovi {

// Decodes `file` when it is a plain PNG: one 8 or 16-bit grey, grey-alpha, RGB or RGBA image,
// not interlaced, without palette or transparency key, every chunk whole and its checksum right,
// at most `maxPixels` pixels. For anything else it returns nothing, and the file is left to
// libpng, which decides how such a file reads or why it does not.
std::optional<DecodedPicture> DecodePlainPng(std::span<const std::uint8_t> file,
                                             std::int64_t maxPixels);

} // namespace kovi
