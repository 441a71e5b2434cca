// BMPs the program reads itself must read exactly as ImageMagick reads them, every file that is
// not plain or not whole must be left to ImageMagick, and what the program writes must read
// back as the picture it was given.
#include "engine/BmpDecoder.h"
#include "engine/BmpWriter.h"

#include "engine/HeaderReader.h"
#include "engine/VipsRuntime.h"
#include "tests/support/CaseName.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestImages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <set>

namespace kovi {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using testing::CaseName;
using testing::TempFolder;
using vips::VImage;

constexpr std::uint32_t kSrgb = 0x73524742;
constexpr std::uint32_t kWindowsColours = 0x57696E20;
constexpr std::uint32_t kCalibrated = 0;
constexpr std::uint32_t kEmbeddedProfile = 0x4D424544;
constexpr std::uint32_t kBitFields = 3;
constexpr std::uint32_t kRunLength4 = 2;

enum class Runs { None, Repeats, Literals, NoLastEndOfLine };

// How a test file is laid out; the pixels are a fixed pattern with stretches of repeats.
struct BmpRecipe {
    int width = 37;
    int height = 11;
    int bits = 24;
    std::uint32_t compression = bmp::kUncompressed;
    Runs runs = Runs::None;
    std::uint32_t infoBytes = 40;
    bool topDown = false;
    std::uint32_t coloursUsed = 0; // 0: as many as the depth holds
    int indexRange = 0;            // indices drawn below this; 0: the table's size
    std::uint32_t colourSpace = kSrgb;
};

void PutLe16(Bytes& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void PutLe32(Bytes& out, std::uint32_t value) {
    PutLe16(out, value & 0xFFFF);
    PutLe16(out, value >> 16);
}

void SetLe32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t TableSize(const BmpRecipe& recipe) {
    if (recipe.bits > 8)
        return 0;
    return recipe.coloursUsed != 0 ? recipe.coloursUsed : 1u << recipe.bits;
}

// Stretches of five alike, then of changing values, so runs and literals both occur.
int Pattern(int x, int y, int range) {
    const int value = (x / 5) % 2 == 0 ? x / 5 + 3 * y : x * 7 + y * 13 + (x * y) % 17;
    return value % range;
}

void AppendRunLengthRow(const std::vector<int>& row, Runs runs, Bytes& out) {
    std::size_t x = 0;
    while (x < row.size()) {
        std::size_t length = 1;
        if (runs == Runs::Literals) {
            length = std::min<std::size_t>(row.size() - x, 255);
            if (length >= 3) {
                out.push_back(0);
                out.push_back(static_cast<std::uint8_t>(length));
                for (std::size_t i = 0; i < length; ++i)
                    out.push_back(static_cast<std::uint8_t>(row[x + i]));
                if (length % 2 != 0)
                    out.push_back(0);
                x += length;
                continue;
            }
        }
        while (x + length < row.size() && length < 255 && row[x + length] == row[x])
            ++length;
        out.push_back(static_cast<std::uint8_t>(length));
        out.push_back(static_cast<std::uint8_t>(row[x]));
        x += length;
    }
}

Bytes BuildBmp(const BmpRecipe& recipe) {
    const std::uint32_t table = TableSize(recipe);
    const int range = recipe.indexRange != 0 ? recipe.indexRange : static_cast<int>(table);
    Bytes out{'B', 'M'};
    PutLe32(out, 0);
    PutLe32(out, 0);
    PutLe32(out, 14 + recipe.infoBytes + 4 * table);
    PutLe32(out, recipe.infoBytes);
    PutLe32(out, static_cast<std::uint32_t>(recipe.width));
    PutLe32(out, static_cast<std::uint32_t>(recipe.topDown ? -recipe.height : recipe.height));
    PutLe16(out, 1);
    PutLe16(out, static_cast<std::uint32_t>(recipe.bits));
    PutLe32(out, recipe.compression);
    PutLe32(out, 0);
    PutLe32(out, 2835);
    PutLe32(out, 2835);
    PutLe32(out, recipe.coloursUsed);
    PutLe32(out, 0);
    if (recipe.infoBytes > 40) {
        for (std::uint32_t mask : {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u})
            PutLe32(out, mask);
        PutLe32(out, recipe.colourSpace);
        out.resize(14 + recipe.infoBytes, 0);
    }
    for (std::uint32_t i = 0; i < table; ++i)
        out.insert(out.end(),
                   {static_cast<std::uint8_t>(i * 37), static_cast<std::uint8_t>(255 - i),
                    static_cast<std::uint8_t>(i * 11 + 5), 0});
    const std::size_t stride = (static_cast<std::size_t>(recipe.width) * recipe.bits + 31) / 32 * 4;
    for (int stored = 0; stored < recipe.height; ++stored) {
        const int y = recipe.topDown ? stored : recipe.height - 1 - stored;
        std::vector<int> row(static_cast<std::size_t>(recipe.width));
        for (int x = 0; x < recipe.width; ++x)
            row[static_cast<std::size_t>(x)] = Pattern(x, y, recipe.bits > 8 ? 256 : range);
        if (recipe.runs != Runs::None) {
            AppendRunLengthRow(row, recipe.runs, out);
            const bool last = stored == recipe.height - 1;
            if (!last || recipe.runs != Runs::NoLastEndOfLine)
                out.insert(out.end(), {0, 0});
            if (last)
                out.insert(out.end(), {0, 1});
            continue;
        }
        const std::size_t start = out.size();
        out.resize(start + stride, 0);
        for (int x = 0; x < recipe.width; ++x) {
            const auto value = static_cast<std::uint32_t>(row[static_cast<std::size_t>(x)]);
            if (recipe.bits >= 16) {
                const int bytes = recipe.bits / 8;
                for (int c = 0; c < bytes; ++c)
                    out[start + static_cast<std::size_t>(x * bytes + c)] =
                        static_cast<std::uint8_t>(value * (c + 1) + 40 * c);
            } else {
                const int perByte = 8 / recipe.bits;
                const int shift = 8 - recipe.bits * (1 + x % perByte);
                out[start + static_cast<std::size_t>(x / perByte)] |=
                    static_cast<std::uint8_t>(value << shift);
            }
        }
    }
    SetLe32(out, 2, static_cast<std::uint32_t>(out.size()));
    return out;
}

// The picture as ImageMagick decodes it, as 8-bit RGB.
VImage ReadByImageMagick(const fs::path& path) {
    RequireOperation("magickload");
    VImage image;
    VImage::call("magickload", VImage::option()->set("filename", path.c_str())->set("out", &image));
    image = image.colourspace(VIPS_INTERPRETATION_sRGB).cast(VIPS_FORMAT_UCHAR);
    return image.bands() > 3 ? image.extract_band(0, VImage::option()->set("n", 3)) : image;
}

class MemorySink final : public ByteSink {
public:
    bool write(const void* data, std::size_t size) override {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        written.insert(written.end(), bytes, bytes + size);
        return true;
    }
    int descriptor() const override { return -1; }
    const std::string& error() const override { return noError; }
    Bytes written;
    std::string noError;
};

struct PlainCase {
    const char* name;
    BmpRecipe recipe;
};

class PlainBmp : public ::testing::TestWithParam<PlainCase> {
protected:
    TempFolder folder;
};

TEST_P(PlainBmp, ReadsAsImageMagickReadsIt) {
    const BmpRecipe& recipe = GetParam().recipe;
    const Bytes file = BuildBmp(recipe);
    const fs::path path = folder / "plain.bmp";
    testing::WriteBytes(path, {file.begin(), file.end()});
    const VImage reference = ReadByImageMagick(path);

    const auto layout = ReadBmpLayout(file);
    ASSERT_TRUE(layout && layout->plain());
    const auto decoded = DecodePlainBmp(file, 1 << 20);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->width, reference.width());
    EXPECT_EQ(decoded->height, reference.height());
    ASSERT_EQ(decoded->bands, 3);
    const Bytes expected = testing::PixelBytes(reference);
    ASSERT_EQ(decoded->bytes, expected.size());
    EXPECT_EQ(std::memcmp(decoded->pixels.get(), expected.data(), expected.size()), 0);
}

PlainCase Plain(const char* name, BmpRecipe recipe) {
    return {name, recipe};
}

BmpRecipe Rle8(Runs runs) {
    BmpRecipe recipe;
    recipe.bits = 8;
    recipe.compression = bmp::kRunLength8;
    recipe.runs = runs;
    recipe.width = 301; // runs and literals longer than one count holds
    return recipe;
}

const PlainCase kPlainCases[] = {
    Plain("colour, rows padded", {.width = 37}),
    Plain("colour, no padding", {.width = 40}),
    Plain("colour, top down", {.topDown = true}),
    Plain("colour, V4 header in sRGB", {.infoBytes = 108}),
    Plain("colour, V5 header in system colours",
          {.infoBytes = 124, .colourSpace = kWindowsColours}),
    Plain("256 colours", {.bits = 8}),
    Plain("100 colours of 256", {.bits = 8, .coloursUsed = 100}),
    Plain("256 colours, top down", {.bits = 8, .topDown = true}),
    Plain("16 colours, odd width", {.width = 13, .bits = 4}),
    Plain("two colours, odd width", {.width = 13, .bits = 1}),
    Plain("two colours, 33 wide", {.width = 33, .bits = 1}),
    Plain("run-length, repeats", Rle8(Runs::Repeats)),
    Plain("run-length, literal stretches", Rle8(Runs::Literals)),
    Plain("run-length, end of bitmap ends the last row", Rle8(Runs::NoLastEndOfLine)),
};

INSTANTIATE_TEST_SUITE_P(Layouts, PlainBmp, ::testing::ValuesIn(kPlainCases), CaseName{});

struct RefusedCase {
    const char* name;
    BmpRecipe recipe;
    std::function<void(Bytes&)> damage;
};

class RefusedBmp : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedBmp, IsLeftToImageMagick) {
    const RefusedCase& one = GetParam();
    Bytes file = BuildBmp(one.recipe);
    if (one.damage)
        one.damage(file);
    EXPECT_FALSE(DecodePlainBmp(file, 1 << 20));
}

