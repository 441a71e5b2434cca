// Any bytes given to the BMP decoder: it either refuses them or returns an RGB picture of
// exactly the size its header declares, never reading or writing outside what it was given.
#include "core/imaging/foreign/BmpDecoder.h"
#include "fuzz/Check.h"

#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> file(data, size);
    // A small limit keeps every run quick; the checks do not depend on it.
    const auto decoded = kovi::DecodePlainBmp(file, 1 << 16);
    if (!decoded)
        return 0;
    const auto layout = kovi::ReadBmpLayout(file);
    KOVI_FUZZ_CHECK(layout && layout->plain());
    KOVI_FUZZ_CHECK(decoded->width == layout->width && decoded->height == layout->height);
    KOVI_FUZZ_CHECK(std::int64_t{decoded->width} * decoded->height <= 1 << 16);
    KOVI_FUZZ_CHECK(decoded->bands == 3 && decoded->sampleBytes == 1 && decoded->opaque);
    KOVI_FUZZ_CHECK(decoded->bytes ==
                    static_cast<std::size_t>(decoded->width) * decoded->height * 3);
    KOVI_FUZZ_CHECK(decoded->pixels != nullptr);
    // Every byte of the picture is read: one it claims but lacks is an overflow to the sanitizer.
    unsigned sum = 0;
    for (std::size_t i = 0; i < decoded->bytes; ++i)
        sum += decoded->pixels.get()[i];
    return sum == 0xffffffffu ? 1 : 0;
}
