// Every writable format: load, resize, save over the file, load again. The file keeps its
// format, bit depth, palette, grey or colour, alpha, and the metadata the format carries.
#include <functional>

#include <gtest/gtest.h>

#include "engine/HeaderPeek.h"
#include "engine/ImagingControl.h"
#include "tests/support/CaseName.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestImages.h"

namespace kovi {
namespace {

using testing::CaseName;
using testing::ColourRamp;
using testing::GreyRamp;
using testing::Sixteen;
using vips::VImage;

constexpr int kSourceWidth = 120;
constexpr int kSourceHeight = 80;
constexpr int kWidth = 61;
constexpr int kHeight = 37;

enum Keeps : unsigned {
    kNothingMore = 0,
    kExif = 1, // with the pixel size updated and the camera's entries kept
    kIcc = 2,  // byte for byte
    kXmp = 4,
    kIccRecoded = 8, // present; libjxl stores profiles in its own compact coding
};

struct RoundTripCase {
    const char* name;
    const char* file;
    std::function<VImage()> source;
    const char* options; // for libvips' saver
    int typeCode;
    int bitsPerPixel;
    int bands;
    unsigned keeps;
    double tolerance; // for the ramp's ends, after lossy or palette coding
};

VImage Rgb() {
    return ColourRamp(kSourceWidth, kSourceHeight);
}
VImage Rgba() {
    return ColourRamp(kSourceWidth, kSourceHeight, 4);
}
VImage Grey() {
    return GreyRamp(kSourceWidth, kSourceHeight);
}
// Black on the left half, white on the right: what any 1-bit coding keeps exactly.
VImage Bilevel() {
    return (Grey() >= 128)
        .cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_B_W));
}
VImage RgbWithMetadata() {
    return testing::WithCameraExif(testing::WithIccAndXmp(Rgb()));
}
VImage RgbaWithMetadata() {
    return testing::WithCameraExif(testing::WithIccAndXmp(Rgba()));
}

const RoundTripCase kCases[] = {
    {"jpeg rgb", "photo.jpg", RgbWithMetadata, "", 8, 24, 3, kExif | kIcc | kXmp, 30},
    {"jpeg grey", "grey.jpg",
     [] { return testing::WithCameraExif(testing::WithIccAndXmp(Grey())); }, "", 8, 8, 1,
     kExif | kXmp, 30},
    {"jpeg cmyk", "cmyk.jpg", [] { return testing::Cmyk(kSourceWidth, kSourceHeight); }, "", 8, 32,
     4, kNothingMore, 30},
    {"png rgba", "rgba.png", RgbaWithMetadata, "", 10, 32, 4, kExif | kIcc | kXmp, 8},
    {"png palette 4 bit", "palette.png", Rgb, "palette,bitdepth=4", 10, 4, 3, kNothingMore, 80},
    {"png palette 8 bit with alpha", "palette-alpha.png", Rgba, "palette", 10, 8, 4, kNothingMore,
     40},
    {"png grey 1 bit", "bilevel.png", Bilevel, "bitdepth=1", 10, 1, 1, kNothingMore, 8},
    // libvips writes the low bits of each sample at this depth, so the source is made in range.
    {"png grey 4 bit", "grey16.png", [] { return (Grey() >> 4).cast(VIPS_FORMAT_UCHAR); },
     "bitdepth=4", 10, 4, 1, kNothingMore, 20},
    {"png rgb 16 bit", "deep.png", [] { return Sixteen(Rgb()); }, "", 10, 48, 3, kNothingMore,
     8 * 257},
    {"gif palette 4 bit", "palette.gif", Rgb, "bitdepth=4", 3, 4, 3, kNothingMore, 80},
    {"tiff rgb", "photo.tif", RgbWithMetadata, "compression=lzw", 4, 24, 3, kIcc | kXmp, 8},
    {"tiff bilevel", "fax.tif", Bilevel, "bitdepth=1,compression=ccittfax4", 4, 1, 1, kNothingMore,
     8},
    {"tiff rgb 16 bit", "deep.tif", [] { return Sixteen(Rgb()); }, "", 4, 48, 3, kNothingMore,
     8 * 257},
    {"webp lossless rgba", "lossless.webp", RgbaWithMetadata, "lossless", 39, 32, 4,
     kExif | kIcc | kXmp, 8},
    {"webp lossy", "lossy.webp", Rgb, "", 39, 24, 3, kNothingMore, 30},
    {"heif", "photo.heic", RgbWithMetadata, "", 40, 24, 3, kExif | kIcc | kXmp, 40},
    {"avif", "photo.avif", Rgb, "compression=av1", 41, 24, 3, kNothingMore, 40},
    {"jpeg xl", "photo.jxl", [] { return testing::WithIccAndXmp(Rgb()); }, "", 42, 24, 3,
     kIccRecoded, 30},
    {"jpeg 2000", "photo.jp2", Rgb, "", 36, 24, 3, kNothingMore, 30},
    {"pbm", "bitmap.pbm", Bilevel, "bitdepth=1", 23, 1, 1, kNothingMore, 8},
    {"pgm 16 bit", "deep.pgm", [] { return Sixteen(Grey()); }, "", 22, 16, 1, kNothingMore,
     8 * 257},
    {"ppm plain text", "plain.ppm", Rgb, "ascii", 21, 24, 3, kNothingMore, 8},
    {"bmp", "picture.bmp", Rgb, "", 5, 24, 3, kNothingMore, 8},
    {"bmp palette 8 bit", "palette.bmp", Rgb, "bitdepth=8", 5, 8, 3, kNothingMore, 40},
    {"bmp palette 4 bit", "palette16.bmp", Rgb, "bitdepth=4", 5, 4, 3, kNothingMore, 80},
    {"tga", "picture.tga", Rgb, "", 1, 24, 3, kNothingMore, 8},
    {"tga mapped", "mapped.tga", Rgb, "bitdepth=8", 1, 8, 3, kNothingMore, 40},
    {"pcx", "picture.pcx", Rgb, "", 2, 24, 3, kNothingMore, 8},
    {"pcx palette 8 bit", "palette.pcx", Rgb, "bitdepth=8", 2, 8, 3, kNothingMore, 40},
    {"ico", "icon.ico", Rgba, "", 20, 32, 4, kNothingMore, 8},
};

