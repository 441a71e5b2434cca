// The size of a still WebP is read from its chunks, not through libvips; it must agree with
// what libwebp reports, and anything unusual must still go to libwebp.
#include "engine/ImageHeader.h"

#include "tests/support/TempFolder.h"
#include "tests/support/TestImages.h"

#include <gtest/gtest.h>

#include <fstream>

namespace kovi {
namespace {

namespace fs = std::filesystem;
using testing::Animation;
using testing::ColourRamp;
using testing::Solid;
using testing::TempFolder;
using testing::WithIccAndXmp;

struct WebpCase {
    const char* name;
    int width;
    int height;
    int bands;
    bool lossless;
    bool withProfile; // an ICC chunk makes it an extended file
};

void PrintTo(const WebpCase& one, std::ostream* out) {
    *out << one.name;
}

class WebpStill : public ::testing::TestWithParam<WebpCase> {};

TEST_P(WebpStill, HeaderAgreesWithLibwebp) {
    const WebpCase& one = GetParam();
    TempFolder folder;
    const fs::path path = folder / "a.webp";
    auto image = ColourRamp(one.width, one.height, one.bands);
    if (one.withProfile)
        image = WithIccAndXmp(image);
    image.webpsave(path.c_str(), vips::VImage::option()->set("lossless", one.lossless));

    const auto header = ReadImageHeader(path);
    ASSERT_TRUE(header);
    const auto reference = vips::VImage::new_from_file(path.c_str());
    EXPECT_EQ(header->format, ImageFormat::WebP);
    EXPECT_EQ(header->width, reference.width());
    EXPECT_EQ(header->height, reference.height());
    EXPECT_EQ(header->bands, reference.bands());
    EXPECT_EQ(header->bitsPerPixel, 8 * reference.bands());
    EXPECT_EQ(header->pages, 1);
    EXPECT_EQ(header->lossless, one.lossless);
}

INSTANTIATE_TEST_SUITE_P(Cases, WebpStill,
                         ::testing::Values(WebpCase{"lossy", 1600, 1200, 3, false, false},
                                           WebpCase{"lossy_with_alpha", 1201, 901, 4, false, false},
                                           WebpCase{"lossless", 1200, 1600, 3, true, false},
                                           WebpCase{"lossless_with_alpha", 333, 77, 4, true, false},
                                           WebpCase{"lossy_extended", 640, 480, 3, false, true},
                                           WebpCase{"lossless_extended_with_alpha", 99, 1000, 4,
                                                    true, true},
                                           WebpCase{"one_pixel", 1, 1, 3, false, false},
                                           WebpCase{"widest", 16383, 2, 3, true, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WebpHeader, AnimationsAndDamagedFilesAreLeftToLibwebp) {
    TempFolder folder;
    const fs::path animated = folder / "animated.webp";
    // Frames that differ, as libwebp merges equal ones.
    Animation(
        {Solid(320, 240, {255, 0, 0}), Solid(320, 240, {0, 255, 0}), Solid(320, 240, {0, 0, 255})},
        100)
        .webpsave(animated.c_str());
    const auto frames = ReadImageHeader(animated);
    ASSERT_TRUE(frames);
    EXPECT_EQ(frames->pages, 3);
    EXPECT_EQ(frames->height, 240);

    const fs::path whole = folder / "whole.webp";
    ColourRamp(800, 600).webpsave(whole.c_str());
    std::ifstream in(whole, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    // Cut inside the picture, and a RIFF size beyond the end of the file: libwebp reads neither.
    for (const std::size_t keep : {bytes.size() / 2, bytes.size() - 1, std::size_t{40}}) {
        const fs::path cut = folder / ("cut" + std::to_string(keep) + ".webp");
        std::ofstream(cut, std::ios::binary).write(bytes.data(), static_cast<long>(keep));
        EXPECT_FALSE(ReadImageHeader(cut)) << keep << " of " << bytes.size() << " bytes";
    }
}

} // namespace
} // namespace kovi
