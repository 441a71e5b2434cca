#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kovi {

// The EXIF block (as a JPEG APP1 carries it, starting "Exif\0\0") with PixelXDimension and
// PixelYDimension set to the new size. Every other entry, unknown ones and the maker note
// included, is kept. A block that libexif cannot read is returned unchanged.
std::vector<std::uint8_t> ExifWithDimensions(const std::uint8_t* data, std::size_t size, int width,
                                             int height);

} // namespace kovi
