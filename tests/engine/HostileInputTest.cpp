// Files whose headers claim absurd sizes are measured but never decoded, so a few bytes
// cannot take all the memory or hours of work; and controls on separate threads do not meet.
#include <functional>
#include <thread>

#include <gtest/gtest.h>

#include "engine/ImagingControl.h"
#include "tests/support/CaseName.h"
#include "tests/support/CraftedFiles.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestImages.h"

namespace kovi {
namespace {

using testing::BmpClaiming;
using testing::CaseName;
using testing::ColourRamp;
using testing::GifClaiming;
using testing::JpegClaiming;
using testing::PngClaiming;
using testing::TiffClaiming;

struct ClaimCase {
    const char* name;
    const char* file;
    std::function<std::string()> bytes;
    int width;
    int height;
};

const ClaimCase kClaimCases[] = {
    {"jpeg 60000x60000", "huge.jpg", [] { return JpegClaiming(60000, 60000); }, 60000, 60000},
    {"png 100000x100000", "huge.png", [] { return PngClaiming(100000, 100000); }, 100000, 100000},
    {"gif 65535x65535", "huge.gif", [] { return GifClaiming(65535, 65535); }, 65535, 65535},
    {"bmp 100000x100000", "huge.bmp", [] { return BmpClaiming(100000, 100000); }, 100000, 100000},
    {"tiff 100000x100000", "huge.tif", [] { return TiffClaiming(100000, 100000); }, 100000, 100000},
};

class HugeClaimTest : public ::testing::TestWithParam<ClaimCase> {};

TEST_P(HugeClaimTest, IsMeasuredButRefusedForDecoding) {
    const ClaimCase& c = GetParam();
    testing::TempFolder folder;
    const auto path = folder / c.file;
    const std::string bytes = c.bytes();
    testing::WriteBytes(path, bytes);

    ImagingControl control;
    control.SetLoadPath(path);
    ASSERT_EQ(control.ImageWidth(), c.width);
    ASSERT_EQ(control.ImageHeight(), c.height);
    EXPECT_FALSE(control.ResizeImage(640, 480));
    EXPECT_NE(control.LastError().find("too large"), std::string::npos) << control.LastError();
    control.SetSavePath(path);
    EXPECT_FALSE(control.SaveImage());
    EXPECT_FALSE(control.Preview(128).has_value());
    EXPECT_EQ(testing::ReadBytes(path), bytes);
}

INSTANTIATE_TEST_SUITE_P(Headers, HugeClaimTest, ::testing::ValuesIn(kClaimCases), CaseName{});

TEST(HostileInputTest, ControlsOnSeparateThreadsWorkSideBySide) {
    testing::TempFolder folder;
    constexpr int kThreads = 4;
    for (int i = 0; i < kThreads; ++i)
        ColourRamp(800 + i, 600)
            .jpegsave((folder / ("photo" + std::to_string(i) + ".jpg")).c_str());

    std::vector<int> widths(kThreads, 0);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back([&, i] {
            const auto path = folder / ("photo" + std::to_string(i) + ".jpg");
            for (int round = 0; round < 3; ++round) {
                ImagingControl control;
                control.SetLoadPath(path);
                if (control.ResizeImage(control.ImageWidth() - 100, control.ImageHeight() - 75)) {
                    control.SetSavePath(path);
                    control.SaveImage();
                }
            }
            ImagingControl control;
            control.SetLoadPath(path);
            widths[static_cast<std::size_t>(i)] = control.ImageWidth();
        });
    for (auto& thread : threads)
        thread.join();
    for (int i = 0; i < kThreads; ++i)
        EXPECT_EQ(widths[static_cast<std::size_t>(i)], 800 + i - 300);
}

} // namespace
} // namespace kovi
