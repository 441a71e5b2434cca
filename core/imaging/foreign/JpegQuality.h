#pragma once

#include <array>

namespace kovi {

inline constexpr int kJpegFactorMax = 255;

// The quality a factor gives its table: round(100 - factor * 99 / 255), so 0 is the finest
// (100) and 255 the coarsest (1). Factors outside 0..255 are taken as the nearest end.
int JpegQualityOfFactor(int factor);

// The example tables of the JPEG standard (ITU T.81, K.1 and K.2) in natural order; libjpeg
// scales them by quality but does not export them.
extern const std::array<unsigned int, 64> kStandardLuminanceTable;
extern const std::array<unsigned int, 64> kStandardChrominanceTable;

} // namespace kovi
