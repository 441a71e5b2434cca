#include "core/imaging/foreign/ImageWriter.h"

#include <memory>

#include "core/imaging/base/VipsRuntime.h"
#include "core/imaging/foreign/BmpWriter.h"
#include "core/imaging/foreign/JpegWriter.h"
#include "core/imaging/foreign/PnmWriter.h"

namespace kovi {
namespace {

using vips::VImage;
using vips::VTarget;

constexpr int kWebpQuality = 80;
constexpr int kLargestPaletteBits = 8;

VipsForeignTiffCompression TiffCompression(const TiffFacts& facts) {
    switch (facts.compression) {
    case tiff::kNoCompression:
        return VIPS_FOREIGN_TIFF_COMPRESSION_NONE;
    case tiff::kFaxGroup3:
    case tiff::kFaxGroup4:
        return facts.bitsPerSample == 1 ? VIPS_FOREIGN_TIFF_COMPRESSION_CCITTFAX4
                                        : VIPS_FOREIGN_TIFF_COMPRESSION_LZW;
    case tiff::kOldJpeg:
    case tiff::kJpeg:
        return VIPS_FOREIGN_TIFF_COMPRESSION_JPEG;
    case tiff::kAdobeDeflate:
    case tiff::kDeflate:
        return VIPS_FOREIGN_TIFF_COMPRESSION_DEFLATE;
    case tiff::kPackBits:
        return VIPS_FOREIGN_TIFF_COMPRESSION_PACKBITS;
    case tiff::kJpeg2000:
        return VIPS_FOREIGN_TIFF_COMPRESSION_JP2K;
    case tiff::kZstd:
        return VIPS_FOREIGN_TIFF_COMPRESSION_ZSTD;
    case tiff::kWebp:
        return VIPS_FOREIGN_TIFF_COMPRESSION_WEBP;
    default:
        return VIPS_FOREIGN_TIFF_COMPRESSION_LZW; // lossless and read everywhere
    }
}

VipsForeignTiffPredictor TiffPredictor(const TiffFacts& facts) {
    switch (facts.predictor) {
    case tiff::kHorizontalPredictor:
        return VIPS_FOREIGN_TIFF_PREDICTOR_HORIZONTAL;
    case tiff::kFloatPredictor:
        return VIPS_FOREIGN_TIFF_PREDICTOR_FLOAT;
    default:
        return VIPS_FOREIGN_TIFF_PREDICTOR_NONE;
    }
}

void SaveTiff(const VImage& image, const ImageHeader& header, VTarget& target) {
    auto* options = VImage::option();
    if (header.tiff) {
        const TiffFacts& facts = *header.tiff;
        options->set("compression", TiffCompression(facts))->set("predictor", TiffPredictor(facts));
        const bool whiteIsZero = facts.photometric == tiff::kMinIsWhite;
        const bool greyBelowByte = facts.samplesPerPixel == 1 && facts.bitsPerSample < 8 &&
                                   (whiteIsZero || facts.photometric == tiff::kMinIsBlack);
        if (greyBelowByte && image.bands() == 1)
            options->set("bitdepth", facts.bitsPerSample)->set("miniswhite", whiteIsZero);
    }
    image.tiffsave_target(target, options);
}

// libvips packs the low bits of each grey sample into a 1, 2 or 4-bit PNG, so the samples
// are brought down to that range first: 1-bit then means black below half grey, white above.
void SaveLowDepthGreyPng(const VImage& image, int bits, vips::VOption* options, VTarget& target) {
    const VImage reduced = (image.cast(VIPS_FORMAT_UCHAR) >> (8 - bits)).cast(VIPS_FORMAT_UCHAR);
    reduced.pngsave_target(target, options->set("bitdepth", bits));
}

void SavePng(const VImage& image, const ImageHeader& header, VTarget& target) {
    auto* options = VImage::option();
    if (header.png) {
        options->set("interlace", header.png->interlaced);
        if (header.png->palette())
            options->set("palette", true)->set("bitdepth", header.png->bitDepth);
        else if (header.png->bitDepth < 8 && image.bands() == 1)
            return SaveLowDepthGreyPng(image, header.png->bitDepth, options, target);
    }
    image.pngsave_target(target, options);
}

void SaveHeif(const VImage& image, const ImageHeader& header, VTarget& target) {
    const bool av1 = header.format == ImageFormat::Avif;
    auto* options = VImage::option()->set("compression", av1 ? VIPS_FOREIGN_HEIF_COMPRESSION_AV1
                                                             : VIPS_FOREIGN_HEIF_COMPRESSION_HEVC);
    options->set("bitdepth", header.sampleBits > 0 ? header.sampleBits : 8);
    image.heifsave_target(target, options);
}

// Writes an image encoded in memory to the file, and lets the blob go. The sink says why a
// write failed, where libvips would not.
bool WriteBlob(VipsBlob* blob, ByteSink& out, std::string& error) {
    const auto release = [](VipsBlob* held) {
        vips_area_unref(VIPS_AREA(held));
    };
    const std::unique_ptr<VipsBlob, decltype(release)> held(blob, release);
    std::size_t length = 0;
    const void* data = blob != nullptr ? vips_blob_get(blob, &length) : nullptr;
    if (data == nullptr) {
        error = "the image could not be written";
        return false;
    }
    if (!out.write(data, length)) {
        error = out.error();
        return false;
    }
    return true;
}

// ImageMagick writes these from memory; a palette file is quantised to its own depth again.
bool SaveThroughMagick(const VImage& image, const ImageHeader& header, ByteSink& out,
                       std::string& error) {
    auto* options =
        VImage::option()->set("format", std::string(TraitsOf(header.format).name).c_str());
    if (header.paletteBits > 0 && header.paletteBits <= kLargestPaletteBits)
        options->set("bitdepth", header.paletteBits);
    return WriteBlob(image.magicksave_buffer(options), out, error);
}

int PnmMaxValue(const VImage& image) {
    return image.get_typeof("ppm-max-value") != 0 ? image.get_int("ppm-max-value") : 0;
}

// Encodes into memory; the caller writes the bytes to the file. libvips reports a failed write
// to a file as "Unknown error -1" (a full disk, most often).
bool EncodeThroughVips(const VImage& image, const ImageHeader& header, VTarget& target) {
    switch (header.format) {
    case ImageFormat::Png:
        SavePng(image, header, target);
        return true;
    case ImageFormat::Gif:
        image.gifsave_target(
            target,
            VImage::option()->set("bitdepth", header.paletteBits > 0 ? header.paletteBits : 8));
        return true;
    case ImageFormat::Tiff:
        SaveTiff(image, header, target);
        return true;
    case ImageFormat::WebP:
        image.webpsave_target(target, header.lossless ? VImage::option()->set("lossless", true)
                                                      : VImage::option()->set("Q", kWebpQuality));
        return true;
    case ImageFormat::Heif:
    case ImageFormat::Avif:
        SaveHeif(image, header, target);
        return true;
    case ImageFormat::JpegXl:
        image.jxlsave_target(target);
        return true;
    case ImageFormat::Jpeg2000:
        image.jp2ksave_target(target);
        return true;
    default:
        return false;
    }
}

// A picture this small is decoded, shrunk and encoded in one piece: a megapixel of RGB and what
// the steps between hold is a few megabytes, and thumbnails are where handing strips between
// threads cost the most.
constexpr std::int64_t OnePiecePixels = 1024 * 1024;

bool SmallThroughout(const ImageHeader& header) {
    return header.pages == 1 &&
           std::int64_t{header.width} * std::int64_t{header.height} <= OnePiecePixels;
}

bool WriteThroughVips(const VImage& image, const ImageHeader& header, ByteSink& out,
                      std::string& error) {
    VTarget target = VTarget::new_to_memory();
    if (!EncodeThroughVips(image, header, target)) {
        error = std::string(TraitsOf(header.format).name) + " files cannot be written";
        return false;
    }
    VipsBlob* blob = nullptr;
    g_object_get(target.get_target(), "blob", &blob, nullptr);
    return WriteBlob(blob, out, error);
}

} // namespace

std::optional<std::string> SaveRefusal(const ImageHeader& header) {
    const FormatTraits& traits = TraitsOf(header.format);
    if (header.format == ImageFormat::None)
        return "no image is loaded";
    if (!traits.writable)
        return std::string(traits.name) + " files cannot be written";
    if (!header.damage.empty())
        return header.damage;
    if (header.sequence)
        return "the file is an animation and only its first frame would be written back";
    if (header.pages > 1 && traits.pages == PageKind::Images)
        return "the file holds " + std::to_string(header.pages) +
               " images and only one would be written back";
    return std::nullopt;
}

bool WriteImage(const VImage& image, const ImageHeader& header, JpegFactors factors, ByteSink& out,
                std::string& error) {
    try {
        switch (header.format) {
        case ImageFormat::Jpeg:
            return WriteJpeg(
                image,
                {factors.luminance, factors.chrominance, header.jpeg,
                 SmallThroughout(header) ? Computing::InOnePiece : Computing::InStrips},
                out, error);
        case ImageFormat::Pbm:
        case ImageFormat::Pgm:
        case ImageFormat::Ppm:
            return WritePnm(image,
                            {header.format, header.pnm && header.pnm->ascii, PnmMaxValue(image)},
                            out, error);
        case ImageFormat::Bmp:
            if (header.bmp && header.bmp->plain() && !image.has_alpha())
                return WriteBmp(
                    image, {header.bmp->bitsPerPixel, header.bmp->compression == bmp::kRunLength8},
                    out, error);
            return SaveThroughMagick(image, header, out, error);
        case ImageFormat::Tga:
        case ImageFormat::Pcx:
        case ImageFormat::Ico:
            return SaveThroughMagick(image, header, out, error);
        default:
            return WriteThroughVips(image, header, out, error);
        }
    } catch (const vips::VError&) {
        error = out.error().empty() ? TakeVipsError("the image could not be written") : out.error();
        vips_error_clear();
        return false;
    }
}

} // namespace kovi