// Loads, resizes to kWidth x kHeight and saves over the file.
void ShrinkInPlace(const std::filesystem::path& path) {
    ImagingControl control;
    control.SetJpegLumFactor(40);
    control.SetJpegChromFactor(60);
    control.SetLoadPath(path);
    ASSERT_TRUE(control.CanSave());
    ASSERT_TRUE(control.ResizeImage(kWidth, kHeight)) << control.LastError();
    control.SetSavePath(path);
    ASSERT_TRUE(control.SaveImage()) << control.LastError();
    EXPECT_TRUE(control.LastError().empty());
}

class RoundTripTest : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(RoundTripTest, KeepsFormatDepthAndMetadata) {
    const RoundTripCase& c = GetParam();
    testing::TempFolder folder;
    const auto path = folder / c.file;
    testing::SaveAs(c.source(), path, c.options);

    ImagingControl control;
    control.SetLoadPath(path);
    ASSERT_EQ(control.FileTypeCode(), c.typeCode);
    ASSERT_EQ(control.BitsPerPixel(), c.bitsPerPixel) << "before saving";
    ASSERT_NO_FATAL_FAILURE(ShrinkInPlace(path));
    control.SetLoadPath("");
    control.SetLoadPath(path);
    EXPECT_EQ(control.FileTypeCode(), c.typeCode);
    EXPECT_EQ(control.ImageWidth(), kWidth);
    EXPECT_EQ(control.ImageHeight(), kHeight);
    EXPECT_EQ(control.BitsPerPixel(), c.bitsPerPixel);

    const auto reloaded = testing::Reload(path);
    const VImage& saved = reloaded.header;
    const VImage& pixels = reloaded.pixels;
    EXPECT_EQ(saved.bands(), c.bands);
    const double fullScale = saved.format() == VIPS_FORMAT_USHORT ? 65535 : 255;
    EXPECT_NEAR(testing::PixelAt(pixels, 0, kHeight / 2)[0], 0, c.tolerance);
    EXPECT_NEAR(testing::PixelAt(pixels, kWidth - 1, kHeight / 2)[0], fullScale, c.tolerance);
    if (saved.bands() >= 3) { // not flipped either: the second band rises downwards
        EXPECT_NEAR(testing::PixelAt(pixels, kWidth / 2, 0)[1], 0, c.tolerance);
        EXPECT_NEAR(testing::PixelAt(pixels, kWidth / 2, kHeight - 1)[1], fullScale, c.tolerance);
    }