void NoDamage(Bytes&) {}

// Where a run-length file's first row (the bottom one) begins.
std::size_t FirstRun(const Bytes& file) {
    return Le32(file.data() + 10);
}

const RefusedCase kRefusedCases[] = {
    {"an OS/2 header",
     {},
     [](Bytes& b) {
         SetLe32(b, 14, 12);
     }},
    {"colour in bit fields", {.compression = kBitFields}, NoDamage},
    {"32 bits a pixel", {.bits = 32}, NoDamage},
    {"16 bits a pixel", {.bits = 16}, NoDamage},
    {"two planes",
     {},
     [](Bytes& b) {
         b[26] = 2;
     }},
    {"no width",
     {},
     [](Bytes& b) {
         SetLe32(b, 18, 0);
     }},
    {"no height",
     {},
     [](Bytes& b) {
         SetLe32(b, 22, 0);
     }},
    {"the most negative height",
     {},
     [](Bytes& b) {
         SetLe32(b, 22, 0x80000000u);
     }},
    {"calibrated colours", {.infoBytes = 108, .colourSpace = kCalibrated}, NoDamage},
    {"an embedded profile", {.infoBytes = 124, .colourSpace = kEmbeddedProfile}, NoDamage},
    {"16-colour run-length", {.bits = 4, .compression = kRunLength4}, NoDamage},
    {"run-length stored top down",
     [] {
         BmpRecipe recipe = Rle8(Runs::Repeats);
         recipe.topDown = true;
         return recipe;
     }(),
     NoDamage},
    {"an index past the table", {.bits = 8, .coloursUsed = 100, .indexRange = 256}, NoDamage},
    {"more colours than the depth holds", {.bits = 4, .coloursUsed = 17}, NoDamage},
    {"the table running into the pixels",
     {.bits = 8},
     [](Bytes& b) {
         SetLe32(b, 10, Le32(b.data() + 10) - 4);
     }},
    {"pixels inside the headers",
     {},
     [](Bytes& b) {
         SetLe32(b, 10, 14);
     }},
    {"pixels beyond the end",
     {},
     [](Bytes& b) {
         SetLe32(b, 10, static_cast<std::uint32_t>(b.size() + 1));
     }},
    {"the last row cut short",
     {},
     [](Bytes& b) {
         b.pop_back();
     }},
    {"more pixels than allowed", {.width = 1100, .height = 1000}, NoDamage},
    {"run-length jump", Rle8(Runs::Repeats),
     [](Bytes& b) {
         const std::size_t at = FirstRun(b);
         b[at] = 0;
         b[at + 1] = 2;
     }},
    {"run-length rows shorter than the width", Rle8(Runs::Repeats),
     [](Bytes& b) {
         SetLe32(b, 18, 302);
     }},
    {"run-length rows longer than the width", Rle8(Runs::Repeats),
     [](Bytes& b) {
         SetLe32(b, 18, 300);
     }},
    {"run-length literal rows longer than the width", Rle8(Runs::Literals),
     [](Bytes& b) {
         SetLe32(b, 18, 300);
     }},
    {"run-length without its end", Rle8(Runs::Repeats),
     [](Bytes& b) {
         b.resize(b.size() - 2);
     }},
    {"run-length ending a row early", Rle8(Runs::Repeats),
     [](Bytes& b) {
         const std::size_t at = FirstRun(b);
         b.insert(b.begin() + static_cast<std::ptrdiff_t>(at), {2, 0, 0, 0});
     }},
    {"run-length ending early", Rle8(Runs::Repeats),
     [](Bytes& b) {
         const std::size_t at = FirstRun(b);
         b.resize(at);
         b.insert(b.end(), {255, 1, 46, 1, 0, 1});
     }},
};

