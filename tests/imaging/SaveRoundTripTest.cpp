// Loading, resizing and saving: files that are no readable image, not whole or not to be written
// back are never rewritten; the headers the program reads itself; every writable format saved
// over itself keeps its size, depth, storage and metadata; the JPEG writer; safe replacing.
#include <cstdlib>
#include <cstring>
#include <functional>

#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <libexif/exif-data.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "core/files/DiskFlusher.h"
#include "core/files/RecycledFiles.h"
#include "core/files/SafeReplace.h"
#include "core/imaging/ImagingControl.h"
#include "core/imaging/base/VipsRuntime.h"
#include "core/imaging/foreign/ExifDimensions.h"
#include "core/imaging/foreign/JpegQuality.h"
#include "core/imaging/header/ImageHeader.h"
#include "core/imaging/resample/Resampler.h"
#include "platform/system/Process.h"
#include "tests/support/CaseName.h"
#include "tests/support/CraftedFiles.h"
#include "tests/support/DiskSpace.h"
#include "tests/support/FileAccess.h"
#include "tests/support/Mount.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestImages.h"

namespace kovi {
namespace {

namespace fs = std::filesystem;
using testing::ColourRamp;
using testing::Encoded;
using vips::VImage;

// Resizes the file (to half by default) and saves it over itself: "saved", or why not.
std::string Shrink(const fs::path& path, int width = 0, int height = 0,
                   std::pair<int, int> factors = {0, 0}) {
    ImagingControl control;
    control.SetJpegLumFactor(factors.first);
    control.SetJpegChromFactor(factors.second);
    control.SetLoadPath(path);
    control.ResizeImage(width > 0 ? width : control.ImageWidth() / 2,
                        height > 0 ? height : control.ImageHeight() / 2);
    control.SetSavePath(path);
    return control.SaveImage() ? "saved" : control.LastError();
}

std::string FileCase(const ::testing::TestParamInfo<const char*>& info) {
    std::string name = info.param;
    return name.replace(name.find('.'), 1, "_");
}

int EntriesIn(const fs::path& folder) {
    return static_cast<int>(std::distance(fs::directory_iterator(folder), {}));
}

enum Keeps : unsigned {
    kExif = 1, // with the pixel size updated and the camera's entries kept
    kIcc = 2,  // byte for byte
    kXmp = 4,
    kIccRecoded = 8, // present; libjxl stores profiles in its own compact coding
    kAll = kExif | kIcc | kXmp,
};

// The ramps of TestImages.h, made at the size a case asks for.
struct Picture {
    static VImage Rgb(int w, int h) { return ColourRamp(w, h); }
    static VImage Rgba(int w, int h) { return ColourRamp(w, h, 4); }
    static VImage Grey(int w, int h) { return testing::GreyRamp(w, h); }
    static VImage Cmyk(int w, int h) { return testing::Cmyk(w, h); }
    static VImage DeepRgb(int w, int h) { return testing::Sixteen(Rgb(w, h)); }
    static VImage DeepGrey(int w, int h) { return testing::Sixteen(Grey(w, h)); }
    static VImage RgbIcc(int w, int h) { return testing::WithIccAndXmp(Rgb(w, h)); }
    static VImage RgbAll(int w, int h) { return testing::WithCameraExif(RgbIcc(w, h)); }
    static VImage GreyAll(int w, int h) { return WithAll(Grey(w, h)); }
    static VImage RgbaAll(int w, int h) { return WithAll(Rgba(w, h)); }
    static VImage RgbCamera(int w, int h) { return testing::WithCameraExif(Rgb(w, h)); }
    static VImage ThreeFrames(int w, int h) {
        return testing::Animation({Rgb(w, h), Rgb(w, h), Rgb(w, h)}, 100);
    }
    static VImage WithAll(VImage i) { return testing::WithCameraExif(testing::WithIccAndXmp(i)); }
    // Black on the left half, white on the right: what any 1-bit coding keeps exactly.
    static VImage Bilevel(int w, int h) { return Grey(w, h) >= 128; }
    // libvips writes the low bits of each sample into a 4-bit PNG: samples made in range.
    static VImage Grey4(int w, int h) { return (Grey(w, h) >> 4).cast(VIPS_FORMAT_UCHAR); }
};
using P = Picture;

using Maker = std::function<void(const fs::path&)>;

Maker Bytes(std::function<std::string()> bytes) {
    return [=](const fs::path& path) {
        testing::WriteBytes(path, bytes());
    };
}
Maker Text(std::string text) {
    return Bytes([=] { return text; });
}
// A whole picture cut to three fifths: its header may still read.
Maker Cut(std::string format, bool sixteenBits = false) {
    return Bytes([=] {
        const VImage ramp = ColourRamp(300, 200);
        const std::string whole =
            Encoded(sixteenBits ? testing::Sixteen(ramp) : ramp, format.c_str());
        return whole.substr(0, whole.size() * 6 / 10);
    });
}
struct Make {
    static void Folder(const fs::path& path) { fs::create_directory(path); }
    static std::string HugeJpeg() { return testing::JpegClaiming(60000, 60000); }
    static std::string HugeGif() { return testing::GifClaiming(65535, 65535); }
    // A PNG that announces an animation (acTL) before its image data, as an APNG does.
    static std::string AnimatedPng() {
        const std::string png = Encoded(ColourRamp(40, 30), ".png");
        return png.substr(0, 33) + std::string("\0\0\0\010acTL\0\0\0\2\0\0\0\0\1\2\3\4", 20) +
               png.substr(33);
    }
    // An AVIF whose file type box names it an image sequence.
    static std::string AvifSequence() {
        std::string avif = Encoded(ColourRamp(40, 30), ".avif");
        return avif.replace(avif.find("miaf"), 4, "avis");
    }
    static std::string IconOfTwoSizes() {
        const VImage icon = ColourRamp(32, 32, 4);
        return Encoded(testing::Animation({icon, icon}, 0), ".bmp[format=ICO]");
    }
};

struct BadCase {
    const char* name;
    const char* file;
    Maker make;
    int typeCode = 0;        // 0: loads as nothing; else measured, but never written back ...
    const char* reason = ""; // ... for this reason
};

const BadCase kBadCases[] = {
    {"empty file", "empty.jpg", Text("")},
    {"jpeg signature then nonsense", "broken.jpg", Text("\xFF\xD8\xFF" + std::string(500, 'x'))},
    {"png signature only", "cut.png", Text("\x89PNG\r\n\x1A\n")},
    // libvips would read these as pictures of numbers.
    {"comma-separated numbers", "export.csv", Text("1,2,3\r\n4,5,6\r\n")},
    {"two numbers on the first line", "sizes.txt", Text("2 2\n1 2\n3 4\n")},
    {"folder", "album.jpg", Make::Folder},
    // Each decoder's own way of noticing that the rest is missing.
    {"cut jpeg", "cut.jpg", Cut(".jpg"), 8},
    {"cut png", "cut.png", Cut(".png"), 10},
    {"cut png decoded whole", "cut.png", Cut(".png", true), 10},
    {"cut gif", "cut.gif", Cut(".gif"), 3, "cut short"},
    {"cut tiff", "cut.tif", Cut(".tif[compression=lzw]")},
    {"cut ppm", "cut.ppm", Cut(".ppm"), 21, "cut short"},
    {"cut webp", "cut.webp", Cut(".webp")},
    {"cut bmp", "cut.bmp", Cut(".bmp[format=BMP]"), 5},
    {"svg has no writer", "drawing.svg",
     Text("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"40\" height=\"30\"/>"), 43,
     "SVG files cannot be written"},
    {"icon file of two sizes", "icons.ico", Bytes(Make::IconOfTwoSizes), 20, "holds 2 images"},
    {"animated png", "animated.png", Bytes(Make::AnimatedPng), 10, "animation"},
    {"avif image sequence", "sequence.avif", Bytes(Make::AvifSequence), 41, "animation"},
    {"huge jpeg", "huge.jpg", Bytes(Make::HugeJpeg), 8, "too large to process safely (60000 x"},
    {"huge gif", "huge.gif", Bytes(Make::HugeGif), 3, "too large to process safely (65535 x"}};

class BadFileTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadFileTest, IsNeverRewrittenAndNeverNoisy) {
    const BadCase& c = GetParam();
    testing::TempFolder folder;
    const auto path = folder / c.file;
    c.make(path);
    const auto contents = [&] {
        return std::pair(fs::is_regular_file(path) ? testing::ReadBytes(path) : "",
                         std::distance(fs::directory_iterator(folder.path()), {}));
    };
    const auto before = contents();
    ::testing::internal::CaptureStderr();
    ImagingControl control;
    control.SetLoadPath(path);
    EXPECT_EQ(std::pair(control.FileTypeCode(), control.LoadPath().empty()),
              std::pair(c.typeCode, c.typeCode == 0));
    // Some decoders notice damage in the preview or the resize already, others while saving.
    control.Preview(32);
    control.ResizeImage(150, 100);
    control.SetSavePath(path);
    EXPECT_FALSE(control.SaveImage());
    EXPECT_TRUE(!control.LastError().empty() &&
                control.LastError().find(c.reason) != std::string::npos)
        << control.LastError();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(contents(), before);
}

INSTANTIATE_TEST_SUITE_P(Files, BadFileTest, ::testing::ValuesIn(kBadCases), testing::CaseName{});

struct HeaderCase {
    const char* name; // its suffix says the format
    VImage (*picture)(int width, int height);
    int width, height;
    const char* options = ""; // for libvips' saver
    std::size_t cutsUpTo = 0; // the header is read at every length of the file up to this too
    std::pair<std::size_t, std::string> frameEdit = {}; // bytes replaced from the frame marker
};

const HeaderCase kHeaderCases[] = {
    {"progressive.jpg", P::Rgb, 1201, 899, "interlace", 1200},
    {"grey.jpg", P::Grey, 31, 4000, "", 1200},
    {"cmyk.jpg", P::Cmyk, 640, 480, "", 1200},
    // The EXIF block claims 10 x 10; the frame is what counts.
    {"camera.jpg", P::RgbCamera, 600, 400, "", 1200},
    {"one-pixel.jpg", P::Rgb, 1, 1},
    // Left to libjpeg: twelve bits a sample, a frame of the wrong length, a height left to a
    // later segment.
    {"twelve-bit.jpg", P::Rgb, 64, 48, "", 0, {4, "\x0C"}},
    {"wrong-frame-length.jpg", P::Rgb, 64, 48, "", 0, {2, std::string("\0\x12", 2)}},
    {"height-in-a-later-segment.jpg", P::Rgb, 64, 48, "", 0, {5, std::string("\0\0", 2)}},
    {"lossy.webp", P::Rgb, 1600, 1200, "", 300},
    {"lossy-alpha.webp", P::Rgba, 1201, 901},
    {"lossless.webp", P::Rgb, 120, 1600, "lossless"},
    {"extended.webp", P::RgbIcc, 64, 48},
    {"widest.webp", P::Rgb, 16383, 2, "lossless"}};

// libvips' verdict on a file's header, as the program asked it before reading JPEG and WebP.
std::optional<VImage> VipsHeader(const fs::path& path) {
    try {
        return VImage::new_from_file(VipsFileName(path).c_str(),
                                     VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL));
    } catch (const vips::VError&) {
        vips_error_clear();
        return std::nullopt;
    }
}

