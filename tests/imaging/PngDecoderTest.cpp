// PNGs decoded whole by the program must read exactly as libpng reads them, and every file that
// is not plain, or not whole, must be left to libpng.
#include "core/imaging/foreign/PngDecoder.h"

#include "tests/support/CaseName.h"
#include "tests/support/CraftedFiles.h"
#include "tests/support/TestImages.h"

#include <gtest/gtest.h>
#include <libdeflate.h>

#include <memory>

namespace kovi {
namespace {

using Bytes = std::vector<std::uint8_t>;
using vips::VImage;

struct PlainCase {
    const char* name;
    int bands, depth;
    bool opaque;
    int filter; // libvips' PNG filter flags
};

constexpr int kNone = 8, kSub = 16, kUp = 32, kAverage = 64, kPaeth = 128, kAll = 248;

const PlainCase kPlainCases[] = {
    {"grey", 1, 8, true, kAll},           {"grey alpha", 2, 8, false, kAll},
    {"rgb paeth", 3, 8, true, kPaeth},    {"rgb average", 3, 8, true, kAverage},
    {"rgba none", 4, 8, false, kNone},    {"rgba sub", 4, 8, false, kSub},
    {"rgba up", 4, 8, false, kUp},        {"rgba average", 4, 8, false, kAverage},
    {"rgba paeth", 4, 8, false, kPaeth},  {"rgba opaque", 4, 8, true, kAll},
    {"grey16", 1, 16, true, kAll},        {"grey alpha16 paeth", 2, 16, false, kPaeth},
    {"rgb16 paeth", 3, 16, true, kPaeth}, {"rgba16", 4, 16, false, kAll},
    {"rgba16 opaque", 4, 16, true, kAll}};

class PlainPng : public ::testing::TestWithParam<PlainCase> {};

// Samples that no predictor guesses, so each filter meets every kind of neighbour, and 16-bit
// ones whose two bytes differ, so that their order tells.
TEST_P(PlainPng, ReadsAsLibpngReadsIt) {
    const PlainCase& c = GetParam();
    const bool deep = c.depth == 16, colour = c.bands >= 3;
    const double top = deep ? 65535 : 255;
    VImage noise = VImage::gaussnoise(97 * c.bands, 61,
                                      VImage::option()->set("sigma", top / 3)->set("mean", top / 2))
                       .cast(deep ? VIPS_FORMAT_USHORT : VIPS_FORMAT_UCHAR)
                       .bandfold(VImage::option()->set("factor", c.bands));
    if (c.opaque && c.bands % 2 == 0)
        noise = noise.extract_band(0, VImage::option()->set("n", c.bands - 1)).bandjoin(top);
    noise = noise.copy(VImage::option()->set(
        "interpretation", deep ? (colour ? VIPS_INTERPRETATION_RGB16 : VIPS_INTERPRETATION_GREY16)
                               : (colour ? VIPS_INTERPRETATION_sRGB : VIPS_INTERPRETATION_B_W)));
    const std::string file =
        testing::Encoded(noise, ".png", VImage::option()->set("filter", c.filter));
    const VImage libpng = VImage::new_from_buffer(file.data(), file.size(), "");

    const auto decoded = DecodePlainPng(Bytes(file.begin(), file.end()), 1 << 20);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(std::tuple(decoded->width, decoded->height, decoded->bands, decoded->sampleBytes,
                         decoded->opaque),
              std::tuple(97, 61, libpng.bands(), c.depth / 8, c.opaque));
    EXPECT_EQ(Bytes(decoded->pixels.get(), decoded->pixels.get() + decoded->bytes),
              testing::PixelBytes(libpng));
}

INSTANTIATE_TEST_SUITE_P(Layouts, PlainPng, ::testing::ValuesIn(kPlainCases), testing::CaseName{});

// Two RGB rows of two pixels: the first filtered with Sub, the second with Up.
const Bytes kTwoRows = {1, 10, 20, 30, 5, 5, 5, 2, 1, 1, 1, 2, 2, 2};

// A PNG built chunk by chunk, for the damage and the rarities that no encoder writes; left as it
// is, the plain 2 x 2 picture of kTwoRows.
struct Recipe {
    int width = 2, height = 2, depth = 8, colourType = 2, interlace = 0;
    Bytes rows = kTwoRows; // filter bytes and samples, before deflating
    std::vector<std::pair<const char*, Bytes>> before = {}; // chunks ahead of the image data
    bool badChecksum = false;                               // of the image data
};

void Put32(Bytes& out, std::uint32_t value) {
    for (const int shift : {24, 16, 8, 0})
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void Chunk(Bytes& out, const char* type, const Bytes& data) {
    const std::size_t start = out.size();
    Put32(out, static_cast<std::uint32_t>(data.size()));
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    Put32(out, libdeflate_crc32(0, out.data() + start + 4, data.size() + 4));
}

Bytes Build(const Recipe& r) {
    Bytes out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    Bytes header;
    Put32(header, static_cast<std::uint32_t>(r.width));
    Put32(header, static_cast<std::uint32_t>(r.height));
    for (const int value : {r.depth, r.colourType, 0, 0, r.interlace})
        header.push_back(static_cast<std::uint8_t>(value));
    Chunk(out, "IHDR", header);
    for (const auto& [type, data] : r.before)
        Chunk(out, type, data);
    const std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)> compressor(
        libdeflate_alloc_compressor(6), libdeflate_free_compressor);
    Bytes data(libdeflate_zlib_compress_bound(compressor.get(), r.rows.size()));
    data.resize(libdeflate_zlib_compress(compressor.get(), r.rows.data(), r.rows.size(),
                                         data.data(), data.size()));
    Chunk(out, "IDAT", data);
    if (r.badChecksum)
        out.back() ^= 1;
    Chunk(out, "IEND", {});
    return out;
}

struct BuiltCase {
    const char* name;
    Recipe recipe;
    bool plain = false; // decoded, and to kTwoRows' pixels; else left to libpng
};

// Each file left to libpng differs in one way from the plain ones.
const BuiltCase kBuiltCases[] = {
    {"plain", {}, true},
    {"plain with a text chunk", {.before = {{"tEXt", {'a', 0, 'b'}}}}, true},
    {"transparency key", {.before = {{"tRNS", {0, 10, 0, 20, 0, 30}}}}},
    {"unknown critical chunk", {.before = {{"XYZW", {1}}}}},
    {"animation control", {.before = {{"acTL", {0, 0, 0, 1, 0, 0, 0, 0}}}}},
    // The image data whole, only its checksum wrong: libdeflate would notice no damage.
    {"wrong checksum", {.badChecksum = true}},
    {"unknown filter", {.rows = {1, 10, 20, 30, 5, 5, 5, 5, 1, 1, 1, 2, 2, 2}}},
    {"rows missing", {.rows = {1, 10, 20, 30, 5, 5, 5}}},
    {"rows beyond the height",
     {.rows = {1, 10, 20, 30, 5, 5, 5, 2, 1, 1, 1, 2, 2, 2, 1, 10, 20, 30, 5, 5, 5}}},
    {"palette", {.height = 1, .colourType = 3, .rows = {0, 0, 0}, .before = {{"PLTE", {0, 0, 0}}}}},
    {"four bit grey", {.height = 1, .depth = 4, .colourType = 0, .rows = {0, 0x1f}}},
    {"interlaced", {.width = 1, .height = 1, .colourType = 0, .interlace = 1, .rows = {0, 7}}},
    {"more pixels than allowed",
     {.width = 1025, .height = 1024, .colourType = 0, .rows = Bytes(1024 * 1026)}}};

class BuiltPng : public ::testing::TestWithParam<BuiltCase> {};

TEST_P(BuiltPng, IsDecodedOnlyWhenPlain) {
    const auto decoded = DecodePlainPng(Build(GetParam().recipe), 1 << 20);
    ASSERT_EQ(decoded.has_value(), GetParam().plain);
    if (decoded) {
        EXPECT_EQ(Bytes(decoded->pixels.get(), decoded->pixels.get() + decoded->bytes),
                  (Bytes{10, 20, 30, 15, 25, 35, 11, 21, 31, 17, 27, 37}));
    }
}

INSTANTIATE_TEST_SUITE_P(Files, BuiltPng, ::testing::ValuesIn(kBuiltCases), testing::CaseName{});

// Every cut of a real file is refused: a truncated picture is never taken for a whole one.
TEST(PlainPngCut, EveryCutIsRefused) {
    const std::string file = testing::Encoded(testing::ColourRamp(40, 30, 4), ".png");
    const Bytes whole(file.begin(), file.end());
    ASSERT_TRUE(DecodePlainPng(whole, 1 << 20));
    for (std::size_t keep = 0; keep < whole.size(); ++keep)
        EXPECT_FALSE(DecodePlainPng(std::span(whole.data(), keep), 1 << 20)) << keep;
}

} // namespace
} // namespace kovi