INSTANTIATE_TEST_SUITE_P(Files, RefusedBmp, ::testing::ValuesIn(kRefusedCases), CaseName{});

TEST(RefusedBmp, CutAnywhereIsLeftToImageMagick) {
    for (const BmpRecipe& recipe :
         {BmpRecipe{}, BmpRecipe{.bits = 4}, Rle8(Runs::Repeats), Rle8(Runs::Literals)}) {
        const Bytes file = BuildBmp(recipe);
        ASSERT_TRUE(DecodePlainBmp(file, 1 << 20));
        for (std::size_t size = 0; size < file.size(); ++size)
            EXPECT_FALSE(DecodePlainBmp(std::span(file.data(), size), 1 << 20))
                << recipe.bits << " bits cut to " << size << " of " << file.size() << " bytes";
    }
}

// Stripes of a few colours: a run longer than one count holds, literal stretches of odd and
// even length and longer than one count, pairs, and single pixels.
VImage FewColours(int width, int height, int colours) {
    const VImage xy = VImage::xyz(width, height);
    const VImage x = xy[0];
    const VImage y = xy[1];
    const VImage band = (y % 4);
    const VImage alternating = (x % 2) * (colours - 1);
    const VImage pairs = ((x / 2) % 3) % colours;
    const VImage stretch = ((x / 7) % colours);
    VImage index = (band == 0).ifthenelse(
        0, (band == 1).ifthenelse(alternating, (band == 2).ifthenelse(pairs, stretch)));
    index = index.cast(VIPS_FORMAT_UCHAR);
    const double step = 255.0 / std::max(colours - 1, 1);
    const VImage red = index * step;
    const VImage green = 255 - index * step;
    const VImage blue = (index * 53) % 256;
    return red.bandjoin(green)
        .bandjoin(blue)
        .cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()
                  ->set("interpretation", VIPS_INTERPRETATION_sRGB)
                  ->set("xres", 2.925)
                  ->set("yres", 3.5));
}