class OwnHeaderRead : public ::testing::TestWithParam<HeaderCase> {};

// Also cut at every length, until both have read it a while: read exactly when the codec reads it.
TEST_P(OwnHeaderRead, AgreesWithTheCodec) {
    const HeaderCase& c = GetParam();
    testing::TempFolder folder;
    const fs::path path = folder / c.name;
    const bool jpeg = path.extension() == ".jpg";
    std::string bytes = Encoded(c.picture(c.width, c.height),
                                (path.extension().string() + "[" + c.options + "]").c_str());
    const auto& [at, with] = c.frameEdit;
    if (!with.empty())
        bytes.replace(bytes.find("\xFF\xC0") + at, with.size(), with);
    testing::WriteBytes(path, bytes);
    const auto header = ReadImageHeader(path);
    const auto vips = VipsHeader(path);
    ASSERT_EQ(header.has_value(), vips.has_value());
    if (header) {
        EXPECT_EQ(header->format, jpeg ? ImageFormat::Jpeg : ImageFormat::WebP);
        EXPECT_EQ(std::tuple(header->width, header->height, header->bands, header->bitsPerPixel,
                             header->pages),
                  std::tuple(vips->width(), vips->height(), vips->bands(), 8 * vips->bands(), 1));
    }
    for (std::size_t keep = 2, bothRead = 0;
         keep < std::min(bytes.size(), c.cutsUpTo) && bothRead < 32; ++keep) {
        testing::WriteBytes(folder / "cut", bytes.substr(0, keep));
        const bool read = ReadImageHeader(folder / "cut").has_value();
        EXPECT_EQ(read, VipsHeader(folder / "cut").has_value()) << keep << " bytes";
        bothRead = read ? bothRead + 1 : 0;
    }
}

