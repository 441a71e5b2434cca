#include "core/imaging/resample/Resampler.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <vector>

#include "core/imaging/base/VipsRuntime.h"
#include "core/imaging/foreign/BmpDecoder.h"
#include "core/imaging/foreign/JpegDecoder.h"
#include "core/imaging/foreign/PngDecoder.h"
#include "core/imaging/resample/LanczosReduce.h"

namespace kovi {
namespace {

using vips::VImage;

constexpr int kJpegLargestShrink = 8;
// Up to this size a picture is reduced by the program's own copy of libvips' arithmetic; above
// it libvips' vector code, built once for the picture, is quicker.
constexpr std::int64_t kOwnReducePixels = 1024 * 1024;
// Up to this size a JPEG is decoded whole by the program: libvips' loader builds a pipeline of a
// dozen objects and a line cache for it, which cost a thumbnail more than its decoding.
constexpr std::int64_t kWholeJpegPixels = 1024 * 1024;
// The file is read whole for it; such a picture's file is a few megabytes at most, and a larger
// one (metadata or anything after the picture) is left to the loader, which streams it.
constexpr std::int64_t kWholeJpegFileBytes = 16 * 1024 * 1024;

int CeilDiv(int value, int divisor) {
    return (value + divisor - 1) / divisor;
}

// A JPEG 2000 file holds halved resolution levels; decode the smallest that covers.
int Jpeg2000Level(const ImageHeader& header, int width, int height) {
    int level = 0;
    while (level + 1 < header.pages && level < 30 &&
           CeilDiv(header.width, 1 << (level + 1)) >= width &&
           CeilDiv(header.height, 1 << (level + 1)) >= height)
        ++level;
    return level;
}

VImage Load(const ImageHeader& header, vips::VOption* options) {
    RequireOperation(header.loader);
    VImage image;
    vips::VImage::call(header.loader.c_str(), options->set("filename", header.path.c_str())
                                                  ->set("access", VIPS_ACCESS_SEQUENTIAL)
                                                  ->set("out", &image));
    return image;
}

// Opens the file for decoding with the reduction that suits width x height.
VImage OpenReduced(const ImageHeader& header, int width, int height, bool allPages, bool reduce) {
    auto* options = VImage::option();
    // A damaged file must not be rewritten with its missing part painted grey.
    options->set("fail_on", VIPS_FAIL_ON_TRUNCATED);
    if (allPages)
        options->set("n", -1);
    if (reduce) {
        switch (header.format) {
        case ImageFormat::Jpeg:
            if (const int shrink = JpegShrinkOnLoad(header.width, header.height, width, height);
                shrink > 1)
                options->set("shrink", shrink);
            break;
        case ImageFormat::WebP:
            if (const int shrink = WebpShrinkOnLoad(header, width, height); shrink > 1)
                options->set("scale", 1.0 / shrink);
            break;
        case ImageFormat::Jpeg2000:
            if (const int level = Jpeg2000Level(header, width, height); level > 0)
                options->set("page", level);
            break;
        default:
            break;
        }
    }
    return Load(header, options);
}

int PageHeight(const VImage& image) {
    return vips_image_get_page_height(image.get_image());
}

// A picture opened for resampling. Its alpha, when it has one, may be known to be opaque
// throughout, and then the colour needs no weighting by it. A picture decoded into memory is
// read at will, so its weighted colour can be box-shrunk first, straight from there.
struct Opened {
    VImage image;
    bool opaque = false;
    bool inMemory = false;
};

// The whole factor by which libvips' resize box-shrinks a side before its Lanczos kernel takes
// the rest: as far as still leaves twice the target.
int BoxShrink(int source, int target) {
    return std::max(1, source / (2 * std::max(target, 1)));
}

// Whether the colour weighted by alpha, box-shrunk in floating point, takes no more than a
// quarter of the decoded picture.
bool ShrinksToAQuarter(const DecodedPicture& decoded, int width, int height) {
    return BoxShrink(decoded.width, width) * BoxShrink(decoded.height, height) *
               decoded.sampleBytes >=
           16;
}

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return std::nullopt;
    const std::streamoff size = in.tellg();
    if (size <= 0)
        return std::nullopt;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), size))
        return std::nullopt;
    return bytes;
}

