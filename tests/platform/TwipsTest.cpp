#include "platform/Twips.h"

#include <gtest/gtest.h>

namespace kovi {
namespace {

struct TwipsCase {
    const char* name;
    int twips;
    double dpi;
    int pixels;
};

void PrintTo(const TwipsCase& twipsCase, std::ostream* out) {
    *out << twipsCase.name;
}

class TwipsToPixelsTest : public ::testing::TestWithParam<TwipsCase> {};

TEST_P(TwipsToPixelsTest, RoundsToTheNearestPixel) {
    EXPECT_EQ(TwipsToPixels(GetParam().twips, GetParam().dpi), GetParam().pixels);
}

INSTANTIATE_TEST_SUITE_P(Cases, TwipsToPixelsTest,
                         ::testing::Values(TwipsCase{"one_pixel_at_96_dpi", 15, 96, 1},
                                           TwipsCase{"one_inch_at_96_dpi", 1440, 96, 96},
                                           TwipsCase{"one_inch_at_144_dpi", 1440, 144, 144},
                                           TwipsCase{"margin", 120, 96, 8},
                                           TwipsCase{"fraction_rounds_up", 3732, 96, 249},
                                           TwipsCase{"fraction_rounds_down", 5436, 96, 362},
                                           TwipsCase{"margin_at_120_dpi", 120, 120, 10},
                                           TwipsCase{"zero", 0, 96, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TwipsToPixels, RectangleConvertsEachSideOnItsOwn) {
    EXPECT_EQ(TwipsToPixels(QRect(3960, 240, 2652, 2652)), QRect(264, 16, 177, 177));
}

} // namespace
} // namespace kovi