INSTANTIATE_TEST_SUITE_P(Files, OwnHeaderRead, ::testing::ValuesIn(kHeaderCases),
                         testing::CaseName{});

// libvips finds the program's liborc entries first, so its compiles and frees take turns.
TEST(VectorCode, LibvipsReachesLiborcThroughTheLock) {
    for (const char* entry : {"orc_program_compile", "orc_program_free"})
        EXPECT_NE(dlsym(RTLD_DEFAULT, entry), NextDefinitionOf(entry)) << entry;
}

TEST(HeapSettings, HugePagesAreAddedOnlyWhereTheUserLeftThemOpen) {
    EXPECT_EQ(TunablesWithHugePages(nullptr), "glibc.malloc.hugetlb=1");
    EXPECT_EQ(TunablesWithHugePages(""), "glibc.malloc.hugetlb=1");
    EXPECT_EQ(TunablesWithHugePages("glibc.malloc.arena_max=2"),
              "glibc.malloc.arena_max=2:glibc.malloc.hugetlb=1");
    EXPECT_EQ(TunablesWithHugePages("glibc.malloc.hugetlb=0"), std::nullopt);
    EXPECT_EQ(TunablesWithHugePages("glibc.malloc.check=3:glibc.malloc.hugetlb=2"), std::nullopt);
}

// How the file stores its pixels where that is not the plain way.
std::string Storage(const fs::path& path) {
    HeaderReader reader(path);
    if (const auto jpeg = PeekJpeg(reader)) // and the sampling of its first component
        return (jpeg->progressive ? "progressive " : "") +
               std::to_string(jpeg->horizontalSampling[0]) + "x" +
               std::to_string(jpeg->verticalSampling[0]);
    if (const auto png = PeekPng(reader))
        return png->interlaced ? "interlaced" : "";
    if (const auto pnm = PeekPnm(reader))
        return pnm->ascii ? "ascii" : "";
    if (const auto tiff = PeekTiff(reader)) // compression / predictor
        return std::to_string(tiff->compression) + "/" + std::to_string(tiff->predictor);
    return PeekWebpLossless(reader).value_or(false) ? "lossless" : "";
}

struct RoundTripCase {
    const char* name; // the file's, which says the case
    VImage (*source)(int width, int height);
    const char* options; // for libvips' saver
    int typeCode, bitsPerPixel, bands;
    unsigned keeps;
    double tolerance;        // for the ramp's ends, after lossy or palette coding
    std::string stored = ""; // see Storage()
    int sourceWidth = 120, sourceHeight = 80, width = 61, height = 37;
};

