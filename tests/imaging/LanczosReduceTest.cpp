// The program's own reduce of small pictures gives libvips' resize bytes exactly, and leaves to
// libvips what it cannot.
#include <random>

#include <gtest/gtest.h>

#include "core/imaging/base/VipsRuntime.h"
#include "core/imaging/resample/LanczosReduce.h"
#include "tests/support/CaseName.h"
#include "tests/support/TestImages.h"

namespace kovi {
namespace {

using testing::PixelBytes;
using vips::VImage;

struct ReduceCase {
    const char* name;
    int width, height, bands, toWidth, toHeight;
    bool reducedHere;
};

// Noise, so that every tap of every mask and the clamping of overshoots show in the result.
VImage Noise(int width, int height, int bands) {
    LoadImagingModules();
    std::minstd_rand random(static_cast<unsigned>(width * 7919 + height * 31 + bands));
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * bands);
    for (auto& sample : pixels)
        sample = static_cast<std::uint8_t>(random());
    VImage image(vips_image_new_from_memory_copy(pixels.data(), pixels.size(), width, height, bands,
                                                 VIPS_FORMAT_UCHAR));
    image.set(VIPS_META_SEQUENTIAL, 1); // as a loader's picture
    return image;
}

class LanczosReduce : public ::testing::TestWithParam<ReduceCase> {};

TEST_P(LanczosReduce, GivesLibvipsResizeBytesOrLeavesItToLibvips) {
    const ReduceCase& c = GetParam();
    const VImage page = Noise(c.width, c.height, c.bands);
    const auto ours = ReduceAsResizeWould(page, c.toWidth, c.toHeight);
    ASSERT_EQ(ours.has_value(), c.reducedHere);
    if (!ours)
        return;
    const VImage theirs =
        page.resize(static_cast<double>(c.toWidth) / c.width,
                    VImage::option()
                        ->set("vscale", static_cast<double>(c.toHeight) / c.height)
                        ->set("kernel", VIPS_KERNEL_LANCZOS3));
    ASSERT_EQ(ours->width(), c.toWidth);
    ASSERT_EQ(ours->height(), c.toHeight);
    EXPECT_TRUE(PixelBytes(*ours) == PixelBytes(theirs));
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, LanczosReduce,
    ::testing::Values(ReduceCase{"thumbnail 120x90 to 80x60", 120, 90, 3, 80, 60, true},
                      ReduceCase{"grey square", 100, 100, 1, 80, 80, true},
                      ReduceCase{"uneven factors", 150, 100, 3, 80, 53, true},
                      ReduceCase{"just under four", 333, 250, 3, 107, 80, true},
                      ReduceCase{"portrait CMYK", 97, 130, 4, 60, 80, true},
                      ReduceCase{"many line cache bands", 1000, 700, 3, 640, 448, true},
                      ReduceCase{"bands restart the sampling", 40, 193, 1, 30, 192, true},
                      ReduceCase{"to one row", 90, 3, 3, 30, 1, true},
                      ReduceCase{"box shrink first", 400, 300, 3, 80, 60, false},
                      ReduceCase{"one side kept", 120, 90, 3, 120, 60, false}),
    testing::CaseName{});

TEST(LanczosReduceLimits, OnlyEightBitPicturesReadTopToBottom) {
    const VImage page = Noise(120, 90, 3);
    EXPECT_FALSE(ReduceAsResizeWould(page.cast(VIPS_FORMAT_USHORT), 80, 60));
    VImage anyOrder = page.copy_memory();
    anyOrder.remove(VIPS_META_SEQUENTIAL);
    EXPECT_FALSE(ReduceAsResizeWould(anyOrder, 80, 60));
}

} // namespace
} // namespace kovi