void FreePixels(VipsImage*, gpointer pixels) {
    g_free(pixels);
}

void* CopyMissingField(VipsImage*, const char* name, GValue* value, void* target) {
    auto* image = static_cast<VipsImage*>(target);
    if (vips_image_get_typeof(image, name) == 0)
        vips_image_set(image, name, value);
    return nullptr;
}

// Decoded pixels as an image that libvips reads from memory and frees when done with it.
VImage WrapPixels(DecodedPicture decoded, VipsInterpretation interpretation, double xres,
                  double yres) {
    std::uint8_t* pixels = decoded.pixels.release();
    VipsImage* memory = vips_image_new_from_memory(
        pixels, decoded.bytes, decoded.width, decoded.height, decoded.bands,
        decoded.sampleBytes == 2 ? VIPS_FORMAT_USHORT : VIPS_FORMAT_UCHAR);
    if (memory == nullptr) {
        g_free(pixels);
        throw vips::VError();
    }
    g_signal_connect(memory, "postclose", G_CALLBACK(FreePixels), pixels);
    VImage image = VImage(memory).copy(VImage::option()
                                           ->set("interpretation", interpretation)
                                           ->set("xres", xres)
                                           ->set("yres", yres));
    // Read top to bottom once, as from a loader: the resampler then keeps a few rows of its
    // input rather than tiles, which costs half the time.
    image.set(VIPS_META_SEQUENTIAL, 1);
    return image;
}

// Decoded pixels that take everything else from `described`, what libvips' own loader tells of
// the same file: its colour interpretation, resolution, profile, texts and EXIF.
VImage DescribedPixels(DecodedPicture decoded, const VImage& described) {
    VImage image = WrapPixels(std::move(decoded), described.interpretation(), described.xres(),
                              described.yres());
    vips_image_map(described.get_image(), CopyMissingField, image.get_image());
    return image;
}

std::optional<Opened> OpenWholePng(const ImageHeader& header, int width, int height) {
    if (!DecodesPngWhole(header))
        return std::nullopt;
    const auto file = ReadWholeFile(header.path);
    if (!file)
        return std::nullopt;
    auto decoded = DecodePlainPng(*file, kMaxWholeFramePixels);
    // Colour weighted by alpha is shrunk in floating point beside the picture; when that would
    // take more than a little, the file is read again row by row.
    if (!decoded || (!decoded->opaque && !ShrinksToAQuarter(*decoded, width, height)))
        return std::nullopt;
    const VImage described = OpenReduced(header, header.width, header.height, false, false);
    if (described.width() != decoded->width || described.height() != decoded->height ||
        described.bands() != decoded->bands)
        return std::nullopt;
    const bool opaque = decoded->opaque;
    return Opened{DescribedPixels(std::move(*decoded), described), opaque, true};
}

std::optional<Opened> OpenWholeBmp(const ImageHeader& header) {
    if (!DecodesBmpWhole(header))
        return std::nullopt;
    const auto file = ReadWholeFile(header.path);
    if (!file)
        return std::nullopt;
    auto decoded = DecodePlainBmp(*file, kMaxWholeFramePixels);
    if (!decoded || decoded->width != header.width || decoded->height != header.height)
        return std::nullopt;
    const BmpLayout& layout = *header.bmp;
    return Opened{WrapPixels(std::move(*decoded), VIPS_INTERPRETATION_sRGB,
                             std::max(0, layout.xPixelsPerMetre) / bmp::kMillimetresPerMetre,
                             std::max(0, layout.yPixelsPerMetre) / bmp::kMillimetresPerMetre),
                  true, true};
}