const RoundTripCase kCases[] = {
    {"rgb.jpg", P::RgbAll, "", 8, 24, 3, kAll, 30, "2x2"},
    {"grey.jpg", P::GreyAll, "", 8, 8, 1, kExif | kXmp, 30, "1x1"},
    {"cmyk.jpg", P::Cmyk, "", 8, 32, 4, 0, 30, "1x1"},
    {"progressive.jpg", P::Rgb, "interlace", 8, 24, 3, 0, 30, "progressive 2x2"},
    {"exactly-an-eighth.jpg", P::Rgb, "Q=95", 8, 24, 3, 0, 40, "1x1", 800, 600, 100, 75},
    {"awkward-ratio.jpg", P::Rgb, "Q=95", 8, 24, 3, 0, 40, "1x1", 1999, 1001, 641, 97},
    // The content decides the format, and a name that reads like load options is a name.
    {"png-named.jpg", P::Rgb, ".png", 10, 24, 3, 0, 8},
    {"holiday[1]", P::Rgb, ".png", 10, 24, 3, 0, 8},
    // Decoded whole and box-shrunk from memory, its alpha weighing the colour.
    {"rgba-decoded-whole.png", P::RgbaAll, "", 10, 32, 4, kAll, 8, "", 800, 600, 61, 37},
    {"interlaced.png", P::Rgb, "interlace", 10, 24, 3, 0, 8, "interlaced"},
    {"line-to-80x1.png", P::Rgb, "", 10, 24, 3, 0, 40, "", 1000, 1, 80, 1},
    {"column-to-1x80.png", P::Rgb, "", 10, 24, 3, 0, 40, "", 1, 1000, 1, 80},
    {"odd-sizes.png", P::Rgb, "", 10, 24, 3, 0, 40, "", 641, 479, 640, 478},
    {"to-one-pixel.png", P::Rgb, "", 10, 24, 3, 0, 40, "", 3, 3, 1, 1},
    {"enlarged.png", P::Rgb, "", 10, 24, 3, 0, 40, "", 20, 10, 41, 21},
    {"palette-4bit.png", P::Rgb, "palette,bitdepth=4", 10, 4, 3, 0, 80},
    {"palette-alpha.png", P::Rgba, "palette", 10, 8, 4, 0, 40},
    {"bilevel.png", P::Bilevel, "bitdepth=1", 10, 1, 1, 0, 8},
    {"grey-4bit.png", P::Grey4, "bitdepth=4", 10, 4, 1, 0, 20},
    {"grey-16bit.png", P::DeepGrey, "", 10, 16, 1, 0, 8 * 257},
    {"rgb-16bit.png", P::DeepRgb, "", 10, 48, 3, 0, 8 * 257},
    {"palette-4bit.gif", P::Rgb, "bitdepth=4", 3, 4, 3, 0, 80, "", 97, 61, 13, 7},
    // Measured as one frame.
    {"animated.gif", P::ThreeFrames, "bitdepth=4", 3, 4, 4, 0, 80},
    {"deflate.tif", P::RgbIcc, "compression=deflate,predictor=horizontal", 4, 24, 3, kIcc | kXmp, 8,
     "8/2"},
    {"fax.tif", P::Bilevel, "bitdepth=1,compression=ccittfax4", 4, 1, 1, 0, 8, "4/1"},
    {"rgb-16bit.tif", P::DeepRgb, "", 4, 48, 3, 0, 8 * 257, "1/1"},
    {"cmyk.tif", P::Cmyk, "", 4, 32, 4, 0, 8, "1/1"},
    {"lossless.webp", P::RgbaAll, "lossless", 39, 32, 4, kAll, 8, "lossless"},
    {"reduced-while-decoding.webp", P::Rgb, "", 39, 24, 3, 0, 40, "", 1000, 750, 333, 250},
    {"photo.heic", P::RgbAll, "", 40, 24, 3, kAll, 40},
    {"photo.avif", P::Rgb, "compression=av1", 41, 24, 3, 0, 40},
    {"photo.jxl", P::RgbIcc, "", 42, 24, 3, kIccRecoded, 30},
    {"resolution-level.jp2", P::Rgb, "", 36, 24, 3, 0, 40, "", 2000, 1500, 499, 374},
    {"bitmap.pbm", P::Bilevel, "bitdepth=1", 23, 1, 1, 0, 8},
    {"grey.pgm", P::Grey, "", 22, 8, 1, 0, 8},
    {"grey-16bit.pgm", P::DeepGrey, "", 22, 16, 1, 0, 8 * 257},
    {"plain-text.ppm", P::Rgb, "ascii", 21, 24, 3, 0, 8, "ascii"},
    {"rgb.bmp", P::Rgb, "", 5, 24, 3, 0, 8},
    {"palette-8bit.bmp", P::Rgb, "bitdepth=8", 5, 8, 3, 0, 40},
    {"palette-4bit.bmp", P::Rgb, "bitdepth=4", 5, 4, 3, 0, 80},
    {"rgb.tga", P::Rgb, "", 1, 24, 3, 0, 8},
    {"mapped.tga", P::Rgb, "bitdepth=8", 1, 8, 3, 0, 40},
    {"rgb.pcx", P::Rgb, "", 2, 24, 3, 0, 8},
    {"palette-8bit.pcx", P::Rgb, "bitdepth=8", 2, 8, 3, 0, 40},
    {"icon.ico", P::Rgba, "", 20, 32, 4, 0, 8}};

class RoundTripTest : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(RoundTripTest, KeepsSizeFormatDepthStorageAndMetadata) {
    const RoundTripCase& c = GetParam();
    testing::TempFolder folder;
    const auto path = folder / c.name;
    const VImage source = c.source(c.sourceWidth, c.sourceHeight);
    if (c.options[0] == '.') // a format of its own, whatever the name says
        testing::WriteBytes(path, Encoded(source, c.options));
    else
        testing::SaveAs(source, path, c.options);
    // The preview is small 8-bit RGB of the first frame, never larger than the picture.
    const auto measures = [&path] {
        ImagingControl control;
        control.SetLoadPath(path);
        const auto preview = control.Preview(64).value_or(PreviewPicture{});
        const int side = std::min(64, std::max(control.ImageWidth(), control.ImageHeight()));
        return std::tuple(control.LoadPath() == path, control.FileTypeCode(), control.ImageWidth(),
                          control.ImageHeight(), control.BitsPerPixel(), control.ColourCount(),
                          control.FileBytes() == static_cast<std::int64_t>(fs::file_size(path)),
                          Storage(path), control.CanSave(),
                          std::max(preview.width, preview.height) == side &&
                              preview.rgb.size() == 3u * preview.width * preview.height);
    };
    const std::int64_t colours = std::int64_t{1} << std::min(c.bitsPerPixel, 24);
    ASSERT_EQ(measures(), std::tuple(true, c.typeCode, c.sourceWidth, c.sourceHeight,
                                     c.bitsPerPixel, colours, true, c.stored, true, true));
    ASSERT_EQ(Shrink(path, c.width, c.height, {40, 60}), "saved");
    EXPECT_EQ(measures(), std::tuple(true, c.typeCode, c.width, c.height, c.bitsPerPixel, colours,
                                     true, c.stored, true, true));
    EXPECT_EQ(EntriesIn(folder.path()), 1);

