// PNGs decoded whole by the program must read exactly as libpng reads them, and every file that
// is not plain, or not whole, must be left to libpng.
#include "engine/PngDecoder.h"

#include "engine/ImageHeader.h"
#include "engine/Resampler.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestImages.h"

#include <gtest/gtest.h>
#include <libdeflate.h>

#include <cstring>
#include <functional>
#include <memory>

namespace kovi {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using testing::ColourRamp;
using testing::TempFolder;
using vips::VImage;

// Samples that no predictor guesses, so each filter meets every kind of neighbour.
VImage Noise(int width, int height, int bands, bool sixteen, bool opaque) {
    VImage noise = VImage::gaussnoise(width, height, VImage::option()->set("sigma", 90.0));
    VImage image = noise;
    for (int band = 1; band < bands; ++band)
        image =
            image.bandjoin(VImage::gaussnoise(width, height, VImage::option()->set("sigma", 90.0)));
    if (opaque && (bands == 2 || bands == 4))
        image = image.extract_band(0, VImage::option()->set("n", bands - 1)).bandjoin(255);
    const bool colour = bands >= 3;
    image = image.cast(VIPS_FORMAT_UCHAR)
                .copy(VImage::option()->set("interpretation", colour ? VIPS_INTERPRETATION_sRGB
                                                                     : VIPS_INTERPRETATION_B_W));
    return sixteen ? testing::Sixteen(image) : image;
}

Bytes ReadAll(const fs::path& path) {
    const std::string bytes = testing::ReadBytes(path);
    return {bytes.begin(), bytes.end()};
}

struct PlainCase {
    const char* name;
    int bands;
    bool sixteen;
    bool opaque;
    int filter; // libvips' PNG filter flags
};

void PrintTo(const PlainCase& one, std::ostream* out) {
    *out << one.name;
}

class PlainPng : public ::testing::TestWithParam<PlainCase> {
protected:
    TempFolder folder;
};

TEST_P(PlainPng, ReadsAsLibpngReadsIt) {
    const PlainCase& one = GetParam();
    const fs::path path = folder / "plain.png";
    Noise(97, 61, one.bands, one.sixteen, one.opaque)
        .pngsave(path.c_str(), VImage::option()->set("filter", one.filter));
    const VImage reference = VImage::new_from_file(path.c_str());

    const auto decoded = DecodePlainPng(ReadAll(path), 1 << 20);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->width, reference.width());
    EXPECT_EQ(decoded->height, reference.height());
    EXPECT_EQ(decoded->bands, reference.bands());
    EXPECT_EQ(decoded->sampleBytes, one.sixteen ? 2 : 1);
    EXPECT_EQ(decoded->opaque, one.opaque);
    const Bytes expected = testing::PixelBytes(reference);
    ASSERT_EQ(decoded->bytes, expected.size());
    EXPECT_EQ(std::memcmp(decoded->pixels.get(), expected.data(), expected.size()), 0);
}

constexpr int kNoFilter = 8, kSub = 16, kUp = 32, kAverage = 64, kPaeth = 128, kAll = 248;

INSTANTIATE_TEST_SUITE_P(Layouts, PlainPng,
                         ::testing::Values(PlainCase{"grey", 1, false, true, kAll},
                                           PlainCase{"grey_alpha", 2, false, false, kAll},
                                           PlainCase{"rgb_paeth", 3, false, true, kPaeth},
                                           PlainCase{"rgb_average", 3, false, true, kAverage},
                                           PlainCase{"rgba_none", 4, false, false, kNoFilter},
                                           PlainCase{"rgba_sub", 4, false, false, kSub},
                                           PlainCase{"rgba_up", 4, false, false, kUp},
                                           PlainCase{"rgba_average", 4, false, false, kAverage},
                                           PlainCase{"rgba_paeth", 4, false, false, kPaeth},
                                           PlainCase{"rgba_opaque", 4, false, true, kAll},
                                           PlainCase{"grey16", 1, true, true, kAll},
                                           PlainCase{"grey_alpha16_paeth", 2, true, false, kPaeth},
                                           PlainCase{"rgb16_paeth", 3, true, true, kPaeth},
                                           PlainCase{"rgba16", 4, true, false, kAll},
                                           PlainCase{"rgba16_opaque", 4, true, true, kAll}));