struct WrittenCase {
    const char* name;
    BmpWriteSettings settings;
    int colours;
};

class WrittenBmp : public ::testing::TestWithParam<WrittenCase> {
protected:
    TempFolder folder;
};

TEST_P(WrittenBmp, ReadsBackAsThePictureItWasGiven) {
    const WrittenCase& one = GetParam();
    const VImage picture = FewColours(601, 9, one.colours);
    MemorySink sink;
    std::string error;
    ASSERT_TRUE(WriteBmp(picture, one.settings, sink, error)) << error;

    const auto layout = ReadBmpLayout(sink.written);
    ASSERT_TRUE(layout && layout->plain());
    EXPECT_EQ(layout->infoBytes, 40u);
    EXPECT_EQ(layout->bitsPerPixel, one.settings.bitsPerPixel);
    EXPECT_EQ(layout->compression, one.settings.runLength ? bmp::kRunLength8 : bmp::kUncompressed);
    EXPECT_EQ(layout->xPixelsPerMetre, 2925);
    EXPECT_EQ(layout->yPixelsPerMetre, 3500);
    EXPECT_EQ(Le32(sink.written.data() + 2), sink.written.size());
    if (one.settings.bitsPerPixel <= 8) {
        EXPECT_LE(layout->paletteEntries, 1u << one.settings.bitsPerPixel);
    }

    const fs::path path = folder / "written.bmp";
    testing::WriteBytes(path, {sink.written.begin(), sink.written.end()});
    const Bytes expected = testing::PixelBytes(picture);
    EXPECT_EQ(testing::PixelBytes(ReadByImageMagick(path)), expected);
    const auto decoded = DecodePlainBmp(sink.written, 1 << 20);
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->bytes, expected.size());
    EXPECT_EQ(std::memcmp(decoded->pixels.get(), expected.data(), expected.size()), 0);
}

