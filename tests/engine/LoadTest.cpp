// Loading and measuring: what the listing shows for each kind of file, and that files which
// are no readable image load as nothing, quietly.
#include <functional>
#include <random>

#include <gtest/gtest.h>

#include "engine/ImagingControl.h"
#include "tests/support/CaseName.h"
#include "tests/support/CraftedFiles.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestImages.h"

namespace kovi {
namespace {

namespace fs = std::filesystem;
using testing::CaseName;
using testing::ColourRamp;
using testing::GreyRamp;
using testing::SaveAs;
using testing::Sixteen;
using vips::VImage;

constexpr int kWidth = 67;
constexpr int kHeight = 43;
constexpr std::int64_t kTrueColour = 16777216;

using Maker = std::function<void(const fs::path&)>;

Maker Save(std::function<VImage()> source, std::string options = "") {
    return [=](const fs::path& path) {
        SaveAs(source(), path, options);
    };
}

VImage Rgb() {
    return ColourRamp(kWidth, kHeight);
}
VImage Rgba() {
    return ColourRamp(kWidth, kHeight, 4);
}
VImage Grey() {
    return GreyRamp(kWidth, kHeight);
}
VImage Cmyk() {
    return testing::Cmyk(kWidth, kHeight);
}

struct MeasureCase {
    const char* name;
    Maker make;
    int typeCode;
    int bitsPerPixel;
    std::int64_t colours;
};

const MeasureCase kMeasureCases[] = {
    {"rgb.jpg", Save(Rgb), 8, 24, kTrueColour},
    {"grey.jpg", Save(Grey), 8, 8, 256},
    {"cmyk.jpg", Save(Cmyk), 8, 32, kTrueColour},
    {"png-with-jpeg-extension.jpg", [](auto& p) { Rgb().pngsave(p.c_str()); }, 10, 24, kTrueColour},
    {"rgba.png", Save(Rgba), 10, 32, kTrueColour},
    {"palette-4bit.png", Save(Rgb, "palette,bitdepth=4"), 10, 4, 16},
    {"grey-1bit.png", Save(Grey, "bitdepth=1"), 10, 1, 2},
    {"rgb-16bit.png", Save([] { return Sixteen(Rgb()); }), 10, 48, kTrueColour},
    {"grey-16bit.png", Save([] { return Sixteen(Grey()); }), 10, 16, 65536},
    {"palette-4bit.gif", Save(Rgb, "bitdepth=4"), 3, 4, 16},
    {"rgb.tif", Save(Rgb), 4, 24, kTrueColour},
    {"bilevel.tif", Save(Grey, "bitdepth=1"), 4, 1, 2},
    {"rgb-16bit.tif", Save([] { return Sixteen(Rgb()); }), 4, 48, kTrueColour},
    {"cmyk.tif", Save(Cmyk), 4, 32, kTrueColour},
    {"rgb.webp", Save(Rgb), 39, 24, kTrueColour},
    {"rgba.webp", Save(Rgba), 39, 32, kTrueColour},
    {"rgb.heic", Save(Rgb), 40, 24, kTrueColour},
    {"rgb.avif", Save(Rgb, "compression=av1"), 41, 24, kTrueColour},
    {"rgb.jxl", Save(Rgb), 42, 24, kTrueColour},
    {"rgb.jp2", Save(Rgb), 36, 24, kTrueColour},
    {"bitmap.pbm", Save(Grey, "bitdepth=1"), 23, 1, 2},
    {"grey.pgm", Save(Grey), 22, 8, 256},
    {"grey-16bit.pgm", Save([] { return Sixteen(Grey()); }), 22, 16, 65536},
    {"rgb.ppm", Save(Rgb), 21, 24, kTrueColour},
    {"plain-text.ppm", Save(Rgb, "ascii"), 21, 24, kTrueColour},
    {"rgb.bmp", Save(Rgb), 5, 24, kTrueColour},
    {"palette-8bit.bmp", Save(Rgb, "bitdepth=8"), 5, 8, 256},
    {"palette-4bit.bmp", Save(Rgb, "bitdepth=4"), 5, 4, 16},
    {"rgb.tga", Save(Rgb), 1, 24, kTrueColour},
    {"mapped.tga", Save(Rgb, "bitdepth=8"), 1, 8, 256},
    {"rgb.pcx", Save(Rgb), 2, 24, kTrueColour},
    {"palette-8bit.pcx", Save(Rgb, "bitdepth=8"), 2, 8, 256},
    {"rgba.ico", Save(Rgba), 20, 32, kTrueColour},
    // The size is the stored one: the orientation is not applied, an animation is one frame.
    {"exif-orientation-6.jpg",
     [](auto& p) {
         VImage image = Rgb().copy();
         image.set("orientation", 6);
         image.jpegsave(p.c_str());
     },
     8, 24, kTrueColour},
    {"three-frames.gif", Save([] {
         return testing::Animation({Rgb(), Rgb(), Rgb()}, 100);
     }),
     3, 8, 256},
    // The header is enough to measure a file whose pixels are cut off.
    {"truncated.jpg",
     [](auto& p) {
         const std::string bytes = testing::Encoded(Rgb(), ".jpg");
         testing::WriteBytes(p, bytes.substr(0, bytes.find("\xFF\xDA") + 20));
     },
     8, 24, kTrueColour},
    {"holiday[1]", [](auto& p) { Rgb().pngsave(p.c_str()); }, 10, 24, kTrueColour},
};

class MeasureTest : public ::testing::TestWithParam<MeasureCase> {};

TEST_P(MeasureTest, ReportsSizeFormatAndDepthAsStored) {
    const MeasureCase& c = GetParam();
    testing::TempFolder folder;
    const auto path = folder / c.name;
    c.make(path);

    ImagingControl control;
    control.SetLoadPath(path);
    EXPECT_EQ(control.LoadPath(), path);
    EXPECT_EQ(control.FileTypeCode(), c.typeCode);
    EXPECT_EQ(control.ImageWidth(), kWidth);
    EXPECT_EQ(control.ImageHeight(), kHeight);
    EXPECT_EQ(control.BitsPerPixel(), c.bitsPerPixel);
    EXPECT_EQ(control.ColourCount(), c.colours);
    EXPECT_EQ(control.FileBytes(), static_cast<std::int64_t>(fs::file_size(path)));

    control.SetLoadPath("");
    EXPECT_TRUE(control.LoadPath().empty());
    EXPECT_EQ(control.FileTypeCode(), 0);
    EXPECT_EQ(control.ImageWidth(), 0);
    EXPECT_EQ(control.FileBytes(), 0);
}

INSTANTIATE_TEST_SUITE_P(Formats, MeasureTest, ::testing::ValuesIn(kMeasureCases), CaseName{});

std::string RandomBytes(std::size_t count) {
    std::mt19937 generator(12345);
    std::string bytes(count, '\0');
    for (char& b : bytes)
        b = static_cast<char>(generator() & 0xFF);
    bytes[1] = 'x'; // not the start of a TGA header, which has no signature to tell it by
    return bytes;
}

using PathMaker = std::function<fs::path(const testing::TempFolder&)>;

PathMaker Bytes(const char* name, std::string bytes) {
    return [=](const testing::TempFolder& folder) {
        testing::WriteBytes(folder / name, bytes);
        return folder / name;
    };
}

struct UnreadableCase {
    const char* name;
    PathMaker make;
};

const UnreadableCase kUnreadableCases[] = {
    {"empty file", Bytes("empty.jpg", "")},
    {"text file", Bytes("notes.txt", "Holiday pictures, 2019\r\nsee folder B\r\n")},
    {"random bytes", Bytes("noise.png", RandomBytes(4096))},
    {"jpeg signature then nonsense", Bytes("broken.jpg", "\xFF\xD8\xFF" + RandomBytes(500))},
    {"png signature only", Bytes("cut.png", "\x89PNG\r\n\x1A\n")},
    {"comma-separated numbers", Bytes("export.csv", "1,2,3\r\n4,5,6\r\n")},
    {"two numbers on the first line", Bytes("sizes.txt", "2 2\n1 2\n3 4\n")},
    {"html page", Bytes("page.html", "<HTML><BODY>hello</BODY></HTML>\n")},
    {"folder",
     [](auto& f) {
         fs::create_directory(f / "album.jpg");
         return f / "album.jpg";
     }},
    {"vanished file",
     [](auto& f) {
         return f / "gone.jpg";
     }},
    {"dangling link",
     [](auto& f) {
         fs::create_symlink(f / "missing.jpg", f / "link.jpg");
         return f / "link.jpg";
     }},
};

class UnreadableTest : public ::testing::TestWithParam<UnreadableCase> {};

TEST_P(UnreadableTest, LoadsAsNothingAndQuietly) {
    testing::TempFolder folder;
    const auto path = GetParam().make(folder);

    ImagingControl control;
    ::testing::internal::CaptureStderr();
    control.SetLoadPath(path);
    EXPECT_TRUE(control.LoadPath().empty());
    EXPECT_EQ(control.FileTypeCode(), 0);
    EXPECT_EQ(control.ImageWidth(), 0);
    EXPECT_EQ(control.ImageHeight(), 0);
    EXPECT_EQ(control.BitsPerPixel(), 0);
    EXPECT_FALSE(control.ResizeImage(10, 10));
    control.SetSavePath(path);
    EXPECT_FALSE(control.SaveImage());
    EXPECT_FALSE(control.LastError().empty());
    EXPECT_FALSE(control.Preview(64).has_value());
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

INSTANTIATE_TEST_SUITE_P(Files, UnreadableTest, ::testing::ValuesIn(kUnreadableCases), CaseName{});

Maker Ramp(std::string options = "") {
    return Save([] { return ColourRamp(300, 200); }, options);
}
Maker Text(std::string text) {
    return [=](const fs::path& path) {
        testing::WriteBytes(path, text);
    };
}

struct DamagedCase {
    const char* name;
    const char* file;
    Maker make;
};

const DamagedCase kDamagedCases[] = {
    {"jpeg", "cut.jpg", Ramp()},
    {"progressive jpeg", "cut-progressive.jpg", Ramp("interlace")},
    {"png", "cut.png", Ramp()},
    {"gif", "cut.gif", Ramp()},
    {"tiff", "cut.tif", Ramp("compression=lzw")},
    {"webp", "cut.webp", Ramp()},
    {"heif", "cut.heic", Ramp()},
    {"jpeg 2000", "cut.jp2", Ramp()},
    {"ppm", "cut.ppm", Ramp()},
    {"bmp", "cut.bmp", Ramp()},
    {"pdf", "broken.pdf", Text("%PDF-1.4\n1 0 obj << /Type /Catalog >>\n")},
    {"svg", "broken.svg", Text("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\"")},
};

class DamagedTest : public ::testing::TestWithParam<DamagedCase> {};

// A file cut short is never written back with its missing part made up, and nothing is said
// on the terminal about it.
TEST_P(DamagedTest, IsNeverRewrittenAndNeverNoisy) {
    const DamagedCase& c = GetParam();
    testing::TempFolder folder;
    const auto path = folder / c.file;
    c.make(path);
    std::string bytes = testing::ReadBytes(path);
    bytes.resize(bytes.size() * 6 / 10);
    testing::WriteBytes(path, bytes);

    ::testing::internal::CaptureStderr();
    ImagingControl control;
    control.SetLoadPath(path);
    if (control.FileTypeCode() != 0) {
        control.Preview(32);
        // Some decoders notice the damage here already, others only while saving.
        control.ResizeImage(std::max(1, control.ImageWidth() / 2),
                            std::max(1, control.ImageHeight() / 2));
        control.SetSavePath(path);
        EXPECT_FALSE(control.SaveImage());
        EXPECT_FALSE(control.LastError().empty());
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(testing::ReadBytes(path), bytes);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), {}), 1);
}

INSTANTIATE_TEST_SUITE_P(Files, DamagedTest, ::testing::ValuesIn(kDamagedCases), CaseName{});

struct PreviewCase {
    const char* name;
    const char* file;
    Maker make;
    int width;
    int height;
};

const PreviewCase kPreviewCases[] = {
    {"grey jpeg", "grey.jpg", Save([] { return GreyRamp(400, 100); }), 64, 16},
    {"cmyk jpeg", "cmyk.jpg", Save([] { return testing::Cmyk(300, 600); }), 32, 64},
    {"16-bit png with alpha", "deep.png", Save([] { return Sixteen(ColourRamp(200, 200, 4)); }), 64,
     64},
    {"animated gif shows its first frame", "animated.gif", Save([] {
         return testing::Animation({ColourRamp(80, 40), ColourRamp(80, 40)}, 50);
     }),
     64, 32},
    {"bilevel tiff", "fax.tif", Save([] { return GreyRamp(640, 64); }, "bitdepth=1"), 64, 6},
    {"smaller than asked stays its size", "tiny.bmp", Save([] { return ColourRamp(20, 10); }), 20,
     10},
};

class PreviewTest : public ::testing::TestWithParam<PreviewCase> {};

TEST_P(PreviewTest, IsASmallEightBitRgbPicture) {
    const PreviewCase& c = GetParam();
    testing::TempFolder folder;
    const auto path = folder / c.file;
    c.make(path);

    ImagingControl control;
    control.SetLoadPath(path);
    const auto preview = control.Preview(64);
    ASSERT_TRUE(preview.has_value());
    EXPECT_EQ(preview->width, c.width);
    EXPECT_EQ(preview->height, c.height);
    EXPECT_EQ(preview->rgb.size(), static_cast<std::size_t>(c.width) * c.height * 3);
}

INSTANTIATE_TEST_SUITE_P(Files, PreviewTest, ::testing::ValuesIn(kPreviewCases), CaseName{});

} // namespace
} // namespace kovi