// PNG files built chunk by chunk, for the damage and the rarities that no encoder writes.
class PngBuilder {
public:
    PngBuilder& chunk(const char* type, const Bytes& data) {
        const std::size_t start = bytes_.size();
        Put32(static_cast<std::uint32_t>(data.size()));
        bytes_.insert(bytes_.end(), type, type + 4);
        bytes_.insert(bytes_.end(), data.begin(), data.end());
        Put32(libdeflate_crc32(0, bytes_.data() + start + 4, data.size() + 4));
        return *this;
    }
    PngBuilder& header(int width, int height, int depth, int colourType, int interlace = 0) {
        Bytes data;
        for (const int value : {width, height})
            for (const int shift : {24, 16, 8, 0})
                data.push_back(static_cast<std::uint8_t>(value >> shift));
        data.insert(data.end(),
                    {static_cast<std::uint8_t>(depth), static_cast<std::uint8_t>(colourType), 0, 0,
                     static_cast<std::uint8_t>(interlace)});
        return chunk("IHDR", data);
    }
    PngBuilder& end() { return chunk("IEND", {}); }
    Bytes bytes() const { return bytes_; }

private:
    void Put32(std::uint32_t value) {
        for (const int shift : {24, 16, 8, 0})
            bytes_.push_back(static_cast<std::uint8_t>(value >> shift));
    }
    Bytes bytes_{0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
};

Bytes Deflated(const Bytes& raw) {
    const std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)> compressor(
        libdeflate_alloc_compressor(6), libdeflate_free_compressor);
    Bytes out(libdeflate_zlib_compress_bound(compressor.get(), raw.size()));
    out.resize(
        libdeflate_zlib_compress(compressor.get(), raw.data(), raw.size(), out.data(), out.size()));
    return out;
}

// Two RGB rows of two pixels: the first with Sub, the second with Up.
const Bytes kTwoRows = {1, 10, 20, 30, 5, 5, 5, 2, 1, 1, 1, 2, 2, 2};
const Bytes kTwoRowsDecoded = {10, 20, 30, 15, 25, 35, 11, 21, 31, 17, 27, 37};

Bytes TwoByTwo(const std::function<void(PngBuilder&, const Bytes&)>& body) {
    PngBuilder png;
    png.header(2, 2, 8, 2);
    body(png, Deflated(kTwoRows));
    return png.bytes();
}

TEST(PlainPngBuilt, DecodesTheRowsAsFiltered) {
    const auto decoded =
        DecodePlainPng(TwoByTwo([](PngBuilder& png, const Bytes& data) {
                           png.chunk("tEXt", {'a', 0, 'b'}).chunk("IDAT", data).end();
                       }),
                       1 << 20);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(Bytes(decoded->pixels.get(), decoded->pixels.get() + decoded->bytes),
              kTwoRowsDecoded);
}

struct Refused {
    const char* name;
    std::function<Bytes()> file;
};

void PrintTo(const Refused& one, std::ostream* out) {
    *out << one.name;
}

class NotPlainPng : public ::testing::TestWithParam<Refused> {};

TEST_P(NotPlainPng, IsLeftToLibpng) {
    EXPECT_FALSE(DecodePlainPng(GetParam().file(), 1 << 20));
}

Bytes Split(const Bytes& data, std::size_t at, PngBuilder& png) {
    png.chunk("IDAT", Bytes(data.begin(), data.begin() + static_cast<long>(at)));
    return Bytes(data.begin() + static_cast<long>(at), data.end());
}

INSTANTIATE_TEST_SUITE_P(
    Files, NotPlainPng,
    ::testing::Values(
        Refused{"split_by_another_chunk",
                [] {
                    return TwoByTwo([](PngBuilder& png, const Bytes& data) {
                        const Bytes rest = Split(data, 3, png);
                        png.chunk("tEXt", {'a', 0, 'b'}).chunk("IDAT", rest).end();
                    });
                }},
        Refused{"transparency_key",
                [] {
                    return TwoByTwo([](PngBuilder& png, const Bytes& data) {
                        png.chunk("tRNS", {0, 10, 0, 20, 0, 30}).chunk("IDAT", data).end();
                    });
                }},
        Refused{"unknown_critical_chunk",
                [] {
                    return TwoByTwo([](PngBuilder& png, const Bytes& data) {
                        png.chunk("XYZW", {1}).chunk("IDAT", data).end();
                    });
                }},
        Refused{"animation_control",
                [] {
                    return TwoByTwo([](PngBuilder& png, const Bytes& data) {
                        png.chunk("acTL", {0, 0, 0, 1, 0, 0, 0, 0}).chunk("IDAT", data).end();
                    });
                }},
        Refused{"no_end",
                [] {
                    return TwoByTwo(
                        [](PngBuilder& png, const Bytes& data) { png.chunk("IDAT", data); });
                }},
        Refused{"bytes_after_the_end",
                [] {
                    Bytes file = TwoByTwo(
                        [](PngBuilder& png, const Bytes& data) { png.chunk("IDAT", data).end(); });
                    file.push_back(0);
                    return file;
                }},
        Refused{"wrong_checksum",
                [] {
                    Bytes file = TwoByTwo(
                        [](PngBuilder& png, const Bytes& data) { png.chunk("IDAT", data).end(); });
                    file[file.size() - 17] ^= 1; // image data, under its checksum
                    return file;
                }},
        Refused{"unknown_filter",
                [] {
                    PngBuilder png;
                    Bytes rows = kTwoRows;
                    rows[7] = 5;
                    png.header(2, 2, 8, 2).chunk("IDAT", Deflated(rows)).end();
                    return png.bytes();
                }},
        Refused{"rows_missing",
                [] {
                    PngBuilder png;
                    const Bytes rows(kTwoRows.begin(), kTwoRows.begin() + 7);
                    png.header(2, 2, 8, 2).chunk("IDAT", Deflated(rows)).end();
                    return png.bytes();
                }},
        Refused{"rows_beyond_the_height",
                [] {
                    PngBuilder png;
                    Bytes rows = kTwoRows;
                    rows.insert(rows.end(), kTwoRows.begin(), kTwoRows.begin() + 7);
                    png.header(2, 2, 8, 2).chunk("IDAT", Deflated(rows)).end();
                    return png.bytes();
                }},
        Refused{"data_after_the_stream",
                [] {
                    PngBuilder png;
                    Bytes data = Deflated(kTwoRows);
                    data.push_back(0);
                    png.header(2, 2, 8, 2).chunk("IDAT", data).end();
                    return png.bytes();
                }},
        Refused{"palette",
                [] {
                    PngBuilder png;
                    png.header(2, 1, 8, 3)
                        .chunk("PLTE", {0, 0, 0, 255, 255, 255})
                        .chunk("IDAT", Deflated({0, 0, 1}))
                        .end();
                    return png.bytes();
                }},
        Refused{"four_bit_grey",
                [] {
                    PngBuilder png;
                    png.header(2, 1, 4, 0).chunk("IDAT", Deflated({0, 0x1f})).end();
                    return png.bytes();
                }},
        Refused{"interlaced",
                [] {
                    PngBuilder png;
                    png.header(1, 1, 8, 0, 1).chunk("IDAT", Deflated({0, 7})).end();
                    return png.bytes();
                }},
        Refused{"more_pixels_than_allowed",
                [] {
                    PngBuilder png;
                    png.header(1025, 1024, 8, 0).chunk("IDAT", Deflated(Bytes(1024 * 1026))).end();
                    return png.bytes();
                }},
        Refused{"no_image_header", [] {
                    PngBuilder png;
                    png.chunk("IDAT", Deflated(kTwoRows)).end();
                    return png.bytes();
                }}));

