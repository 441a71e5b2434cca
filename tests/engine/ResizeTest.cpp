// Resampling: exact output sizes whatever the ratio, shrink-on-load that never undershoots,
// and animations and multi-page files resized page by page.
#include <functional>

#include <gtest/gtest.h>

#include "engine/ImagingControl.h"
#include "engine/Resampler.h"
#include "tests/support/CaseName.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestImages.h"

namespace kovi {
namespace {

using testing::CaseName;
using testing::ColourRamp;
using testing::Near;
using testing::PixelAt;
using testing::Reload;
using testing::Solid;
using vips::VImage;

struct ShrinkCase {
    const char* name;
    int sourceWidth, sourceHeight, width, height;
    int shrink;
};

const ShrinkCase kShrinkCases[] = {
    {"exactly an eighth", 800, 600, 100, 75, 8},
    {"one pixel over an eighth", 800, 600, 101, 75, 4},
    {"height one over an eighth", 800, 600, 100, 76, 4},
    {"an eighth rounded up still covers", 801, 601, 101, 76, 8},
    {"exactly a quarter", 800, 600, 200, 150, 4},
    {"exactly a half", 800, 600, 400, 300, 2},
    {"just over a half", 800, 600, 401, 300, 1},
    {"camera picture to 640x480", 6000, 4000, 640, 427, 8},
    {"enlarging", 100, 100, 200, 200, 1},
};

class JpegShrinkTest : public ::testing::TestWithParam<ShrinkCase> {};

TEST_P(JpegShrinkTest, PicksTheLargestReductionThatCovers) {
    const ShrinkCase& c = GetParam();
    EXPECT_EQ(JpegShrinkOnLoad(c.sourceWidth, c.sourceHeight, c.width, c.height), c.shrink);
}

INSTANTIATE_TEST_SUITE_P(Boundaries, JpegShrinkTest, ::testing::ValuesIn(kShrinkCases), CaseName{});

struct SizeCase {
    const char* name;
    const char* file;
    int sourceWidth, sourceHeight, width, height;
    const char* options = "";
};

const SizeCase kSizeCases[] = {
    {"line 1000x1 to 80x1", "line-1000x1.png", 1000, 1, 80, 1},
    {"column 1x1000 to 1x80", "column-1x1000.png", 1, 1000, 1, 80},
    {"odd sizes", "odd-641x479.png", 641, 479, 640, 478},
    {"to a single pixel", "small-3x3.png", 3, 3, 1, 1},
    {"enlarging", "small-20x10.png", 20, 10, 41, 21},
    {"jpeg exactly an eighth", "eighth.jpg", 800, 600, 100, 75, "Q=95"},
    {"jpeg one over an eighth", "over-eighth.jpg", 800, 600, 101, 75, "Q=95"},
    {"jpeg eighth rounded up", "rounded.jpg", 801, 601, 101, 76, "Q=95"},
    {"jpeg awkward ratio", "awkward.jpg", 1999, 1001, 641, 97, "Q=95"},
    {"webp reduced while decoding", "large.webp", 1000, 750, 333, 250},
    {"jpeg 2000 resolution level", "levels.jp2", 2000, 1500, 499, 374},
    {"gif", "small.gif", 97, 61, 13, 7},
};

class ExactSizeTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(ExactSizeTest, ResizesSavesAndReloadsAtExactlyTheSizeAskedFor) {
    const SizeCase& c = GetParam();
    testing::TempFolder folder;
    const auto path = folder / c.file;
    testing::SaveAs(ColourRamp(c.sourceWidth, c.sourceHeight), path, c.options);

    ImagingControl control;
    control.SetLoadPath(path);
    ASSERT_EQ(control.ImageWidth(), c.sourceWidth);
    ASSERT_TRUE(control.ResizeImage(c.width, c.height)) << control.LastError();
    EXPECT_EQ(control.ImageWidth(), c.width);
    EXPECT_EQ(control.ImageHeight(), c.height);
    control.SetSavePath(path);
    ASSERT_TRUE(control.SaveImage()) << control.LastError();

