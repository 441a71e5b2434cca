#include "core/imaging/base/ImageFormat.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>

namespace kovi {
namespace {

// Codes 1 to 38 are the listing's own table. Readable formats it has no entry for get fixed
// codes from 39 on, so that they are still listed and the codes never change between runs.
constexpr std::array kFormats{
    FormatTraits{ImageFormat::None, 0, "", false, PageKind::Single},
    FormatTraits{ImageFormat::Tga, 1, "TGA", true, PageKind::Single},
    FormatTraits{ImageFormat::Pcx, 2, "PCX", true, PageKind::Single},
    FormatTraits{ImageFormat::Gif, 3, "GIF", true, PageKind::Frames},
    FormatTraits{ImageFormat::Tiff, 4, "TIF", true, PageKind::Pages},
    FormatTraits{ImageFormat::Bmp, 5, "BMP", true, PageKind::Single},
    FormatTraits{ImageFormat::Wpg, 6, "WPG", false, PageKind::Images},
    FormatTraits{ImageFormat::Wmf, 7, "WMF", false, PageKind::Single},
    FormatTraits{ImageFormat::Jpeg, 8, "JPG", true, PageKind::Single},
    FormatTraits{ImageFormat::Pict, 9, "PIC", false, PageKind::Single},
    FormatTraits{ImageFormat::Png, 10, "PNG", true, PageKind::Single},
    FormatTraits{ImageFormat::Rle, 12, "RLE", false, PageKind::Single},
    FormatTraits{ImageFormat::Ico, 20, "ICO", true, PageKind::Images},
    FormatTraits{ImageFormat::Ppm, 21, "PPM", true, PageKind::Single},
    FormatTraits{ImageFormat::Pgm, 22, "PGM", true, PageKind::Single},
    FormatTraits{ImageFormat::Pbm, 23, "PBM", true, PageKind::Single},
    FormatTraits{ImageFormat::Dcx, 24, "DCX", false, PageKind::Images},
    FormatTraits{ImageFormat::Cals, 33, "CALS", false, PageKind::Single},
    FormatTraits{ImageFormat::Pdf, 34, "PDF", false, PageKind::Images},
    FormatTraits{ImageFormat::Eps, 35, "EPS", false, PageKind::Single},
    FormatTraits{ImageFormat::Jpeg2000, 36, "JP2", true, PageKind::ResolutionLevels},
    FormatTraits{ImageFormat::WebP, 39, "WEBP", true, PageKind::Frames},
    FormatTraits{ImageFormat::Heif, 40, "HEIF", true, PageKind::Images},
    FormatTraits{ImageFormat::Avif, 41, "AVIF", true, PageKind::Images},
    FormatTraits{ImageFormat::JpegXl, 42, "JXL", true, PageKind::Images},
    FormatTraits{ImageFormat::Svg, 43, "SVG", false, PageKind::Single},
    FormatTraits{ImageFormat::Cursor, 44, "CUR", false, PageKind::Images},
    FormatTraits{ImageFormat::Pfm, 45, "PFM", false, PageKind::Single},
    FormatTraits{ImageFormat::OpenExr, 46, "EXR", false, PageKind::Single},
    FormatTraits{ImageFormat::Radiance, 47, "HDR", false, PageKind::Single},
    FormatTraits{ImageFormat::Fits, 48, "FITS", false, PageKind::Single},
    FormatTraits{ImageFormat::Analyze, 49, "ANALYZE", false, PageKind::Single},
    FormatTraits{ImageFormat::Matlab, 50, "MAT", false, PageKind::Single},
    FormatTraits{ImageFormat::VipsNative, 51, "VIPS", false, PageKind::Single},
    FormatTraits{ImageFormat::Slide, 52, "SLIDE", false, PageKind::Images},
    FormatTraits{ImageFormat::Psd, 53, "PSD", false, PageKind::Images},
    FormatTraits{ImageFormat::OtherMagick, 60, "OTHER", false, PageKind::Images},
};

struct NamedFormat {
    std::string_view name;
    ImageFormat format;
};

constexpr std::array kLoaders{
    NamedFormat{"jpegload", ImageFormat::Jpeg},
    NamedFormat{"pngload", ImageFormat::Png},
    NamedFormat{"gifload", ImageFormat::Gif},
    NamedFormat{"tiffload", ImageFormat::Tiff},
    NamedFormat{"webpload", ImageFormat::WebP},
    NamedFormat{"heifload", ImageFormat::Heif},
    NamedFormat{"jp2kload", ImageFormat::Jpeg2000},
    NamedFormat{"jxlload", ImageFormat::JpegXl},
    NamedFormat{"ppmload", ImageFormat::Ppm},
    NamedFormat{"svgload", ImageFormat::Svg},
    NamedFormat{"pdfload", ImageFormat::Pdf},
    NamedFormat{"openexrload", ImageFormat::OpenExr},
    NamedFormat{"radload", ImageFormat::Radiance},
    NamedFormat{"fitsload", ImageFormat::Fits},
    NamedFormat{"analyzeload", ImageFormat::Analyze},
    NamedFormat{"matload", ImageFormat::Matlab},
    NamedFormat{"vipsload", ImageFormat::VipsNative},
    NamedFormat{"openslideload", ImageFormat::Slide},
    NamedFormat{"magickload", ImageFormat::OtherMagick},
};

constexpr std::array kMagickNames{
    NamedFormat{"TGA", ImageFormat::Tga},    NamedFormat{"ICB", ImageFormat::Tga},
    NamedFormat{"VDA", ImageFormat::Tga},    NamedFormat{"VST", ImageFormat::Tga},
    NamedFormat{"PCX", ImageFormat::Pcx},    NamedFormat{"GIF", ImageFormat::Gif},
    NamedFormat{"TIFF", ImageFormat::Tiff},  NamedFormat{"BMP", ImageFormat::Bmp},
    NamedFormat{"BMP2", ImageFormat::Bmp},   NamedFormat{"BMP3", ImageFormat::Bmp},
    NamedFormat{"WPG", ImageFormat::Wpg},    NamedFormat{"WMF", ImageFormat::Wmf},
    NamedFormat{"EMF", ImageFormat::Wmf},    NamedFormat{"JPEG", ImageFormat::Jpeg},
    NamedFormat{"PICT", ImageFormat::Pict},  NamedFormat{"PNG", ImageFormat::Png},
    NamedFormat{"RLE", ImageFormat::Rle},    NamedFormat{"ICO", ImageFormat::Ico},
    NamedFormat{"CUR", ImageFormat::Cursor}, NamedFormat{"PPM", ImageFormat::Ppm},
    NamedFormat{"PGM", ImageFormat::Pgm},    NamedFormat{"PBM", ImageFormat::Pbm},
    NamedFormat{"DCX", ImageFormat::Dcx},    NamedFormat{"CALS", ImageFormat::Cals},
    NamedFormat{"PDF", ImageFormat::Pdf},    NamedFormat{"EPS", ImageFormat::Eps},
    NamedFormat{"PS", ImageFormat::Eps},     NamedFormat{"JP2", ImageFormat::Jpeg2000},
    NamedFormat{"WEBP", ImageFormat::WebP},  NamedFormat{"PSD", ImageFormat::Psd},
};

} // namespace

const FormatTraits& TraitsOf(ImageFormat format) {
    const auto found = std::find_if(kFormats.begin(), kFormats.end(),
                                    [format](const FormatTraits& t) { return t.format == format; });
    return found != kFormats.end() ? *found : kFormats.front();
}

ImageFormat FormatOfLoader(std::string_view loaderNickname) {
    for (const auto& entry : kLoaders)
        if (entry.name == loaderNickname)
            return entry.format;
    return ImageFormat::None;
}

ImageFormat FormatOfMagickName(std::string_view magickFormat) {
    std::string upper(magickFormat);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    for (const auto& entry : kMagickNames)
        if (entry.name == upper)
            return entry.format;
    return ImageFormat::OtherMagick;
}

} // namespace kovi
