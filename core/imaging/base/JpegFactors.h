#pragma once

#include <algorithm>
#include <atomic>

namespace kovi {

// The chrominance and luminance factors, 0 to 255, with which JPEG files are saved.
struct JpegFactors {
    int chrominance = 1;
    int luminance = 1;
    friend bool operator==(const JpegFactors&, const JpegFactors&) = default;
};

// The factors in force: the window changes them while a run's workers read them before each
// JPEG they save, so that a change applies from the next file. Values are kept to 0..255.
class SharedJpegFactors {
public:
    void setChrominance(int factor) { chrominance_ = std::clamp(factor, 0, 255); }
    void setLuminance(int factor) { luminance_ = std::clamp(factor, 0, 255); }
    JpegFactors get() const { return {chrominance_.load(), luminance_.load()}; }

private:
    std::atomic<int> chrominance_{JpegFactors{}.chrominance};
    std::atomic<int> luminance_{JpegFactors{}.luminance};
};

} // namespace kovi