    // Read from a copy: libvips itself would take a name ending in "[1]" for one with options.
    const auto copy = folder / ("copy" + path.extension().string());
    fs::copy_file(path, copy);
    const auto [saved, pixels] = testing::Reload(copy);
    EXPECT_EQ(saved.bands(), c.bands);
    // Not flipped, mirrored or shifted: the first band rises left to right, the second
    // downwards; a side shrunk to one pixel holds the ramp's mean along it.
    const double full = saved.format() == VIPS_FORMAT_USHORT ? 65535 : 255;
    const auto ends = [full](int source, int target) {
        const double mean = source > 1 ? full / 2 : 0;
        return target > 1 ? std::pair{0.0, full} : std::pair{mean, mean};
    };
    const auto [left, right] = ends(c.sourceWidth, c.width);
    const auto [top, bottom] = ends(c.sourceHeight, c.height);
    const int w = c.width, h = c.height;
    for (const auto& [x, y, band, expected] : {std::tuple{0, h / 2, 0, left},
                                               {w - 1, h / 2, 0, right},
                                               {w / 2, 0, 1, top},
                                               {w / 2, h - 1, 1, bottom}})
        if (band < c.bands) {
            EXPECT_NEAR(pixels.getpoint(x, y)[band], expected, c.tolerance) << x << "," << y;
        }

    if (c.keeps & kExif) {
        const std::string make =
            saved.get_typeof("exif-ifd0-Make") ? saved.get_string("exif-ifd0-Make") : "";
        EXPECT_EQ(std::tuple(testing::ExifNumber(saved, "exif-ifd2-PixelXDimension"),
                             testing::ExifNumber(saved, "exif-ifd2-PixelYDimension"),
                             make.rfind(testing::kCameraMake, 0)),
                  std::tuple(w, h, 0u));
    }
    const std::string icc = testing::BlobBytes(saved, "icc-profile-data");
    EXPECT_EQ(!icc.empty(), (c.keeps & (kIcc | kIccRecoded)) != 0);
    if (c.keeps & kIcc) {
        EXPECT_EQ(icc, testing::SrgbProfile());
    }
    EXPECT_EQ(testing::BlobBytes(saved, "xmp-data"), c.keeps & kXmp ? testing::kTestXmp : "");
}

INSTANTIATE_TEST_SUITE_P(Formats, RoundTripTest, ::testing::ValuesIn(kCases), testing::CaseName{});

TEST(SaveTest, APgmKeepsItsSampleRange) {
    testing::TempFolder folder;
    const auto path = folder / "ten-bit.pgm";
    testing::WriteBytes(path, "P2\n4 2\n1023\n0 341 682 1023\n0 341 682 1023\n");
    ASSERT_EQ(Shrink(path, 2, 1), "saved");
    EXPECT_EQ(testing::ReadBytes(path).substr(0, 12), "P2\n2 1\n1023\n");
    EXPECT_NEAR(testing::Reload(path).pixels.getpoint(1, 0)[0], 900, 150);
}

TEST(JpegShrinkOnLoad, PicksTheLargestReductionThatCovers) {
    const std::tuple<const char*, int, int, int, int, int> cases[] = {
        {"exactly an eighth", 800, 600, 100, 75, 8},
        {"one pixel over an eighth", 800, 600, 101, 75, 4},
        {"height one over an eighth", 800, 600, 100, 76, 4},
        {"an eighth rounded up still covers", 801, 601, 101, 76, 8},
        {"exactly a half", 800, 600, 400, 300, 2},
        {"just over a half", 800, 600, 401, 300, 1},
        {"enlarging", 100, 100, 200, 200, 1}};
    for (const auto& [name, sourceWidth, sourceHeight, width, height, shrink] : cases)
        EXPECT_EQ(JpegShrinkOnLoad(sourceWidth, sourceHeight, width, height), shrink) << name;
}

class AllPagesTest : public ::testing::TestWithParam<const char*> {};

