// Any bytes given to the PNG decoder: it either refuses them or returns a picture of exactly the
// size its header declares, never reading or writing outside what it was given.
#include "core/imaging/foreign/PngDecoder.h"
#include "core/imaging/header/HeaderReader.h"
#include "fuzz/Check.h"

#include <cstdint>
#include <vector>

#include <libdeflate.h>

namespace {

// Mutated chunks would nearly all fail their checksums and end the decoding there; with the
// checksums made right again, the mutations reach the header, the inflating and the filters.
void MendChecksums(std::vector<std::uint8_t>& bytes) {
    std::size_t at = 8;
    while (bytes.size() >= at + 12) {
        const std::size_t length = kovi::Be32(bytes, at);
        if (length > bytes.size() - at - 12)
            return;
        const std::uint32_t crc = libdeflate_crc32(0, bytes.data() + at + 4, length + 4);
        for (int i = 0; i < 4; ++i)
            bytes[at + 8 + length + static_cast<std::size_t>(i)] =
                static_cast<std::uint8_t>(crc >> (24 - 8 * i));
        at += 12 + length;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> bytes(data, data + size);
    MendChecksums(bytes);
    // A small limit keeps every run quick; the checks do not depend on it.
    const auto decoded = kovi::DecodePlainPng(bytes, 1 << 16);
    if (!decoded)
        return 0;
    KOVI_FUZZ_CHECK(decoded->width >= 1 && decoded->height >= 1);
    KOVI_FUZZ_CHECK(std::int64_t{decoded->width} * decoded->height <= 1 << 16);
    KOVI_FUZZ_CHECK(decoded->bands >= 1 && decoded->bands <= 4);
    KOVI_FUZZ_CHECK(decoded->sampleBytes == 1 || decoded->sampleBytes == 2);
    KOVI_FUZZ_CHECK(decoded->bytes == static_cast<std::size_t>(decoded->width) * decoded->height *
                                          decoded->bands * decoded->sampleBytes);
    KOVI_FUZZ_CHECK(decoded->pixels != nullptr);
    // Every byte of the picture is read: one it claims but lacks is an overflow to the sanitizer.
    unsigned sum = 0;
    for (std::size_t i = 0; i < decoded->bytes; ++i)
        sum += decoded->pixels.get()[i];
    return sum == 0xffffffffu ? 1 : 0;
}
