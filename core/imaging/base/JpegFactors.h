#pragma once

namespace kovi {

// The chrominance and luminance factors, 0 to 255, with which JPEG files are saved.
struct JpegFactors {
    int chrominance = 1;
    int luminance = 1;
    friend bool operator==(const JpegFactors&, const JpegFactors&) = default;
};

} // namespace kovi
