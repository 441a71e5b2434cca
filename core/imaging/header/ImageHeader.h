#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "core/imaging/base/ImageFormat.h"
#include "core/imaging/header/BmpLayout.h"
#include "core/imaging/header/HeaderPeek.h"

namespace kovi {

// What one look at a file's header tells: the measures the program shows, and the facts
// needed later to decode it cheaply and to write it back the way it was stored.
struct ImageHeader {
    std::filesystem::path path;
    std::string loader; // the libvips loader's nickname, "magickload" for ImageMagick
    ImageFormat format = ImageFormat::None;
    int width = 0;  // of one page or frame
    int height = 0; // of one page or frame
    int pages = 1;  // frames, pages, images or resolution levels, see TraitsOf(format).pages
    int bands = 0;  // 0 when only a header check of ours was read
    // As the file stores a pixel: JPEG 8 per component (grey 8, RGB 24, CMYK 32); PNG its bit
    // depth times its channels, a palette PNG the depth of an index; GIF the depth of its
    // colour table; TIFF bits per sample times samples, a palette TIFF the depth of an index;
    // BMP, PCX, TGA and ICO the bit count of their header; PBM 1, PGM 8 or 16, PPM 24 or 48;
    // HEIF and AVIF the coded bits times the channels; anything else the bits of each decoded
    // sample times the channels.
    int bitsPerPixel = 0;
    std::int64_t fileBytes = 0;

    std::optional<JpegFacts> jpeg;
    std::optional<PngFacts> png;
    std::optional<PnmFacts> pnm;
    std::optional<TiffFacts> tiff;
    std::optional<BmpLayout> bmp;
    bool lossless = false; // WebP
    bool sequence = false; // an animation whose loader reads only the first frame
    int paletteBits = 0;   // palette formats: bits of one index, 0 when not a palette
    int sampleBits = 0;    // HEIF and AVIF: bits of one sample as coded
    std::string damage;    // why the file is not whole, though its header reads; empty if it is
};

// Reads the header of the file at `path` without decoding its pixels (apart from the rare
// formats that only ImageMagick understands and that no check here recognises). Nothing for
// a path that is no readable image: a folder, a missing file, text, damaged data.
std::optional<ImageHeader> ReadImageHeader(const std::filesystem::path& path);

// The path with an empty option list, so that libvips does not take a name ending in
// "[...]" for a file name followed by load options.
std::string VipsFileName(const std::filesystem::path& path);

} // namespace kovi