// Each frame's first and last row keep its colour, and an animation its delays and loop.
TEST_P(AllPagesTest, ResizesEveryPageOnItsOwn) {
    const std::vector<std::vector<double>> colours{{255, 0, 0}, {0, 0, 255}, {0, 255, 0}};
    testing::TempFolder folder;
    const auto path = folder / GetParam();
    const auto frame = [&colours](int i) {
        return testing::Solid(60, 40, colours[i]);
    };
    testing::SaveAs(testing::Animation({frame(0), frame(1), frame(2)}, 120), path,
                    path.extension() == ".webp" ? "lossless" : "");
    ASSERT_EQ(Shrink(path, 25, 17), "saved");

    const VImage all = VImage::new_from_file(path.c_str(), VImage::option()->set("n", -1));
    ASSERT_EQ(std::tuple(testing::IntField(all, "n-pages"), all.width(), all.height()),
              std::tuple(3, 25, 3 * 17));
    EXPECT_EQ(vips_image_get_page_height(all.get_image()), 17);
    const VImage colour = all.extract_band(0, VImage::option()->set("n", 3));
    for (int y = 0; y < 3 * 17; y += y % 17 == 0 ? 16 : 1)
        EXPECT_TRUE(
            testing::Near(colour.getpoint(12, y), colours[static_cast<std::size_t>(y / 17)], 8))
            << "row " << y;
    if (path.extension() != ".tif") {
        EXPECT_EQ(all.get_array_int("delay"), std::vector<int>(3, 120));
        EXPECT_EQ(testing::IntField(all, "loop"), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, AllPagesTest,
                         ::testing::Values("animated.gif", "animated.webp", "pages.tif"), FileCase);

// The first value of the luminance and of the chrominance table, each of which libjpeg writes
// in a segment of its own, in that order.
std::pair<int, int> FirstQuantValues(const fs::path& path) {
    const std::string jpeg = testing::ReadBytes(path);
    // A segment's marker and length, and its table's precision (8 bits) and slot.
    const auto luminance = jpeg.find(std::string("\xFF\xDB\0\x43\0", 5));
    const auto chrominance = jpeg.find(std::string("\xFF\xDB\0\x43\1", 5));
    return {static_cast<std::uint8_t>(jpeg[luminance + 5]),
            static_cast<std::uint8_t>(jpeg[chrominance + 5])};
}

TEST(JpegQuality, FollowsTheFactorRoundedAndClamped) {
    const std::pair<int, int> factorAndQuality[] = {
        {0, 100}, {1, 100}, {3, 99}, {64, 75}, {128, 50}, {200, 22}, {255, 1}, {-7, 100}, {300, 1}};
    for (const auto& [factor, quality] : factorAndQuality)
        EXPECT_EQ(JpegQualityOfFactor(factor), quality) << "factor " << factor;
}

// The standard tables begin with 16 and 17, scaled by the quality of their own factor.
TEST(JpegWriterTest, EachFactorScalesOnlyItsOwnTable) {
    testing::TempFolder folder;
    const struct {
        int luminance, chrominance, firstLuminance, firstChrominance;
    } cases[] = {{0, 255, 1, 255}, {255, 0, 255, 1}, {64, 128, 8, 17}, {200, 64, 36, 9}};
    for (const auto& c : cases) {
        ColourRamp(600, 400).jpegsave((folder / "a.jpg").c_str());
        ASSERT_EQ(Shrink(folder / "a.jpg", 0, 0, {c.luminance, c.chrominance}), "saved");
        EXPECT_EQ(FirstQuantValues(folder / "a.jpg"),
                  std::pair(c.firstLuminance, c.firstChrominance))
            << "factors " << c.luminance << " and " << c.chrominance;
    }
}

// A CMYK file keeps its ink; a camera's file its orientation (in its EXIF block) and IPTC.
TEST(JpegWriterTest, KeepsCmykInkIptcAndTheCamerasOrientation) {
    testing::TempFolder folder;
    const auto path = folder / "camera.jpg";
    const std::vector<double> ink{10, 60, 120, 200};
    VImage image = testing::WithCameraExif(testing::Solid(600, 400, ink))
                       .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_CMYK));
    image.set("orientation", 6);
    const std::string iptc = std::string("Photoshop 3.0\0008BIM\004\004\0\0\0\0\0\0", 26);
    vips_image_set_blob_copy(image.get_image(), "iptc-data", iptc.data(), iptc.size());
    image.jpegsave(path.c_str(), VImage::option()->set("Q", 98));
    ASSERT_EQ(Shrink(path, 300, 200), "saved");
    const auto [saved, pixels] = testing::Reload(path);
    EXPECT_EQ(std::tuple(saved.width(), saved.height(), saved.interpretation()),
              std::tuple(300, 200, VIPS_INTERPRETATION_CMYK));
    EXPECT_TRUE(testing::Near(pixels.getpoint(150, 100), ink, 4));
    EXPECT_EQ(testing::IntField(saved, "orientation"), 6);
    EXPECT_EQ(testing::BlobBytes(saved, "iptc-data"), iptc);
}

