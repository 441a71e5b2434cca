// Every writable format: load, resize, save over the file, load again. The file keeps its
// format, bit depth, palette, grey or colour, alpha, and the metadata the format carries.
#include <functional>

#include <gtest/gtest.h>

#include "engine/HeaderPeek.h"
#include "engine/ImagingControl.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestImages.h"

namespace kovi {
namespace {

using testing::ColourRamp;
using testing::GreyRamp;
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
    std::function<void(const VImage&, const std::filesystem::path&)> save;
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
VImage WithMetadata(const VImage& image) {
    return testing::WithCameraExif(testing::WithIccAndXmp(image));
}
VImage Sixteen(const VImage& image) {
    const auto interpretation =
        image.bands() >= 3 ? VIPS_INTERPRETATION_RGB16 : VIPS_INTERPRETATION_GREY16;
    return (image.cast(VIPS_FORMAT_USHORT) * 257)
        .cast(VIPS_FORMAT_USHORT)
        .copy(VImage::option()->set("interpretation", interpretation));
}
VImage Cmyk() {
    return Rgb()
        .bandjoin(VImage::black(kSourceWidth, kSourceHeight) + 40)
        .cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_CMYK));
}

template <typename Save>
std::function<void(const VImage&, const std::filesystem::path&)> With(Save save) {
    return save;
}
auto Magick(const char* format, int bits = 0) {
    return With([format, bits](const VImage& image, const std::filesystem::path& path) {
        auto* options = VImage::option()->set("format", format);
        if (bits > 0)
            options->set("bitdepth", bits);
        image.magicksave(path.c_str(), options);
    });
}

