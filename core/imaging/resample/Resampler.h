#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <vips/vips8>

#include "core/imaging/header/ImageHeader.h"

namespace kovi {

// Images are refused for decoding above these sizes: a few bytes of header can declare
// billions of pixels, and decoding them would take minutes or all the memory there is.
// One page may hold as many pixels as a 16383 x 16383 picture, a whole file four times that.
inline constexpr std::int64_t kMaxPagePixels = std::int64_t{16383} * 16383;
inline constexpr std::int64_t kMaxFilePixels = 4 * kMaxPagePixels;
// Most decoders here stream rows; those that hold a whole frame at once (GIF, WebP, HEIF,
// AVIF, JPEG XL, JPEG 2000 and whatever ImageMagick reads) take several bytes per pixel of it,
// so a GIF of a few dozen bytes could otherwise take more than a gigabyte.
inline constexpr std::int64_t kMaxWholeFramePixels = std::int64_t{8192} * 8192;
// Each page kept is resampled on its own, and time and memory grow faster than the number of
// pages: a GIF of a hundred kilobytes can hold thousands of frames. 300 pages as wide as the
// file limit allows stay well below a gigabyte.
inline constexpr int kMaxKeptPages = 300;

// Why the image cannot be decoded safely, for its size or its number of pages (or resampled to
// width x height), if it cannot.
std::optional<std::string> PixelLimitBreach(const ImageHeader& header, int width, int height);

// The largest JPEG decoding reduction (8, 4, 2 or 1) whose result still covers width x height.
int JpegShrinkOnLoad(int sourceWidth, int sourceHeight, int width, int height);

// The whole factor by which a WebP file is scaled down as it is decoded so that the result
// still covers width x height.
int WebpShrinkOnLoad(const ImageHeader& header, int width, int height);

// Whether the format's decoder holds a whole frame in memory rather than streaming its rows.
bool DecodesWholeFrames(const ImageHeader& header);

// Whether the file is a PNG decoded whole into memory rather than row by row through libpng:
// not interlaced, 8 bits with alpha or 16 bits, and no larger than whole-frame decoders may
// take. With alpha libvips weighs every sample by it in floating point, but most such PNGs are
// opaque throughout, which only the whole picture tells; libdeflate inflates 16-bit samples
// in a fraction of zlib's time. One whose alpha is not opaque is then read again row by row.
bool DecodesPngWhole(const ImageHeader& header);

// Whether the file is a BMP the program decodes itself (BmpLayout::plain) rather than through
// ImageMagick, which holds its own copy of the picture at 16 bits a sample.
bool DecodesBmpWhole(const ImageHeader& header);

// Whether ResizeImage keeps every page or frame of the file (animations, multi-page TIFF).
bool KeepsAllPages(const ImageHeader& header);

// The image decoded at the largest reduction the format offers that still covers
// width x height, then resampled with a Lanczos3 kernel to exactly width x height; each page
// or frame on its own when the file keeps several. Nothing is computed until the result is
// written. Throws vips::VError.
vips::VImage BuildResizedImage(const ImageHeader& header, int width, int height);

// The first page reduced to fit inside maxSide x maxSide, as 8-bit RGB. Throws vips::VError.
vips::VImage BuildPreviewImage(const ImageHeader& header, int maxSide);

} // namespace kovi