// A small JPEG that libvips' loader opened, decoding nothing yet, as `opened` at 1/`shrink`,
// decoded whole instead.
std::optional<VImage> DecodeWholeJpeg(const ImageHeader& header, const VImage& opened, int shrink) {
    if (header.format != ImageFormat::Jpeg || !header.jpeg ||
        std::int64_t{header.width} * header.height > kWholeJpegPixels ||
        header.fileBytes > kWholeJpegFileBytes)
        return std::nullopt;
    const auto file = ReadWholeFile(header.path);
    if (!file)
        return std::nullopt;
    auto decoded = DecodePlainJpeg(*file, shrink, kWholeJpegPixels);
    if (!decoded || decoded->width != opened.width() || decoded->height != opened.height() ||
        decoded->bands != opened.bands())
        return std::nullopt;
    return DescribedPixels(std::move(*decoded), opened);
}

Opened OpenCovering(const ImageHeader& header, int width, int height, bool allPages) {
    if (!allPages) {
        if (auto whole = OpenWholePng(header, width, height))
            return std::move(*whole);
        if (auto whole = OpenWholeBmp(header))
            return std::move(*whole);
    }
    VImage image = OpenReduced(header, width, height, allPages, true);
    bool reduced = true;
    // Decoders round their reduced sizes their own way; never resample up from below.
    if (image.width() < std::min(width, header.width) ||
        PageHeight(image) < std::min(height, header.height)) {
        image = OpenReduced(header, width, height, allPages, false);
        reduced = false;
    }
    if (!allPages) {
        const int shrink =
            reduced ? JpegShrinkOnLoad(header.width, header.height, width, height) : 1;
        if (auto whole = DecodeWholeJpeg(header, image, shrink))
            return {*whole, true, true};
    }
    return {image};
}

VImage ResamplePage(VImage page, int width, int height, bool opaque = false,
                    bool inMemory = false) {
    if (page.width() == width && page.height() == height)
        return page;
    const bool alpha = page.has_alpha() && !opaque;
    if (!alpha && std::int64_t{page.width()} * page.height() <= kOwnReducePixels)
        if (auto reduced = ReduceAsResizeWould(page, width, height))
            return *reduced;
    const VipsBandFormat format = page.format();
    // Resample colour weighted by coverage, or transparent pixels bleed their colour.
    if (alpha)
        page = page.premultiply();
    // libvips' resize would box-shrink it the same way, but row by row, with caches of
    // full-width rows in floating point that hold more than the whole picture in memory does.
    if (alpha && inMemory)
        page = page.shrink(BoxShrink(page.width(), width), BoxShrink(page.height(), height))
                   .copy_memory();
    VImage out = page.resize(static_cast<double>(width) / page.width(),
                             VImage::option()
                                 ->set("vscale", static_cast<double>(height) / page.height())
                                 ->set("kernel", VIPS_KERNEL_LANCZOS3));
    if (alpha)
        out = out.unpremultiply().cast(format);
    // Rounding inside the resampler can miss by a pixel; the size asked for is exact.
    if (out.width() > width || out.height() > height)
        out = out.extract_area(0, 0, std::min(out.width(), width), std::min(out.height(), height));
    if (out.width() < width || out.height() < height)
        out = out.embed(0, 0, width, height, VImage::option()->set("extend", VIPS_EXTEND_COPY));
    return out;
}

// Each page on its own, so that no kernel reaches across into the next frame.
VImage ResampleAllPages(const VImage& image, int width, int height) {
    const int pageHeight = PageHeight(image);
    const int pages = pageHeight > 0 ? image.height() / pageHeight : 1;
    if (pages <= 1)
        return ResamplePage(image, width, height);
    std::vector<VImage> resampled;
    resampled.reserve(static_cast<std::size_t>(pages));
    for (int page = 0; page < pages; ++page)
        resampled.push_back(ResamplePage(
            image.extract_area(0, page * pageHeight, image.width(), pageHeight), width, height));
    VImage joined = VImage::arrayjoin(resampled, VImage::option()->set("across", 1)).copy();
    joined.set("page-height", height);
    return joined;
}

} // namespace

// JPEG decodes at 1/2, 1/4 or 1/8 straight from its DCT blocks, rounding sizes up.
int JpegShrinkOnLoad(int sourceWidth, int sourceHeight, int width, int height) {
    for (int shrink = kJpegLargestShrink; shrink > 1; shrink /= 2)
        if (CeilDiv(sourceWidth, shrink) >= width && CeilDiv(sourceHeight, shrink) >= height)
            return shrink;
    return 1;
}