const RoundTripCase kCases[] = {
    {"jpeg rgb", "photo.jpg", [] { return WithMetadata(Rgb()); },
     With([](auto& i, auto& p) { i.jpegsave(p.c_str()); }), 8, 24, 3, kExif | kIcc | kXmp, 30},
    {"jpeg grey", "grey.jpg", [] { return WithMetadata(Grey()); },
     With([](auto& i, auto& p) { i.jpegsave(p.c_str()); }), 8, 8, 1, kExif | kXmp, 30},
    {"jpeg cmyk", "cmyk.jpg", Cmyk, With([](auto& i, auto& p) { i.jpegsave(p.c_str()); }), 8, 32, 4,
     kNothingMore, 30},
    {"png rgba", "rgba.png", [] { return WithMetadata(Rgba()); },
     With([](auto& i, auto& p) { i.pngsave(p.c_str()); }), 10, 32, 4, kExif | kIcc | kXmp, 8},
    {"png palette 4 bit", "palette.png", Rgb, With([](auto& i, auto& p) {
         i.pngsave(p.c_str(), VImage::option()->set("palette", true)->set("bitdepth", 4));
     }),
     10, 4, 3, kNothingMore, 80},
    {"png palette 8 bit with alpha", "palette-alpha.png", Rgba,
     With([](auto& i, auto& p) { i.pngsave(p.c_str(), VImage::option()->set("palette", true)); }),
     10, 8, 4, kNothingMore, 40},
    {"png grey 1 bit", "bilevel.png", Bilevel,
     With([](auto& i, auto& p) { i.pngsave(p.c_str(), VImage::option()->set("bitdepth", 1)); }), 10,
     1, 1, kNothingMore, 8},
    // libvips writes the low bits of each sample at this depth, so the source is made in range.
    {"png grey 4 bit", "grey16.png", Grey, With([](auto& i, auto& p) {
         (i >> 4).cast(VIPS_FORMAT_UCHAR).pngsave(p.c_str(), VImage::option()->set("bitdepth", 4));
     }),
     10, 4, 1, kNothingMore, 20},
    {"png rgb 16 bit", "deep.png", [] { return Sixteen(Rgb()); },
     With([](auto& i, auto& p) { i.pngsave(p.c_str()); }), 10, 48, 3, kNothingMore, 8 * 257},
    {"gif palette 4 bit", "palette.gif", Rgb,
     With([](auto& i, auto& p) { i.gifsave(p.c_str(), VImage::option()->set("bitdepth", 4)); }), 3,
     4, 3, kNothingMore, 80},
    {"tiff rgb", "photo.tif", [] { return WithMetadata(Rgb()); }, With([](auto& i, auto& p) {
         i.tiffsave(p.c_str(),
                    VImage::option()->set("compression", VIPS_FOREIGN_TIFF_COMPRESSION_LZW));
     }),
     4, 24, 3, kIcc | kXmp, 8},
    {"tiff bilevel", "fax.tif", Bilevel, With([](auto& i, auto& p) {
         i.tiffsave(p.c_str(), VImage::option()
                                   ->set("bitdepth", 1)
                                   ->set("compression", VIPS_FOREIGN_TIFF_COMPRESSION_CCITTFAX4));
     }),
     4, 1, 1, kNothingMore, 8},
    {"tiff rgb 16 bit", "deep.tif", [] { return Sixteen(Rgb()); },
     With([](auto& i, auto& p) { i.tiffsave(p.c_str()); }), 4, 48, 3, kNothingMore, 8 * 257},
    {"webp lossless rgba", "lossless.webp", [] { return WithMetadata(Rgba()); },
     With([](auto& i, auto& p) { i.webpsave(p.c_str(), VImage::option()->set("lossless", true)); }),
     39, 32, 4, kExif | kIcc | kXmp, 8},
    {"webp lossy", "lossy.webp", Rgb, With([](auto& i, auto& p) { i.webpsave(p.c_str()); }), 39, 24,
     3, kNothingMore, 30},
    {"heif", "photo.heic", [] { return WithMetadata(Rgb()); },
     With([](auto& i, auto& p) { i.heifsave(p.c_str()); }), 40, 24, 3, kExif | kIcc | kXmp, 40},
    {"avif", "photo.avif", Rgb, With([](auto& i, auto& p) {
         i.heifsave(p.c_str(),
                    VImage::option()->set("compression", VIPS_FOREIGN_HEIF_COMPRESSION_AV1));
     }),
     41, 24, 3, kNothingMore, 40},
    {"jpeg xl", "photo.jxl", [] { return testing::WithIccAndXmp(Rgb()); },
     With([](auto& i, auto& p) { i.jxlsave(p.c_str()); }), 42, 24, 3, kIccRecoded, 30},
    {"jpeg 2000", "photo.jp2", Rgb, With([](auto& i, auto& p) { i.jp2ksave(p.c_str()); }), 36, 24,
     3, kNothingMore, 30},
    {"pbm", "bitmap.pbm", Bilevel,
     With([](auto& i, auto& p) { i.ppmsave(p.c_str(), VImage::option()->set("bitdepth", 1)); }), 23,
     1, 1, kNothingMore, 8},
    {"pgm 16 bit", "deep.pgm", [] { return Sixteen(Grey()); },
     With([](auto& i, auto& p) { i.ppmsave(p.c_str()); }), 22, 16, 1, kNothingMore, 8 * 257},
    {"ppm plain text", "plain.ppm", Rgb,
     With([](auto& i, auto& p) { i.ppmsave(p.c_str(), VImage::option()->set("ascii", true)); }), 21,
     24, 3, kNothingMore, 8},
    {"bmp", "picture.bmp", Rgb, Magick("BMP"), 5, 24, 3, kNothingMore, 8},
    {"bmp palette 8 bit", "palette.bmp", Rgb, Magick("BMP", 8), 5, 8, 3, kNothingMore, 40},
    {"bmp palette 4 bit", "palette16.bmp", Rgb, Magick("BMP", 4), 5, 4, 3, kNothingMore, 80},
    {"tga", "picture.tga", Rgb, Magick("TGA"), 1, 24, 3, kNothingMore, 8},
    {"tga mapped", "mapped.tga", Rgb, Magick("TGA", 8), 1, 8, 3, kNothingMore, 40},
    {"pcx", "picture.pcx", Rgb, Magick("PCX"), 2, 24, 3, kNothingMore, 8},
    {"pcx palette 8 bit", "palette.pcx", Rgb, Magick("PCX", 8), 2, 8, 3, kNothingMore, 40},
    {"ico", "icon.ico", Rgba, Magick("ICO"), 20, 32, 4, kNothingMore, 8},
};

