// The target text as typed or stored ("640x480", " 800 x600", "12.5x1e3"), then the fit rule
// for an image size taken from the same input.
#include "core/run/TargetResolution.h"
#include "fuzz/Check.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace {

// An image side of at least 1, from four bytes of the input when it has them.
int Side(const std::uint8_t*& data, std::size_t& size) {
    std::uint32_t value = 0;
    if (size >= sizeof value) {
        std::memcpy(&value, data, sizeof value);
        data += sizeof value;
        size -= sizeof value;
    }
    return static_cast<int>(value % INT_MAX) + 1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int width = Side(data, size);
    const int height = Side(data, size);
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const auto target = kovi::ParseTargetResolution(text);
    if (!target)
        return 0;
    KOVI_FUZZ_CHECK(text.find('x') != std::string_view::npos);
    KOVI_FUZZ_CHECK(target->width >= 1 && target->width <= 32767);
    KOVI_FUZZ_CHECK(target->height >= 1 && target->height <= 32767);

    const kovi::PixelSize image{width, height};
    if (!kovi::NeedsResize(image, *target))
        return 0;
    const kovi::PixelSize fitted = kovi::FitInside(image, *target);
    // Never larger than the image or than the box (a side rounds at most to the next pixel),
    // never empty.
    KOVI_FUZZ_CHECK(fitted.width >= 1 && fitted.height >= 1);
    KOVI_FUZZ_CHECK(fitted.width <= image.width && fitted.height <= image.height);
    KOVI_FUZZ_CHECK(fitted.width <= std::ceil(target->width));
    KOVI_FUZZ_CHECK(fitted.height <= std::ceil(target->height));
    return 0;
}
