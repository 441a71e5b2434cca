#include "core/imaging/header/ImageHeader.h"

#include <algorithm>
#include <initializer_list>
#include <system_error>

#include <vips/vips8>

#include "core/imaging/base/VipsRuntime.h"

namespace kovi {
namespace {

int BitsOfBandFormat(VipsBandFormat format) {
    switch (format) {
    case VIPS_FORMAT_UCHAR:
    case VIPS_FORMAT_CHAR:
        return 8;
    case VIPS_FORMAT_USHORT:
    case VIPS_FORMAT_SHORT:
        return 16;
    case VIPS_FORMAT_UINT:
    case VIPS_FORMAT_INT:
    case VIPS_FORMAT_FLOAT:
        return 32;
    case VIPS_FORMAT_DOUBLE:
    case VIPS_FORMAT_COMPLEX:
        return 64;
    case VIPS_FORMAT_DPCOMPLEX:
        return 128;
    default:
        return 8;
    }
}

int IntField(const vips::VImage& image, const char* name, int fallback) {
    if (image.get_typeof(name) == 0)
        return fallback;
    try {
        return image.get_int(name);
    } catch (const vips::VError&) {
        vips_error_clear();
        return fallback;
    }
}

std::string StringField(const vips::VImage& image, const char* name) {
    if (image.get_typeof(name) == 0)
        return {};
    try {
        return image.get_string(name);
    } catch (const vips::VError&) {
        vips_error_clear();
        return {};
    }
}

std::string FindLoader(const std::filesystem::path& path) {
    // Any loader may be the one, those of the modules included.
    LoadImagingModules();
    const char* typeName = vips_foreign_find_load(VipsFileName(path).c_str());
    if (typeName == nullptr) {
        vips_error_clear();
        return {};
    }
    const char* nickname = vips_nickname_find(g_type_from_name(typeName));
    return nickname != nullptr ? nickname : "";
}

// The loader of the formats a folder of photographs mostly holds, told from their first bytes
// in one read. Asking libvips instead has every loader open and sniff the file in turn, which
// is most of the cost of measuring one.
std::string CommonLoader(HeaderReader& reader) {
    const std::vector<std::uint8_t> b = reader.read(0, 12);
    // Bytes at the start of the file; -1 matches any byte.
    const auto starts = [&b](std::initializer_list<int> magic) {
        if (b.size() < magic.size())
            return false;
        return std::equal(
            magic.begin(), magic.end(), b.begin(),
            [](int expected, std::uint8_t byte) { return expected < 0 || expected == byte; });
    };
    if (starts({0xFF, 0xD8, 0xFF}))
        return "jpegload";
    if (starts({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}))
        return "pngload";
    if (starts({'G', 'I', 'F', '8'}))
        return "gifload";
    if (starts({'I', 'I', 42, 0}) || starts({'M', 'M', 0, 42}))
        return "tiffload";
    if (starts({'R', 'I', 'F', 'F', -1, -1, -1, -1, 'W', 'E', 'B', 'P'}))
        return "webpload";
    // Only ImageMagick reads BMP; the text loaders that libvips would try first read a large
    // one byte by byte looking for the end of a line.
    if (starts({'B', 'M'}))
        return "magickload";
    return {};
}

// Fills the header from what libvips reports; the loader reads no pixels for this.
bool ReadThroughVips(ImageHeader& header) {
    vips::VImage image;
    try {
        RequireOperation(header.loader);
        vips::VImage::call(header.loader.c_str(), vips::VImage::option()
                                                      ->set("filename", header.path.c_str())
                                                      ->set("access", VIPS_ACCESS_SEQUENTIAL)
                                                      ->set("out", &image));
    } catch (const vips::VError&) {
        vips_error_clear();
        return false;
    }
    header.width = image.width();
    header.height = vips_image_get_page_height(image.get_image());
    header.pages = std::max(1, IntField(image, "n-pages", 1));
    header.bands = image.bands();
    header.bitsPerPixel = image.bands() * BitsOfBandFormat(image.format());
    header.paletteBits = IntField(image, "palette-bit-depth", 0);
    header.sampleBits = IntField(image, "heif-bitdepth", 0);
    if (header.format == ImageFormat::OtherMagick)
        header.format = FormatOfMagickName(StringField(image, "magick-format"));
    if (header.format == ImageFormat::Heif && StringField(image, "heif-compression") == "av1")
        header.format = ImageFormat::Avif;
    return header.width > 0 && header.height > 0;
}

// Eight-bit Huffman-coded frames of grey, colour or CMYK, whose header is whole: what libjpeg
// reads without fail. Anything else is left for libjpeg itself to judge through libvips.
bool PlainJpeg(const std::optional<JpegFacts>& facts) {
    constexpr int Baseline = 0xC0;
    constexpr int Progressive = 0xC2;
    return facts && facts->headerComplete && facts->precision == 8 && facts->width > 0 &&
           facts->height > 0 && facts->frameMarker >= Baseline &&
           facts->frameMarker <= Progressive && facts->components != 2;
}

constexpr char CutShort[] = "the file is cut short or damaged; what is left of it is not rewritten";

// The finer facts of the formats where libvips' report is not the whole story.
void RefineFromFile(ImageHeader& header, HeaderReader& reader) {
    switch (header.format) {
    case ImageFormat::Jpeg:
        // header.jpeg was read before libvips was asked.
        if (header.jpeg)
            header.bitsPerPixel = 8 * header.jpeg->components;
        break;
    case ImageFormat::Png:
        header.png = PeekPng(reader);
        if (header.png) {
            header.sequence = header.png->animated;
            header.paletteBits = header.png->palette() ? header.png->bitDepth : 0;
            header.bitsPerPixel = header.png->bitDepth * header.png->channels();
        }
        break;
    case ImageFormat::Gif:
        // The depth of the colour table, which is what a GIF stores per pixel.
        if (header.paletteBits == 0)
            header.paletteBits = 8;
        header.bitsPerPixel = header.paletteBits;
        if (!GifComplete(reader))
            header.damage = CutShort;
        break;
    case ImageFormat::Tiff:
        header.tiff = PeekTiff(reader);
        if (header.tiff) {
            const bool palette = header.tiff->photometric == tiff::kPalette;
            header.paletteBits = palette ? header.tiff->bitsPerSample : 0;
            header.bitsPerPixel =
                header.tiff->bitsPerSample * (palette ? 1 : header.tiff->samplesPerPixel);
        }
        if (!TiffDirectoriesComplete(reader, static_cast<std::uint64_t>(header.fileBytes)))
            header.damage = CutShort;
        break;
    case ImageFormat::Ppm:
        header.pnm = PeekPnm(reader);
        if (header.pnm) {
            header.format = header.pnm->format;
            if (header.format == ImageFormat::Pbm)
                header.bitsPerPixel = 1;
        }
        if (!PnmComplete(reader, static_cast<std::uint64_t>(header.fileBytes)))
            header.damage = CutShort;
        break;
    case ImageFormat::WebP:
        header.lossless = PeekWebpLossless(reader).value_or(false);
        break;
    case ImageFormat::Heif:
    case ImageFormat::Avif:
        header.sequence = PeekHeifSequence(reader);
        if (header.sampleBits > 0)
            header.bitsPerPixel = header.sampleBits * header.bands;
        break;
    default:
        break;
    }
}

} // namespace

std::string VipsFileName(const std::filesystem::path& path) {
    return path.string() + "[]";
}

std::optional<ImageHeader> ReadImageHeader(const std::filesystem::path& path) {
    StartVips();
    std::error_code error;
    if (path.empty() || !std::filesystem::is_regular_file(path, error))
        return std::nullopt;
    ImageHeader header;
    header.path = path;
    const auto bytes = std::filesystem::file_size(path, error);
    if (error)
        return std::nullopt;
    header.fileBytes = static_cast<std::int64_t>(bytes);

    HeaderReader reader(path);
    header.loader = CommonLoader(reader);
    if (header.loader.empty())
        header.loader = FindLoader(path);
    header.format = FormatOfLoader(header.loader);
    if (header.format == ImageFormat::None)
        return std::nullopt;

    if (header.format == ImageFormat::OtherMagick) {
        // ImageMagick decodes the whole picture to report its size; these headers say it all.
        if (const auto raster = PeekMagickRaster(reader)) {
            header.format = raster->format;
            header.width = raster->width;
            header.height = raster->height;
            header.pages = raster->images;
            header.bitsPerPixel = raster->bitsPerPixel;
            header.paletteBits = raster->bitsPerPixel <= 8 ? raster->bitsPerPixel : 0;
            if (header.format == ImageFormat::Bmp)
                header.bmp = ReadBmpLayout(reader.read(0, bmp::kLargestHeadBytes));
            return header;
        }
    }
    if (header.format == ImageFormat::Jpeg) {
        // libvips turns every EXIF tag into a text field to report a JPEG's size: most of the
        // cost of listing a folder of photographs. The frame header says all that is needed.
        header.jpeg = PeekJpeg(reader);
        if (PlainJpeg(header.jpeg)) {
            header.width = header.jpeg->width;
            header.height = header.jpeg->height;
            header.bands = header.jpeg->components;
            header.bitsPerPixel = 8 * header.jpeg->components;
            return header;
        }
    }
    if (header.format == ImageFormat::WebP) {
        // libvips sets up a whole blank frame to report a WebP's size: a memset of up to
        // a gigabyte for what the first chunks of a still picture say.
        if (const auto still = PeekWebpStill(reader, bytes)) {
            header.width = still->width;
            header.height = still->height;
            header.bands = still->alpha ? 4 : 3;
            header.bitsPerPixel = 8 * header.bands;
            header.lossless = still->lossless;
            return header;
        }
    }
    if (!ReadThroughVips(header))
        return std::nullopt;
    RefineFromFile(header, reader);
    return header;
}

} // namespace kovi