class RoundTripTest : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(RoundTripTest, KeepsFormatDepthAndMetadata) {
    const RoundTripCase& c = GetParam();
    testing::TempFolder folder;
    const auto path = folder / c.file;
    c.save(c.source(), path);

    ImagingControl control;
    control.SetJpegLumFactor(40);
    control.SetJpegChromFactor(60);
    control.SetLoadPath(path);
    ASSERT_EQ(control.FileTypeCode(), c.typeCode);
    ASSERT_EQ(control.BitsPerPixel(), c.bitsPerPixel) << "before saving";
    ASSERT_TRUE(control.CanSave());
    ASSERT_TRUE(control.ResizeImage(kWidth, kHeight)) << control.LastError();
    control.SetSavePath(path);
    ASSERT_TRUE(control.SaveImage()) << control.LastError();
    EXPECT_TRUE(control.LastError().empty());

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
    EXPECT_FALSE(std::filesystem::exists(folder / ".kovi-rzk-tmp")); // nothing but the image left
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
}

INSTANTIATE_TEST_SUITE_P(Formats, RoundTripTest, ::testing::ValuesIn(kCases), [](const auto& info) {
    std::string name = info.param.name;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
});

// How the file stores its pixels, beyond what the measures show.
struct StorageCase {
    const char* name;
    const char* file;
    std::function<void(const std::filesystem::path&)> make;
    std::function<void(HeaderReader&)> check;
};

const StorageCase kStorageCases[] = {
    {"lossless webp stays lossless", "lossless.webp",
     [](auto& p) { Rgb().webpsave(p.c_str(), VImage::option()->set("lossless", true)); },
     [](HeaderReader& r) {
         EXPECT_EQ(PeekWebpLossless(r), std::optional<bool>(true));
     }},
    {"lossy webp stays lossy", "lossy.webp", [](auto& p) { Rgb().webpsave(p.c_str()); },
     [](HeaderReader& r) {
         EXPECT_EQ(PeekWebpLossless(r), std::optional<bool>(false));
     }},
    {"interlaced png stays interlaced", "interlaced.png",
     [](auto& p) { Rgb().pngsave(p.c_str(), VImage::option()->set("interlace", true)); },
     [](HeaderReader& r) {
         EXPECT_TRUE(PeekPng(r)->interlaced);
     }},
    {"plain text pgm stays plain text", "plain.pgm",
     [](auto& p) { Grey().ppmsave(p.c_str(), VImage::option()->set("ascii", true)); },
     [](HeaderReader& r) {
         EXPECT_TRUE(PeekPnm(r)->ascii);
     }},
    {"tiff keeps its compression", "deflate.tif",
     [](auto& p) {
         Rgb().tiffsave(p.c_str(), VImage::option()
                                       ->set("compression", VIPS_FOREIGN_TIFF_COMPRESSION_DEFLATE)
                                       ->set("predictor", VIPS_FOREIGN_TIFF_PREDICTOR_HORIZONTAL));
     },
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
    c.make(path);

    ImagingControl control;
    control.SetLoadPath(path);
    ASSERT_TRUE(control.ResizeImage(kWidth, kHeight));
    control.SetSavePath(path);
    ASSERT_TRUE(control.SaveImage()) << control.LastError();
    HeaderReader reader(path);
    c.check(reader);
}

INSTANTIATE_TEST_SUITE_P(Formats, StorageTest, ::testing::ValuesIn(kStorageCases),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

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