// A whole factor leaves the fine step to Lanczos.
int WebpShrinkOnLoad(const ImageHeader& header, int width, int height) {
    const int shrink =
        std::min(header.width / std::max(width, 1), header.height / std::max(height, 1));
    return std::max(shrink, 1);
}

bool DecodesWholeFrames(const ImageHeader& header) {
    switch (header.format) {
    case ImageFormat::Gif:
    case ImageFormat::WebP:
    case ImageFormat::Heif:
    case ImageFormat::Avif:
    case ImageFormat::JpegXl:
    case ImageFormat::Jpeg2000:
        return true;
    default:
        return header.loader == "magickload";
    }
}

bool DecodesPngWhole(const ImageHeader& header) {
    if (header.format != ImageFormat::Png || !header.png)
        return false;
    const PngFacts& png = *header.png;
    const bool alpha = png.channels() % 2 == 0;
    return !png.interlaced && !png.animated && !png.palette() &&
           (png.bitDepth == 16 || (png.bitDepth == 8 && alpha)) &&
           static_cast<std::int64_t>(header.width) * header.height <= kMaxWholeFramePixels;
}

bool DecodesBmpWhole(const ImageHeader& header) {
    return header.format == ImageFormat::Bmp && header.bmp && header.bmp->plain() &&
           static_cast<std::int64_t>(header.width) * header.height <= kMaxWholeFramePixels;
}

bool KeepsAllPages(const ImageHeader& header) {
    const auto kind = TraitsOf(header.format).pages;
    return header.pages > 1 && (kind == PageKind::Frames || kind == PageKind::Pages);
}

std::optional<std::string> PixelLimitBreach(const ImageHeader& header, int width, int height) {
    const auto pages = static_cast<std::int64_t>(KeepsAllPages(header) ? header.pages : 1);
    if (pages > kMaxKeptPages)
        return "the file holds " + std::to_string(pages) +
               " frames or pages, too many to process "
               "safely (at most " +
               std::to_string(kMaxKeptPages) + ")";
    const auto sourcePage = static_cast<std::int64_t>(header.width) * header.height;
    const auto targetPage = static_cast<std::int64_t>(width) * height;
    const auto largestPage = std::max(sourcePage, targetPage);
    const auto pageLimit = DecodesWholeFrames(header) ? kMaxWholeFramePixels : kMaxPagePixels;
    if (largestPage > pageLimit || largestPage * pages > kMaxFilePixels)
        return "the image is too large to process safely (" + std::to_string(header.width) + " x " +
               std::to_string(header.height) + " pixels" +
               (pages > 1 ? " in " + std::to_string(pages) + " pages" : "") + ")";
    return std::nullopt;
}

VImage BuildResizedImage(const ImageHeader& header, int width, int height) {
    const bool allPages = KeepsAllPages(header);
    const Opened opened = OpenCovering(header, width, height, allPages);
    return allPages ? ResampleAllPages(opened.image, width, height)
                    : ResamplePage(opened.image, width, height, opened.opaque, opened.inMemory);
}

VImage BuildPreviewImage(const ImageHeader& header, int maxSide) {
    const double scale =
        std::min(1.0, static_cast<double>(maxSide) / std::max(header.width, header.height));
    const int width = std::max(1, static_cast<int>(std::lround(header.width * scale)));
    const int height = std::max(1, static_cast<int>(std::lround(header.height * scale)));
    const Opened opened = OpenCovering(header, width, height, false);
    VImage image = opened.image;
    if (header.pages > 1 && PageHeight(image) < image.height())
        image = image.extract_area(0, 0, image.width(), PageHeight(image));
    image = ResamplePage(image, width, height, opened.opaque, opened.inMemory)
                .colourspace(VIPS_INTERPRETATION_sRGB);
    if (image.has_alpha())
        image =
            image.flatten(VImage::option()->set("background", std::vector<double>{255, 255, 255}));
    if (image.bands() > 3)
        image = image.extract_band(0, VImage::option()->set("n", 3));
    return image.cast(VIPS_FORMAT_UCHAR);
}

} // namespace kovi
