#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "core/imaging/base/DecodedPicture.h"
#include "core/imaging/header/BmpLayout.h"

namespace kovi {

// Decodes `file` into 8-bit RGB when its layout is plain (BmpLayout::plain), it has at most
// `maxPixels` pixels, and every pixel is there: all rows of an uncompressed file, and for a
// run-length encoded one every pixel of every row written exactly once, without the jumps
// that leave pixels out. For anything else it returns nothing, and the file is left to
// ImageMagick, which decides how such a file reads or why it does not.
std::optional<DecodedPicture> DecodePlainBmp(std::span<const std::uint8_t> file,
                                             std::int64_t maxPixels);

} // namespace kovi
