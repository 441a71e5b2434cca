#pragma once

#include <string_view>

namespace kovi {

// Every format the imaging layer tells apart. The type codes the program shows are fixed per
// format in ImageFormat.cpp; that table is the only place they are written down.
enum class ImageFormat {
    None,
    Tga,
    Pcx,
    Gif,
    Tiff,
    Bmp,
    Wpg,
    Wmf,
    Jpeg,
    Pict,
    Png,
    Rle,
    Ico,
    Ppm,
    Pgm,
    Pbm,
    Dcx,
    Cals,
    Pdf,
    Eps,
    Jpeg2000,
    WebP,
    Heif,
    Avif,
    JpegXl,
    Svg,
    Cursor,
    Pfm,
    OpenExr,
    Radiance,
    Fits,
    Analyze,
    Matlab,
    VipsNative,
    Slide,
    Psd,
    OtherMagick,
};

// How a file of several images is held: frames of one animation, pages of one document,
// resolution levels of one picture, or unrelated images (icon sizes, PDF pages).
enum class PageKind { Single, Frames, Pages, ResolutionLevels, Images };

struct FormatTraits {
    ImageFormat format = ImageFormat::None;
    int typeCode = 0;
    std::string_view name;
    // Whether this build writes the format back; files it cannot write are never touched.
    bool writable = false;
    PageKind pages = PageKind::Single;
};

const FormatTraits& TraitsOf(ImageFormat format);

// The format of a file by the libvips loader that recognised it ("jpegload", "pngload", ...).
// Loaders that read several formats (ppmload, heifload, magickload) need the finer look that
// ImageHeader.cpp takes; here they give their most common member.
ImageFormat FormatOfLoader(std::string_view loaderNickname);

// The format of a file that ImageMagick read, by the name it reports ("BMP", "PCX", ...).
ImageFormat FormatOfMagickName(std::string_view magickFormat);

} // namespace kovi