    control.SetLoadPath("");
    control.SetLoadPath(path);
    EXPECT_EQ(control.ImageWidth(), c.width);
    EXPECT_EQ(control.ImageHeight(), c.height);
    // The ramp is not flipped, mirrored or shifted: red rises left to right, green downwards.
    const VImage result = Reload(path).pixels;
    // A side shrunk to one pixel holds the mean of the ramp along it.
    const auto edges = [](int source, int target) {
        return target > 1   ? std::pair{0.0, 255.0}
               : source > 1 ? std::pair{127.5, 127.5}
                            : std::pair{0.0, 0.0};
    };
    const auto [left, right] = edges(c.sourceWidth, c.width);
    const auto [top, bottom] = edges(c.sourceHeight, c.height);
    const auto topLeft = PixelAt(result, 0, 0);
    const auto bottomRight = PixelAt(result, c.width - 1, c.height - 1);
    EXPECT_TRUE(Near({topLeft[0], topLeft[1]}, {left, top}, 40)) << topLeft[0] << "," << topLeft[1];
    EXPECT_TRUE(Near({bottomRight[0], bottomRight[1]}, {right, bottom}, 40))
        << bottomRight[0] << "," << bottomRight[1];
}

INSTANTIATE_TEST_SUITE_P(Ratios, ExactSizeTest, ::testing::ValuesIn(kSizeCases), CaseName{});

const std::vector<std::vector<double>> kFrameColours{{255, 0, 0}, {0, 0, 255}, {0, 255, 0}};

VImage ThreeSolidFrames(int width, int height) {
    std::vector<VImage> frames;
    for (const auto& colour : kFrameColours)
        frames.push_back(Solid(width, height, colour));
    return testing::Animation(frames, 120);
}

struct PagesCase {
    const char* name;
    const char* file;
    const char* options;
    bool animated; // keeps its frame delays and loop
};

const PagesCase kPagesCases[] = {
    {"animated gif", "animated.gif", "", true},
    {"animated webp", "animated.webp", "lossless", true},
    {"multi-page tiff", "pages.tif", "", false},
};

class AllPagesTest : public ::testing::TestWithParam<PagesCase> {};

TEST_P(AllPagesTest, ResizesEveryPageOnItsOwn) {
    const PagesCase& c = GetParam();
    testing::TempFolder folder;
    const auto path = folder / c.file;
    testing::SaveAs(ThreeSolidFrames(60, 40), path, c.options);

    ImagingControl control;
    control.SetLoadPath(path);
    ASSERT_EQ(control.ImageHeight(), 40);
    ASSERT_TRUE(control.ResizeImage(25, 17)) << control.LastError();
    control.SetSavePath(path);
    ASSERT_TRUE(control.SaveImage()) << control.LastError();

    const VImage all = VImage::new_from_file(path.c_str(), VImage::option()->set("n", -1));
    ASSERT_EQ(testing::IntField(all, "n-pages"), 3);
    ASSERT_EQ(vips_image_get_page_height(all.get_image()), 17);
    ASSERT_EQ(all.width(), 25);
    ASSERT_EQ(all.height(), 3 * 17);
    for (int page = 0; page < 3; ++page) {
        // The first and last row of each frame keep its colour: nothing bled across.
        for (const int y : {page * 17, page * 17 + 16}) {
            const auto pixel = PixelAt(all.extract_band(0, VImage::option()->set("n", 3)), 12, y);
            EXPECT_TRUE(Near(pixel, kFrameColours[static_cast<std::size_t>(page)], 8))
                << "page " << page << " row " << y << ": " << pixel[0] << "," << pixel[1] << ","
                << pixel[2];
        }
    }
    if (c.animated) {
        EXPECT_EQ(all.get_array_int("delay"), std::vector<int>(3, 120));
        EXPECT_EQ(testing::IntField(all, "loop"), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, AllPagesTest, ::testing::ValuesIn(kPagesCases), CaseName{});

TEST(ResizeTest, RefusesSidesBelowOneAndAnEmptyControl) {
    ImagingControl empty;
    EXPECT_FALSE(empty.ResizeImage(10, 10));
    EXPECT_FALSE(empty.LastError().empty());

    testing::TempFolder folder;
    const auto path = folder / "a.png";
    ColourRamp(100, 10).pngsave(path.c_str());
    ImagingControl control;
    control.SetLoadPath(path);
    EXPECT_FALSE(control.ResizeImage(0, 1));
    EXPECT_FALSE(control.ResizeImage(80, -3));
    EXPECT_FALSE(control.LastError().empty());
    EXPECT_EQ(control.ImageWidth(), 100);
}

// A second resize starts again from the file, and each save writes the size last asked for.
TEST(ResizeTest, ASecondResizeAndASecondSaveGiveTheLastSize) {
    testing::TempFolder folder;
    const auto source = folder / "a.jpg";
    const auto copy = folder / "b.jpg";
    ColourRamp(400, 300).jpegsave(source.c_str());

    ImagingControl control;
    control.SetLoadPath(source);
    ASSERT_TRUE(control.ResizeImage(200, 150));
    ASSERT_TRUE(control.ResizeImage(40, 30));
    control.SetSavePath(copy);
    ASSERT_TRUE(control.SaveImage()) << control.LastError();
    control.SetSavePath(source);
    ASSERT_TRUE(control.SaveImage()) << control.LastError();
    for (const auto& path : {copy, source}) {
        EXPECT_EQ(Reload(path).header.width(), 40) << path;
        EXPECT_EQ(Reload(path).header.height(), 30) << path;
    }
}

TEST(ResizeTest, SavingWithoutResizingKeepsTheSize) {
    testing::TempFolder folder;
    const auto path = folder / "a.webp";
    ColourRamp(123, 45).webpsave(path.c_str());

    ImagingControl control;
    control.SetLoadPath(path);
    control.SetSavePath(path);
    ASSERT_TRUE(control.SaveImage()) << control.LastError();
    EXPECT_EQ(Reload(path).header.width(), 123);
    EXPECT_EQ(Reload(path).header.height(), 45);
}

} // namespace
} // namespace kovi
