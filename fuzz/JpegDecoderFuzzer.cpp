// Any bytes given to the JPEG decoder, at any shrink: it either refuses them or returns a picture
// of the size libvips' loader would give, never reading or writing outside what it was given.
#include "core/imaging/foreign/JpegDecoder.h"
#include "fuzz/Check.h"

#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    // The first byte picks the shrink; the rest is the file.
    const int shrink = 1 << (data[0] % 4);
    // A small limit keeps every run quick; the checks do not depend on it.
    const auto decoded = kovi::DecodePlainJpeg(std::span(data + 1, size - 1), shrink, 1 << 16);
    if (!decoded)
        return 0;
    KOVI_FUZZ_CHECK(decoded->width >= 1 && decoded->height >= 1);
    KOVI_FUZZ_CHECK(std::int64_t{decoded->width} * decoded->height <= 1 << 16);
    KOVI_FUZZ_CHECK(decoded->bands == 1 || decoded->bands == 3);
    KOVI_FUZZ_CHECK(decoded->bytes ==
                    static_cast<std::size_t>(decoded->width) * decoded->height * decoded->bands);
    KOVI_FUZZ_CHECK(decoded->pixels != nullptr);
    // Every byte of the picture is read: one it claims but lacks is an overflow to the sanitizer.
    unsigned sum = 0;
    for (std::size_t i = 0; i < decoded->bytes; ++i)
        sum += decoded->pixels.get()[i];
    return sum == 0xffffffffu ? 1 : 0;
}