// A camera's block with its maker's note and a tag of its own, and its size as SHORT numbers
// (LONG, as libvips writes it, is in the round trip) or none, which gets LONG ones: only the
// size changes.
TEST(ExifDimensionsTest, UpdatesThePixelSizeAndKeepsTheRest) {
    const auto block = [](unsigned width, unsigned height, ExifFormat format) {
        ExifData* exif = exif_data_new();
        exif_data_set_byte_order(exif, EXIF_BYTE_ORDER_INTEL);
        const auto add = [exif](ExifIfd ifd, int tag, ExifFormat format, std::string bytes) {
            ExifEntry* entry = exif_entry_new();
            exif_content_add_entry(exif->ifd[ifd], entry);
            entry->tag = static_cast<ExifTag>(tag);
            entry->format = format;
            entry->components = bytes.size() / static_cast<unsigned>(exif_format_get_size(format));
            entry->size = static_cast<unsigned>(bytes.size());
            entry->data = static_cast<unsigned char*>(std::malloc(bytes.size()));
            std::memcpy(entry->data, bytes.data(), bytes.size());
            exif_entry_unref(entry);
        };
        add(EXIF_IFD_0, EXIF_TAG_MAKE, EXIF_FORMAT_ASCII, std::string("Canon", 6));
        add(EXIF_IFD_EXIF, EXIF_TAG_MAKER_NOTE, EXIF_FORMAT_UNDEFINED, std::string(40, '\7'));
        add(EXIF_IFD_EXIF, 0xC7A1, EXIF_FORMAT_UNDEFINED, "vendor");
        for (const auto& [tag, value] :
             {std::pair{EXIF_TAG_PIXEL_X_DIMENSION, width}, {EXIF_TAG_PIXEL_Y_DIMENSION, height}})
            if (width > 0) // little-endian, in the size of the format
                add(EXIF_IFD_EXIF, tag, format,
                    std::string{static_cast<char>(value), static_cast<char>(value >> 8), 0, 0}
                        .substr(0, static_cast<std::size_t>(exif_format_get_size(format))));
        unsigned char* data = nullptr;
        unsigned int length = 0;
        exif_data_save_data(exif, &data, &length);
        exif_data_unref(exif);
        const std::vector<std::uint8_t> bytes(data, data + length);
        std::free(data);
        return bytes;
    };
    for (const auto format : {EXIF_FORMAT_SHORT, EXIF_FORMAT_LONG}) {
        const auto camera = block(format == EXIF_FORMAT_SHORT ? 4000 : 0, 3000, format);
        EXPECT_EQ(ExifWithDimensions(camera.data(), camera.size(), 641, 97),
                  block(641, 97, format));
    }
    const std::vector<std::uint8_t> unreadable{'E', 'x', 'i', 'f', 0, 0, 'n', 'o', 't'};
    EXPECT_EQ(ExifWithDimensions(unreadable.data(), unreadable.size(), 10, 10), unreadable);
}

// Temporary files are told by their name alone; the cleaner leaves one a save is writing,
// which goes when dropped uncommitted.
TEST(SafeReplaceTest, TemporaryFilesLiveBesideTheTargetUntilCommittedOrStale) {
    const std::pair<const char*, bool> names[] = {
        {".kovi-rzk-Ab3dE6f7.tmp", true},      {".kovi-rzk-Ab3dE6f7-1234567.tmp", true},
        {".kovi-rzk-Ab3dE6f.tmp", false},      {".kovi-rzk-Ab3dE6f7X.tmp", false},
        {".kovi-rzk-Ab3dE6f7.tmp2", false},    {"kovi-rzk-Ab3dE6f7.tmp", false},
        {".kovi-rzk-Ab3d-6f7.tmp", false},     {".kovi-rzk-holiday.jpg", false},
        {".kovi-rzk-Ab3dE6f7-.tmp", false},    {".kovi-rzk-Ab3dE6f7-12a4.tmp", false},
        {".kovi-rzk-Ab3dE6f7-+12.tmp", false}, {"", false}};
    for (const auto& [name, temporary] : names)
        EXPECT_EQ(IsTemporaryFileName(name), temporary) << '"' << name << '"';
    testing::TempFolder folder;
    testing::WriteBytes(folder / ".kovi-rzk-Stale001.tmp", "left by a killed run");
    testing::WriteBytes(folder / "photo.jpg", "original");
    fs::create_directory(folder / ".kovi-rzk-Folder01.tmp");
    std::string error;
    {
        const auto live = ReplacementFile::create(folder / "photo.jpg", error);
        ASSERT_TRUE(live) << error;
        EXPECT_EQ(live->temporaryPath().parent_path(), folder.path());
        EXPECT_TRUE(IsTemporaryFileName(live->temporaryPath().filename().string()));
        ASSERT_TRUE(live->write("new", 3));
        EXPECT_EQ(RemoveStaleTemporaryFiles(folder.path()), 1);
        EXPECT_TRUE(fs::exists(live->temporaryPath()));
    }
    EXPECT_EQ(EntriesIn(folder.path()), 2);
    EXPECT_EQ(testing::ReadBytes(folder / "photo.jpg"), "original");
}

// A symbolic link stays a link and its target is replaced; every hard link sees the new image.
TEST(SafeReplaceTest, LinksLeadToTheNewImage) {
    testing::TempFolder folder;
    const auto original = folder / "originals" / "photo.jpg";
    const auto same = folder / "originals" / "same.jpg";
    fs::create_directory(folder / "originals");
    ColourRamp(400, 300).jpegsave(original.c_str());
    fs::create_symlink("originals/photo.jpg", folder / "photo.jpg");
    fs::create_hard_link(original, same);
    const auto inode = testing::StatOf(same).st_ino;

    ASSERT_EQ(Shrink(folder / "photo.jpg"), "saved");
    EXPECT_EQ(fs::read_symlink(folder / "photo.jpg"), "originals/photo.jpg");
    EXPECT_EQ(std::pair(testing::StatOf(same).st_ino, testing::StatOf(same).st_nlink),
              std::pair(inode, nlink_t{2}));
    EXPECT_EQ(testing::Reload(same).header.width(), 200);
    EXPECT_EQ(std::pair(EntriesIn(folder.path()), EntriesIn(folder / "originals")),
              std::pair(2, 2));
}

// When a file was made, in nanoseconds.
std::int64_t BirthOf(const fs::path& path) {
    struct statx info {};
    EXPECT_EQ(::statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME, &info), 0);
    return std::int64_t{info.stx_btime.tv_sec} * 1'000'000'000 + info.stx_btime.tv_nsec;
}

// What happens to a replaced file before the next new image of its folder is written.
enum class Meanwhile { Nothing, HeldOpen, GivenAnAttribute };

class RecycleTest : public ::testing::TestWithParam<Meanwhile> {};

