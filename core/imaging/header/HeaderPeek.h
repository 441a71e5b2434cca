#pragma once

#include <array>
#include <optional>

#include "core/imaging/base/ImageFormat.h"
#include "core/imaging/header/HeaderReader.h"

namespace kovi {

// Small checks of file headers, for what libvips does not report (bit depths as stored, the
// exact JPEG sampling, lossless WebP) and for the formats that only ImageMagick reads, whose
// own header load would decode every pixel. Each returns nothing for a header it does not
// recognise or that is plainly damaged.

struct RasterFacts {
    ImageFormat format = ImageFormat::None;
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    int images = 1;
};

// BMP, PCX, DCX, ICO, CUR and TGA, in that order of trust (TGA has no signature).
std::optional<RasterFacts> PeekMagickRaster(HeaderReader& reader);

struct PngFacts {
    int bitDepth = 8;
    int colourType = 2;
    bool interlaced = false;
    bool animated = false; // an APNG, whose frames libvips does not read
    int channels() const;
    bool palette() const { return colourType == 3; }
};
std::optional<PngFacts> PeekPng(HeaderReader& reader);

struct JpegFacts {
    int components = 0;
    std::array<int, 4> horizontalSampling{};
    std::array<int, 4> verticalSampling{};
    bool progressive = false;
    int width = 0;
    int height = 0; // 0 when a later DNL segment gives it
    int precision = 0;
    int frameMarker = 0;
    // Whether the segments run whole from the start of the file to the first scan: all that
    // libjpeg reads for a header.
    bool headerComplete = false;
};
std::optional<JpegFacts> PeekJpeg(HeaderReader& reader);

struct PnmFacts {
    ImageFormat format = ImageFormat::Ppm; // Pbm, Pgm, Ppm or Pfm
    bool ascii = false;
};
std::optional<PnmFacts> PeekPnm(HeaderReader& reader);

// Whether a HEIF or AVIF file is an image sequence (an animation) rather than still images.
bool PeekHeifSequence(HeaderReader& reader);

// Whether a file holds all that its own structure promises. A file cut short would otherwise
// read as fewer frames or pages (GIF, TIFF) or with its missing rows made up (binary PNM),
// and be written back from what is left.
// GIF: its blocks run to the trailer. TIFF: every page's directory, and every value a
// directory keeps elsewhere, lies inside the file. PNM: all binary pixel data is there.
bool GifComplete(HeaderReader& reader);
bool TiffDirectoriesComplete(HeaderReader& reader, std::uint64_t fileBytes);
bool PnmComplete(HeaderReader& reader, std::uint64_t fileBytes);

// Whether the first picture of a WebP file is stored losslessly.
std::optional<bool> PeekWebpLossless(HeaderReader& reader);

struct WebpStillFacts {
    int width = 0;
    int height = 0;
    bool alpha = false;
    bool lossless = false;
};
// The size of a WebP file holding one picture, as libwebp reports it. Nothing for an animation
// or a file whose chunks do not all lie within fileBytes: libwebp does not read those either.
std::optional<WebpStillFacts> PeekWebpStill(HeaderReader& reader, std::uint64_t fileBytes);

// Values of the TIFF tags that decide how a file is written back.
namespace tiff {
inline constexpr int kMinIsWhite = 0;
inline constexpr int kMinIsBlack = 1;
inline constexpr int kPalette = 3;
inline constexpr int kNoCompression = 1;
inline constexpr int kFaxGroup3 = 3;
inline constexpr int kFaxGroup4 = 4;
inline constexpr int kOldJpeg = 6;
inline constexpr int kJpeg = 7;
inline constexpr int kAdobeDeflate = 8;
inline constexpr int kPackBits = 32773;
inline constexpr int kDeflate = 32946;
inline constexpr int kJpeg2000 = 34712;
inline constexpr int kZstd = 50000;
inline constexpr int kWebp = 50001;
inline constexpr int kNoPredictor = 1;
inline constexpr int kHorizontalPredictor = 2;
inline constexpr int kFloatPredictor = 3;
} // namespace tiff

struct TiffFacts {
    int bitsPerSample = 8;
    int samplesPerPixel = 1;
    int photometric = tiff::kMinIsBlack;
    int compression = tiff::kNoCompression;
    int predictor = tiff::kNoPredictor;
};
// The first directory of a TIFF or BigTIFF file.
std::optional<TiffFacts> PeekTiff(HeaderReader& reader);

} // namespace kovi
