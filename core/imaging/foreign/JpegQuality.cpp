#include "core/imaging/foreign/JpegQuality.h"

#include <algorithm>
#include <cmath>

namespace kovi {

int JpegQualityOfFactor(int factor) {
    const int clamped = std::clamp(factor, 0, kJpegFactorMax);
    return static_cast<int>(std::lround(100.0 - clamped * 99.0 / kJpegFactorMax));
}

const std::array<unsigned int, 64> kStandardLuminanceTable{
    16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
    14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
    18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99,
};

const std::array<unsigned int, 64> kStandardChrominanceTable{
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99,
    99, 99, 47, 66, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
};

} // namespace kovi