const WrittenCase kWrittenCases[] = {
    {"colour", {24, false}, 256},
    {"256 colours", {8, false}, 200},
    {"256 colours run-length", {8, true}, 200},
    {"run-length of two colours", {8, true}, 2},
    {"16 colours", {4, false}, 16},
    {"two colours", {1, false}, 2},
};

INSTANTIATE_TEST_SUITE_P(Depths, WrittenBmp, ::testing::ValuesIn(kWrittenCases), CaseName{});

// A photograph has far more colours than a table holds; the table is the picture's own.
TEST(WrittenBmp, ChoosesTheColoursOfAPhotograph) {
    const VImage picture = testing::ColourRamp(160, 120);
    for (int bits : {8, 4}) {
        MemorySink sink;
        std::string error;
        ASSERT_TRUE(WriteBmp(picture, {bits, bits == 8}, sink, error)) << error;
        const auto decoded = DecodePlainBmp(sink.written, 1 << 20);
        ASSERT_TRUE(decoded);
        const Bytes expected = testing::PixelBytes(picture.cast(VIPS_FORMAT_UCHAR));
        ASSERT_EQ(decoded->bytes, expected.size());
        std::set<std::uint32_t> colours;
        double difference = 0;
        for (std::size_t i = 0; i < expected.size(); i += 3) {
            const std::uint8_t* pixel = decoded->pixels.get() + i;
            colours.insert(pixel[0] << 16 | pixel[1] << 8 | pixel[2]);
            for (std::size_t c = 0; c < 3; ++c)
                difference += std::abs(pixel[c] - expected[i + c]);
        }
        EXPECT_LE(colours.size(), 1u << bits);
        EXPECT_GT(colours.size(), (1u << bits) / 2) << "the table should be put to use";
        EXPECT_LT(difference / static_cast<double>(expected.size()), bits == 8 ? 3.0 : 12.0);
    }
}

} // namespace
} // namespace kovi