// A run writes a new image into a file it replaced a moment ago only when that file can pass for
// a new one: no one still reads it and it carries nothing of the picture it held.
TEST_P(RecycleTest, AReplacedFileHoldsTheNextNewImageOnlyWhenNothingReachesIt) {
    testing::TempFolder folder;
    testing::WriteBytes(folder / "a.jpg", "old a");
    testing::WriteBytes(folder / "b.jpg", "old b");
    // A file made new for b is born after this; the replaced a was born before.
    const auto bornBefore = BirthOf(folder / "b.jpg");
    const int reader = ::open((folder / "a.jpg").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    if (GetParam() != Meanwhile::HeldOpen)
        ::close(reader);
    if (GetParam() == Meanwhile::GivenAnAttribute &&
        ::setxattr((folder / "a.jpg").c_str(), "user.note", "x", 1, 0) != 0)
        GTEST_SKIP() << "no user attributes on this file system";
    {
        RecycledFiles recycled;
        for (const char* name : {"a.jpg", "b.jpg"}) {
            std::string error;
            const auto file = ReplacementFile::create(folder / name, error, &recycled);
            ASSERT_TRUE(file) << error;
            ASSERT_TRUE(file->write("new", 3));
            ASSERT_TRUE(file->commit(error)) << error;
        }
        EXPECT_EQ(BirthOf(folder / "b.jpg") <= bornBefore, GetParam() == Meanwhile::Nothing);
    }
    EXPECT_EQ(testing::ReadBytes(folder / "b.jpg"), "new");
    EXPECT_EQ(::listxattr((folder / "b.jpg").c_str(), nullptr, 0), 0);
    EXPECT_EQ(EntriesIn(folder.path()), 2);
    if (GetParam() == Meanwhile::HeldOpen) {
        char held[8] = {};
        EXPECT_EQ(::pread(reader, held, sizeof held, 0), 5);
        EXPECT_STREQ(held, "old a");
        ::close(reader);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, RecycleTest,
                         ::testing::Values(Meanwhile::Nothing, Meanwhile::HeldOpen,
                                           Meanwhile::GivenAnAttribute));

// Every flush asked for is answered with the disk's own answer, those still queued when the
// flusher goes too, and the flusher keeps no descriptor open: a replaced file is emptied for the
// next new image only while no one else has it open.
TEST(DiskFlusherTest, AnswersEveryFlushAfterLettingGoOfTheFile) {
    testing::TempFolder folder;
    ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0600), 0);
    std::vector<File> files;
    std::vector<std::future<std::error_code>> answers;
    {
        DiskFlusher flusher(2);
        for (int index = 0; index < 40; ++index) {
            File file(folder / std::to_string(index), OpenMode::CreateNew);
            ASSERT_FALSE(file.writeAll("new", 3));
            answers.push_back(flusher.flush(file.duplicate()));
            files.push_back(std::move(file));
        }
        answers.push_back(flusher.flush(File(folder / "pipe", OpenMode::ReadNoFollow)));
    }
    for (std::size_t index = 0; index < files.size(); ++index) {
        EXPECT_FALSE(answers[index].get()) << index;
        EXPECT_FALSE(files[index].emptyIfUnshared()) << index;
    }
    EXPECT_EQ(answers.back().get(), std::errc::invalid_argument);
}

class ModeTest : public ::testing::TestWithParam<mode_t> {};

// Owner and group too, where the process may give a file away.
TEST_P(ModeTest, TheNewFileKeepsModeOwnerAndGroup) {
    testing::TempFolder folder;
    const auto path = folder / "photo.jpg";
    ColourRamp(400, 300).jpegsave(path.c_str());
    const bool root = ::geteuid() == 0;
    ASSERT_TRUE(!root || ::chown(path.c_str(), 1234, 5678) == 0);
    ASSERT_EQ(::chmod(path.c_str(), GetParam()), 0);
    ASSERT_EQ(Shrink(path), "saved");
    const auto info = testing::StatOf(path);
    EXPECT_EQ(std::tuple(info.st_mode & 07777, info.st_uid, info.st_gid),
              std::tuple(GetParam(), root ? 1234u : ::geteuid(), root ? 5678u : ::getegid()));
}

INSTANTIATE_TEST_SUITE_P(Modes, ModeTest, ::testing::Values(0600, 0604, 0755, 0444, 02750));

// Each writer of the program's own, and one encoding into memory first, stops at a failed write.
class FailureTest : public ::testing::TestWithParam<const char*> {};

TEST_P(FailureTest, LeavesTheOriginalUntouched) {
    testing::TempFolder folder;
    const auto disk = folder / "disk";
    fs::create_directory(disk);
    const auto path = disk / GetParam();
    const bool readOnly = path.stem() == "readonly";
    testing::Mount mount(disk);
    if (!(readOnly || mount.smallTmpfs("1m")))
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root and mount)";
    const VImage image = ColourRamp(300, 200);
    testing::SaveAs(path.extension() == ".pgm" ? image[0] : image, path);
    const std::string before = testing::ReadBytes(path);
    if (readOnly && !mount.readOnly())
        GTEST_SKIP() << "cannot mount the folder read-only here (needs root and mount)";
    if (!readOnly)
        testing::FillDisk(disk / "filler");

    EXPECT_NE(Shrink(path).find(readOnly ? "Read-only file system" : "No space left"),
              std::string::npos);
    EXPECT_EQ(testing::ReadBytes(path), before);
    EXPECT_EQ(EntriesIn(disk), readOnly ? 1 : 2);
}

INSTANTIATE_TEST_SUITE_P(Files, FailureTest,
                         ::testing::Values("readonly.jpg", "full.jpg", "full.png", "full.pgm",
                                           "full.bmp"),
                         FileCase);

} // namespace
} // namespace kovi
