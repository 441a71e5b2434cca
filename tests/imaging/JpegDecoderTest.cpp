// JPEGs decoded whole by the program must read exactly as libvips' loader reads them, at every
// shrink, and every file that libjpeg reads only with a warning must be left to libvips.
#include "core/imaging/foreign/JpegDecoder.h"

#include "tests/support/CaseName.h"
#include "tests/support/CraftedFiles.h"
#include "tests/support/TestImages.h"

#include <gtest/gtest.h>

namespace kovi {
namespace {

using Bytes = std::vector<std::uint8_t>;
using vips::VImage;

struct PlainCase {
    const char* name;
    bool grey;
    bool progressive;
    bool fullChroma;
    int restartInterval;
};

const PlainCase kPlainCases[] = {{"colour", false, false, false, 0},
                                 {"colour full chroma", false, false, true, 0},
                                 {"colour progressive", false, true, false, 0},
                                 {"colour restart markers", false, false, false, 1},
                                 {"grey", true, false, false, 0},
                                 {"grey progressive", true, true, false, 0}};

// Noise over a ramp: every block has detail, and the colour differs across the picture.
VImage Picture(bool grey) {
    const VImage ramp = grey ? testing::GreyRamp(203, 157) : testing::ColourRamp(203, 157);
    return (ramp + VImage::gaussnoise(203, 157, VImage::option()->set("sigma", 30)))
        .cast(VIPS_FORMAT_UCHAR);
}

std::string Jpeg(const VImage& picture, const PlainCase& c) {
    return testing::Encoded(picture, ".jpg",
                            VImage::option()
                                ->set("interlace", c.progressive)
                                ->set("subsample_mode", c.fullChroma ? VIPS_FOREIGN_SUBSAMPLE_OFF
                                                                     : VIPS_FOREIGN_SUBSAMPLE_AUTO)
                                ->set("restart_interval", c.restartInterval));
}

class PlainJpeg : public ::testing::TestWithParam<PlainCase> {};

TEST_P(PlainJpeg, ReadsAsLibvipsReadsItAtEveryShrink) {
    const std::string file = Jpeg(Picture(GetParam().grey), GetParam());
    for (const int shrink : {1, 2, 4, 8}) {
        const VImage libvips = VImage::new_from_buffer(file.data(), file.size(), "",
                                                       VImage::option()->set("shrink", shrink));
        const auto decoded = DecodePlainJpeg(Bytes(file.begin(), file.end()), shrink, 1 << 20);
        ASSERT_TRUE(decoded) << "shrink " << shrink;
        EXPECT_EQ(std::tuple(decoded->width, decoded->height, decoded->bands),
                  std::tuple(libvips.width(), libvips.height(), libvips.bands()));
        EXPECT_EQ(Bytes(decoded->pixels.get(), decoded->pixels.get() + decoded->bytes),
                  testing::PixelBytes(libvips))
            << "shrink " << shrink;
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, PlainJpeg, ::testing::ValuesIn(kPlainCases), testing::CaseName{});

TEST(PlainJpegTest, LeavesCmykWarnedAndLargeFilesToLibvips) {
    const std::string plain = Jpeg(Picture(false), kPlainCases[0]);
    // A marker in the middle of the scan: libjpeg warns, and makes up the rest.
    std::string corrupt = plain;
    corrupt.replace(corrupt.size() / 2, 2, "\xFF\xD5");
    constexpr std::int64_t kAll = 203 * 157;
    const std::tuple<const char*, std::string, std::int64_t> files[] = {
        {"CMYK", testing::Encoded(testing::Cmyk(64, 48), ".jpg"), kAll},
        {"cut short", plain.substr(0, plain.size() * 2 / 3), kAll},
        {"corrupt scan", corrupt, kAll},
        {"more pixels than allowed", plain, kAll - 1}};
    for (const auto& [name, file, maxPixels] : files)
        EXPECT_FALSE(DecodePlainJpeg(Bytes(file.begin(), file.end()), 1, maxPixels)) << name;
    EXPECT_TRUE(DecodePlainJpeg(Bytes(plain.begin(), plain.end()), 1, kAll));
}

} // namespace
} // namespace kovi
