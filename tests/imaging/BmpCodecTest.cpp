// BMPs the program reads itself must read exactly as ImageMagick reads them, every file that is
// not plain or not whole must be left to ImageMagick, and what the program writes must read
// back as the picture it read.
#include "core/imaging/ImagingControl.h"
#include "core/imaging/base/VipsRuntime.h"
#include "core/imaging/foreign/BmpDecoder.h"
#include "core/imaging/header/HeaderReader.h"
#include "tests/support/CaseName.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestImages.h"

#include <gtest/gtest.h>

#include <functional>

namespace kovi {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kSrgb = 0x73524742, kWindowsColours = 0x57696E20, kCalibrated = 0;
constexpr std::uint32_t kBitFields = 3, kRunLength4 = 2;

enum class Runs { None, Repeats, Literals, NoLastEndOfLine };

// How a test file is laid out; the pixels are a fixed pattern with stretches of repeats.
struct BmpRecipe {
    int width = 37, height = 11, bits = 24;
    std::uint32_t compression = bmp::kUncompressed;
    Runs runs = Runs::None;
    std::uint32_t infoBytes = 40;
    bool topDown = false;
    std::uint32_t coloursUsed = 0; // 0: as many as the depth holds
    std::uint32_t colourSpace = kSrgb;
};

// Eight bits a pixel, run-length encoded, in rows longer than one run or literal holds.
BmpRecipe Rle8(Runs runs, bool topDown = false) {
    return {
        .width = 301, .bits = 8, .compression = bmp::kRunLength8, .runs = runs, .topDown = topDown};
}

void PutLe(Bytes& out, std::uint32_t value, int bytes = 4) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void SetLe32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Where the pixels begin: in a run-length file, the first run of the bottom row.
std::size_t Pixels(const Bytes& file) {
    return Le32(file.data() + 10);
}

// Stretches of five alike, then of changing values, so runs and literals both occur; the top
// row all alike, longer than one run can hold.
int Pattern(int x, int y, int range) {
    const int value = (x / 5) % 2 == 0 ? x / 5 + 3 * y : x * 7 + y * 13 + (x * y) % 17;
    return y == 0 ? 1 : value % range;
}

void AppendRunLengthRow(const std::vector<int>& row, Runs runs, Bytes& out) {
    for (std::size_t x = 0, length = 1; x < row.size(); x += length, length = 1) {
        if (runs == Runs::Literals && row.size() - x >= 3) {
            length = std::min<std::size_t>(row.size() - x, 255);
            out.insert(out.end(), {0, static_cast<std::uint8_t>(length)});
            out.insert(out.end(), row.begin() + static_cast<long>(x),
                       row.begin() + static_cast<long>(x + length));
            out.resize(out.size() + length % 2, 0);
            continue;
        }
        while (x + length < row.size() && length < 255 && row[x + length] == row[x])
            ++length;
        out.insert(out.end(),
                   {static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(row[x])});
    }
}

Bytes BuildBmp(const BmpRecipe& r) {
    const std::uint32_t table = r.bits > 8 ? 0 : r.coloursUsed != 0 ? r.coloursUsed : 1u << r.bits;
    Bytes out{'B', 'M'};
    for (const auto value :
         {0u, 0u, 14 + r.infoBytes + 4 * table, r.infoBytes, static_cast<std::uint32_t>(r.width),
          static_cast<std::uint32_t>(r.topDown ? -r.height : r.height),
          1u | static_cast<std::uint32_t>(r.bits) << 16, r.compression, 0u, 2835u, 2835u,
          r.coloursUsed, 0u})
        PutLe(out, value);
    if (r.infoBytes > 40) {
        for (const auto value : {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u, r.colourSpace})
            PutLe(out, value);
        out.resize(14 + r.infoBytes, 0);
    }
    for (std::uint32_t i = 0; i < table; ++i) // blue, green, red, nothing
        PutLe(out, (i * 37 & 0xFF) | (255 - i) << 8 | ((i * 11 + 5) & 0xFF) << 16);
    for (int stored = 0; stored < r.height; ++stored) {
        std::vector<int> row(static_cast<std::size_t>(r.width));
        for (int x = 0; x < r.width; ++x)
            row[static_cast<std::size_t>(x)] =
                Pattern(x, r.topDown ? stored : r.height - 1 - stored,
                        table > 0 ? static_cast<int>(table) : 256);
        if (r.runs != Runs::None) {
            AppendRunLengthRow(row, r.runs, out);
            const bool last = stored == r.height - 1;
            if (!last || r.runs != Runs::NoLastEndOfLine)
                out.insert(out.end(), {0, 0});
            if (last)
                out.insert(out.end(), {0, 1});
            continue;
        }
        const std::size_t start = out.size();
        out.resize(start + static_cast<std::size_t>((r.width * r.bits + 31) / 32 * 4), 0);
        for (int x = 0; x < r.width; ++x) {
            const int value = row[static_cast<std::size_t>(x)];
            for (int c = 0; c < std::max(r.bits / 8, 1); ++c) // bits below a byte: leftmost first
                out[start + static_cast<std::size_t>(x * r.bits / 8 + c)] |=
                    static_cast<std::uint8_t>(r.bits >= 8
                                                  ? value + 40 * c
                                                  : value << (8 - r.bits * (1 + x % (8 / r.bits))));
        }
    }
    SetLe32(out, 2, static_cast<std::uint32_t>(out.size()));
    return out;
}

// The picture as ImageMagick decodes it, as 8-bit RGB.
Bytes ReadByImageMagick(const Bytes& file) {
    LoadImagingModules();
    const auto image = vips::VImage::new_from_buffer(file.data(), file.size(), "")
                           .colourspace(VIPS_INTERPRETATION_sRGB)
                           .cast(VIPS_FORMAT_UCHAR);
    return testing::PixelBytes(image.extract_band(0, vips::VImage::option()->set("n", 3)));
}

struct PlainCase {
    const char* name;
    BmpRecipe recipe;
};

const PlainCase kPlainCases[] = {
    {"colour, rows padded", {.width = 37}},
    {"colour, no padding", {.width = 40}},
    {"colour, top down", {.topDown = true}},
    {"colour, V4 header in sRGB", {.infoBytes = 108}},
    {"colour, V5 header in system colours", {.infoBytes = 124, .colourSpace = kWindowsColours}},
    {"256 colours", {.bits = 8}},
    {"100 colours of 256", {.bits = 8, .coloursUsed = 100}},
    {"256 colours, top down", {.bits = 8, .topDown = true}},
    {"16 colours, odd width", {.width = 13, .bits = 4}},
    {"two colours, odd width", {.width = 13, .bits = 1}},
    {"two colours, 33 wide", {.width = 33, .bits = 1}},
    {"run-length, repeats", Rle8(Runs::Repeats)},
    {"run-length, literal stretches", Rle8(Runs::Literals)},
    {"run-length, end of bitmap ends the last row", Rle8(Runs::NoLastEndOfLine)}};

class PlainBmp : public ::testing::TestWithParam<PlainCase> {};

TEST_P(PlainBmp, ReadsAsImageMagickReadsIt) {
    const Bytes file = BuildBmp(GetParam().recipe);
    const auto layout = ReadBmpLayout(file);
    ASSERT_TRUE(layout && layout->plain());
    const auto decoded = DecodePlainBmp(file, 1 << 20);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(std::tuple(decoded->width, decoded->height, decoded->bands),
              std::tuple(GetParam().recipe.width, GetParam().recipe.height, 3));
    EXPECT_EQ(Bytes(decoded->pixels.get(), decoded->pixels.get() + decoded->bytes),
              ReadByImageMagick(file));
}

struct RefusedCase {
    const char* name;
    BmpRecipe recipe;
    std::function<void(Bytes&)> damage;
};

RefusedCase Refuse(const char* name, BmpRecipe recipe, std::function<void(Bytes&)> damage = {}) {
    return {name, recipe, std::move(damage)};
}

const RefusedCase kRefusedCases[] = {
    Refuse("an OS/2 header", {}, [](Bytes& b) { SetLe32(b, 14, 12); }),
    Refuse("colour in bit fields", {.compression = kBitFields}),
    Refuse("32 bits a pixel", {.bits = 32}), Refuse("16 bits a pixel", {.bits = 16}),
    Refuse("two planes", {}, [](Bytes& b) { b[26] = 2; }),
    Refuse("no width", {}, [](Bytes& b) { SetLe32(b, 18, 0); }),
    Refuse("no height", {}, [](Bytes& b) { SetLe32(b, 22, 0); }),
    Refuse("the most negative height", {}, [](Bytes& b) { SetLe32(b, 22, 0x80000000u); }),
    Refuse("calibrated colours", {.infoBytes = 108, .colourSpace = kCalibrated}),
    Refuse("16-colour run-length", {.bits = 4, .compression = kRunLength4}),
    Refuse("run-length stored top down", Rle8(Runs::Repeats, true)),
    Refuse("an index past the table", {.bits = 8, .coloursUsed = 100},
           [](Bytes& b) { b[Pixels(b)] = 200; }),
    Refuse("more colours than the depth holds", {.bits = 4, .coloursUsed = 17}),
    Refuse("the table running into the pixels", {.bits = 8},
           [](Bytes& b) { SetLe32(b, 10, Pixels(b) - 4); }),
    Refuse("pixels inside the headers", {}, [](Bytes& b) { SetLe32(b, 10, 14); }),
    Refuse("more pixels than allowed", {.width = 1100, .height = 1000}),
    // An escape to move on one pixel, leaving one out.
    Refuse("run-length jump", Rle8(Runs::Repeats),
           [](Bytes& b) { SetLe32(b, Pixels(b), 0x10200); }),
    Refuse("run-length rows shorter than the width", Rle8(Runs::Repeats),
           [](Bytes& b) { SetLe32(b, 18, 302); }),
    Refuse("run-length rows longer than the width", Rle8(Runs::Repeats),
           [](Bytes& b) { SetLe32(b, 18, 300); }),
    Refuse("run-length literal rows longer than the width", Rle8(Runs::Literals),
           [](Bytes& b) { SetLe32(b, 18, 300); }),
    Refuse("run-length without its end", Rle8(Runs::Repeats),
           [](Bytes& b) { b.resize(b.size() - 2); }),
    Refuse("run-length ending a row early", Rle8(Runs::Repeats),
           [](Bytes& b) {
               b.insert(b.begin() + Pixels(b), {2, 0, 0, 0});
           }),
    // One whole row, then the end of the bitmap.
    Refuse("run-length ending early", Rle8(Runs::Repeats), [](Bytes& b) {
        b.resize(Pixels(b));
        b.insert(b.end(), {255, 1, 46, 1, 0, 1});
    })};

class RefusedBmp : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedBmp, IsLeftToImageMagick) {
    Bytes file = BuildBmp(GetParam().recipe);
    if (GetParam().damage)
        GetParam().damage(file);
    EXPECT_FALSE(DecodePlainBmp(file, 1 << 20));
}