    if (c.keeps & kExif) {
        EXPECT_EQ(testing::ExifNumber(saved, "exif-ifd2-PixelXDimension"), kWidth);
        EXPECT_EQ(testing::ExifNumber(saved, "exif-ifd2-PixelYDimension"), kHeight);
        ASSERT_NE(saved.get_typeof("exif-ifd0-Make"), 0u);
        EXPECT_EQ(std::string(saved.get_string("exif-ifd0-Make")).rfind(testing::kCameraMake, 0),
                  0u);
    }
    EXPECT_EQ(testing::HasBlob(saved, "icc-profile-data"), (c.keeps & (kIcc | kIccRecoded)) != 0);
    EXPECT_EQ(testing::HasBlob(saved, "xmp-data"), (c.keeps & kXmp) != 0);
    if (c.keeps & kIcc) {
        EXPECT_EQ(testing::BlobBytes(saved, "icc-profile-data"), testing::SrgbProfile());
    }
    if (c.keeps & kXmp) {
        EXPECT_EQ(testing::BlobBytes(saved, "xmp-data"), testing::kTestXmp);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
}

INSTANTIATE_TEST_SUITE_P(Formats, RoundTripTest, ::testing::ValuesIn(kCases), CaseName{});

// How the file stores its pixels, beyond what the measures show.
struct StorageCase {
    const char* name;
    const char* file;
    const char* options;
    std::function<void(HeaderReader&)> check;
    std::function<VImage()> source = Rgb;
};

const StorageCase kStorageCases[] = {
    {"lossless webp stays lossless", "lossless.webp", "lossless",
     [](HeaderReader& r) {
         EXPECT_EQ(PeekWebpLossless(r), std::optional<bool>(true));
     }},
    {"lossy webp stays lossy", "lossy.webp", "",
     [](HeaderReader& r) {
         EXPECT_EQ(PeekWebpLossless(r), std::optional<bool>(false));
     }},
    {"interlaced png stays interlaced", "interlaced.png", "interlace",
     [](HeaderReader& r) {
         EXPECT_TRUE(PeekPng(r)->interlaced);
     }},
    {"progressive jpeg stays progressive", "progressive.jpg", "interlace",
     [](HeaderReader& r) {
         EXPECT_TRUE(PeekJpeg(r)->progressive);
     }},
    {"baseline jpeg stays baseline", "baseline.jpg", "",
     [](HeaderReader& r) {
         EXPECT_FALSE(PeekJpeg(r)->progressive);
     }},
    {"plain text ppm stays plain text", "plain.ppm", "ascii",
     [](HeaderReader& r) {
         EXPECT_TRUE(PeekPnm(r)->ascii);
     }},
    {"tiff keeps its compression", "deflate.tif", "compression=deflate,predictor=horizontal",
     [](HeaderReader& r) {
         EXPECT_EQ(PeekTiff(r)->compression, 8);
         EXPECT_EQ(PeekTiff(r)->predictor, 2);
     }},
};

class StorageTest : public ::testing::TestWithParam<StorageCase> {};

TEST_P(StorageTest, KeepsHowTheFileStoresItsPixels) {
    const StorageCase& c = GetParam();
    testing::TempFolder folder;
    const auto path = folder / c.file;
    testing::SaveAs(c.source(), path, c.options);
    ASSERT_NO_FATAL_FAILURE(ShrinkInPlace(path));
    HeaderReader reader(path);
    c.check(reader);
}

INSTANTIATE_TEST_SUITE_P(Formats, StorageTest, ::testing::ValuesIn(kStorageCases), CaseName{});

TEST(SaveTest, ASixteenBitPgmKeepsItsSampleRange) {
    testing::TempFolder folder;
    const auto path = folder / "ten-bit.pgm";
    testing::WriteBytes(path, "P2\n4 2\n1023\n0 341 682 1023\n0 341 682 1023\n");

    ImagingControl control;
    control.SetLoadPath(path);
    ASSERT_TRUE(control.ResizeImage(2, 1));
    control.SetSavePath(path);
    ASSERT_TRUE(control.SaveImage()) << control.LastError();
    const std::string text = testing::ReadBytes(path);
    EXPECT_EQ(text.substr(0, 12), "P2\n2 1\n1023\n");
    EXPECT_NEAR(testing::Reload(path).pixels.getpoint(1, 0)[0], 900, 150);
}

} // namespace
} // namespace kovi