// Every cut of a real file is refused: a truncated picture is never taken for a whole one.
TEST(PlainPngCut, EveryCutIsRefused) {
    TempFolder folder;
    const fs::path path = folder / "whole.png";
    Noise(40, 30, 4, false, true).pngsave(path.c_str());
    const Bytes whole = ReadAll(path);
    ASSERT_TRUE(DecodePlainPng(whole, 1 << 20));
    for (std::size_t keep = 0; keep < whole.size(); ++keep)
        EXPECT_FALSE(
            DecodePlainPng(Bytes(whole.begin(), whole.begin() + static_cast<long>(keep)), 1 << 20))
            << keep;
}

// Through the resampler, a PNG decoded whole keeps what libvips' loader tells of it, and its
// pixels agree with the same picture read row by row (interlaced, so libpng reads it): with an
// opaque alpha left unweighted, and with a varying alpha box-shrunk from memory first.
class PlainPngResized : public ::testing::TestWithParam<bool> {};

TEST_P(PlainPngResized, KeepsMetadataAndAgreesWithLibpng) {
    TempFolder folder;
    const VImage ramp = ColourRamp(1600, 1200, 4);
    const VImage picture = testing::WithIccAndXmp(
        GetParam() ? ramp.extract_band(0, VImage::option()->set("n", 3)).bandjoin(255) : ramp);
    const fs::path plain = folder / "plain.png";
    const fs::path interlaced = folder / "interlaced.png";
    picture.pngsave(plain.c_str());
    picture.pngsave(interlaced.c_str(), VImage::option()->set("interlace", true));
    const auto plainHeader = ReadImageHeader(plain);
    const auto interlacedHeader = ReadImageHeader(interlaced);
    ASSERT_TRUE(plainHeader && interlacedHeader);
    ASSERT_TRUE(DecodesPngWhole(*plainHeader));
    ASSERT_FALSE(DecodesPngWhole(*interlacedHeader));

    const VImage whole = BuildResizedImage(*plainHeader, 200, 150).copy_memory();
    const VImage rows = BuildResizedImage(*interlacedHeader, 200, 150).copy_memory();
    EXPECT_EQ(whole.width(), 200);
    EXPECT_EQ(whole.height(), 150);
    EXPECT_EQ(whole.interpretation(), rows.interpretation());
    EXPECT_EQ(whole.format(), VIPS_FORMAT_UCHAR);
    EXPECT_EQ(whole.bands(), 4);
    EXPECT_EQ(testing::BlobBytes(whole, VIPS_META_ICC_NAME), testing::SrgbProfile());
    EXPECT_EQ(testing::BlobBytes(whole, VIPS_META_XMP_NAME), testing::kTestXmp);
    EXPECT_LE((whole.cast(VIPS_FORMAT_INT) - rows.cast(VIPS_FORMAT_INT)).abs().max(), 1.0);
}

INSTANTIATE_TEST_SUITE_P(Alpha, PlainPngResized, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "opaque" : "varying"; });

} // namespace
} // namespace kovi