INSTANTIATE_TEST_SUITE_P(Files, RefusedBmp, ::testing::ValuesIn(kRefusedCases),
                         testing::CaseName{});

// What the program writes for a file it read itself (saved at the same size, so that the
// picture is the one decoded) has the file's layout and reads back as the same picture.
TEST_P(PlainBmp, IsWrittenBackAsItWasRead) {
    const BmpRecipe& recipe = GetParam().recipe;
    testing::TempFolder folder;
    const Bytes source = BuildBmp(recipe);
    testing::WriteBytes(folder / "picture.bmp", {source.begin(), source.end()});
    ImagingControl control;
    control.SetLoadPath(folder / "picture.bmp");
    control.SetSavePath(folder / "written.bmp");
    ASSERT_TRUE(control.SaveImage()) << control.LastError();

    const std::string text = testing::ReadBytes(folder / "written.bmp");
    const Bytes written(text.begin(), text.end());
    const auto layout = ReadBmpLayout(written);
    ASSERT_TRUE(layout && layout->plain());
    EXPECT_EQ(std::tuple(layout->infoBytes, layout->bitsPerPixel, layout->compression,
                         layout->topDown, layout->xPixelsPerMetre, layout->yPixelsPerMetre),
              std::tuple(40u, recipe.bits, recipe.compression, false, 2835, 2835));
    EXPECT_EQ(Le32(written.data() + 2), written.size());
    const auto decoded = DecodePlainBmp(written, 1 << 20);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(Bytes(decoded->pixels.get(), decoded->pixels.get() + decoded->bytes),
              ReadByImageMagick(source));
    EXPECT_EQ(ReadByImageMagick(written), ReadByImageMagick(source));
}

INSTANTIATE_TEST_SUITE_P(Layouts, PlainBmp, ::testing::ValuesIn(kPlainCases), testing::CaseName{});

} // namespace
} // namespace kovi
