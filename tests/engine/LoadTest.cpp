// Loading and measuring: what the listing shows for each kind of file, and that files which
// are no readable image load as nothing, quietly.
#include <cstdio>
#include <functional>
#include <random>

#include <gtest/gtest.h>
#include <unistd.h>

#include "engine/ImagingControl.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestImages.h"

namespace kovi {
namespace {

using testing::ColourRamp;
using testing::GreyRamp;
using vips::VImage;

constexpr int kWidth = 67;
constexpr int kHeight = 43;

VImage Cmyk(int width, int height) {
    return ColourRamp(width, height)
        .bandjoin(VImage::black(width, height) + 30)
        .cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_CMYK));
}

VImage Sixteen(const VImage& image) {
    const auto interpretation =
        image.bands() >= 3 ? VIPS_INTERPRETATION_RGB16 : VIPS_INTERPRETATION_GREY16;
    return (image.cast(VIPS_FORMAT_USHORT) * 257)
        .cast(VIPS_FORMAT_USHORT)
        .copy(VImage::option()->set("interpretation", interpretation));
}

void Magick(const VImage& image, const std::filesystem::path& path, const char* format,
            int bits = 0) {
    auto* options = VImage::option()->set("format", format);
    if (bits > 0)
        options->set("bitdepth", bits);
    image.magicksave(path.c_str(), options);
}

struct MeasureCase {
    const char* name;
    std::function<void(const std::filesystem::path&)> make;
    int typeCode;
    int bitsPerPixel;
    std::int64_t colours;
};

const MeasureCase kMeasureCases[] = {
    {"rgb.jpg", [](auto& p) { ColourRamp(kWidth, kHeight).jpegsave(p.c_str()); }, 8, 24, 16777216},
    {"grey.jpg", [](auto& p) { GreyRamp(kWidth, kHeight).jpegsave(p.c_str()); }, 8, 8, 256},
    {"cmyk.jpg", [](auto& p) { Cmyk(kWidth, kHeight).jpegsave(p.c_str()); }, 8, 32, 16777216},
    {"png-with-jpeg-extension.jpg", [](auto& p) { ColourRamp(kWidth, kHeight).pngsave(p.c_str()); },
     10, 24, 16777216},
    {"rgba.png", [](auto& p) { ColourRamp(kWidth, kHeight, 4).pngsave(p.c_str()); }, 10, 32,
     16777216},
    {"palette-4bit.png",
     [](auto& p) {
         ColourRamp(kWidth, kHeight)
             .pngsave(p.c_str(), VImage::option()->set("palette", true)->set("bitdepth", 4));
     },
     10, 4, 16},
    {"grey-1bit.png",
     [](auto& p) {
         GreyRamp(kWidth, kHeight).pngsave(p.c_str(), VImage::option()->set("bitdepth", 1));
     },
     10, 1, 2},
    {"rgb-16bit.png", [](auto& p) { Sixteen(ColourRamp(kWidth, kHeight)).pngsave(p.c_str()); }, 10,
     48, 16777216},
    {"grey-16bit.png", [](auto& p) { Sixteen(GreyRamp(kWidth, kHeight)).pngsave(p.c_str()); }, 10,
     16, 65536},
    {"palette-4bit.gif",
     [](auto& p) {
         ColourRamp(kWidth, kHeight).gifsave(p.c_str(), VImage::option()->set("bitdepth", 4));
     },
     3, 4, 16},
    {"rgb.tif", [](auto& p) { ColourRamp(kWidth, kHeight).tiffsave(p.c_str()); }, 4, 24, 16777216},
    {"bilevel.tif",
     [](auto& p) {
         GreyRamp(kWidth, kHeight).tiffsave(p.c_str(), VImage::option()->set("bitdepth", 1));
     },
     4, 1, 2},
    {"rgb-16bit.tif", [](auto& p) { Sixteen(ColourRamp(kWidth, kHeight)).tiffsave(p.c_str()); }, 4,
     48, 16777216},
    {"cmyk.tif", [](auto& p) { Cmyk(kWidth, kHeight).tiffsave(p.c_str()); }, 4, 32, 16777216},
    {"rgb.webp", [](auto& p) { ColourRamp(kWidth, kHeight).webpsave(p.c_str()); }, 39, 24,
     16777216},
    {"rgba.webp", [](auto& p) { ColourRamp(kWidth, kHeight, 4).webpsave(p.c_str()); }, 39, 32,
     16777216},
    {"rgb.heic", [](auto& p) { ColourRamp(kWidth, kHeight).heifsave(p.c_str()); }, 40, 24,
     16777216},
    {"rgb.avif",
     [](auto& p) {
         ColourRamp(kWidth, kHeight)
             .heifsave(p.c_str(),
                       VImage::option()->set("compression", VIPS_FOREIGN_HEIF_COMPRESSION_AV1));
     },
     41, 24, 16777216},
    {"rgb.jxl", [](auto& p) { ColourRamp(kWidth, kHeight).jxlsave(p.c_str()); }, 42, 24, 16777216},
    {"rgb.jp2", [](auto& p) { ColourRamp(kWidth, kHeight).jp2ksave(p.c_str()); }, 36, 24, 16777216},
    {"bitmap.pbm",
     [](auto& p) {
         GreyRamp(kWidth, kHeight).ppmsave(p.c_str(), VImage::option()->set("bitdepth", 1));
     },
     23, 1, 2},
    {"grey.pgm", [](auto& p) { GreyRamp(kWidth, kHeight).ppmsave(p.c_str()); }, 22, 8, 256},
    {"grey-16bit.pgm", [](auto& p) { Sixteen(GreyRamp(kWidth, kHeight)).ppmsave(p.c_str()); }, 22,
     16, 65536},
    {"rgb.ppm", [](auto& p) { ColourRamp(kWidth, kHeight).ppmsave(p.c_str()); }, 21, 24, 16777216},
    {"plain-text.ppm",
     [](auto& p) {
         ColourRamp(kWidth, kHeight).ppmsave(p.c_str(), VImage::option()->set("ascii", true));
     },
     21, 24, 16777216},
    {"rgb.bmp", [](auto& p) { Magick(ColourRamp(kWidth, kHeight), p, "BMP"); }, 5, 24, 16777216},
    {"palette-8bit.bmp", [](auto& p) { Magick(ColourRamp(kWidth, kHeight), p, "BMP", 8); }, 5, 8,
     256},
    {"palette-4bit.bmp", [](auto& p) { Magick(ColourRamp(kWidth, kHeight), p, "BMP", 4); }, 5, 4,
     16},
    {"rgb.tga", [](auto& p) { Magick(ColourRamp(kWidth, kHeight), p, "TGA"); }, 1, 24, 16777216},
    {"mapped.tga", [](auto& p) { Magick(ColourRamp(kWidth, kHeight), p, "TGA", 8); }, 1, 8, 256},
    {"rgb.pcx", [](auto& p) { Magick(ColourRamp(kWidth, kHeight), p, "PCX"); }, 2, 24, 16777216},
    {"palette-8bit.pcx", [](auto& p) { Magick(ColourRamp(kWidth, kHeight), p, "PCX", 8); }, 2, 8,
     256},
    {"rgba.ico", [](auto& p) { Magick(ColourRamp(kWidth, kHeight, 4), p, "ICO"); }, 20, 32,
     16777216},
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
    EXPECT_EQ(control.FileBytes(), static_cast<std::int64_t>(std::filesystem::file_size(path)));
}

INSTANTIATE_TEST_SUITE_P(Formats, MeasureTest, ::testing::ValuesIn(kMeasureCases),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

std::string RandomBytes(std::size_t count) {
    std::mt19937 generator(12345);
    std::string bytes(count, '\0');
    for (char& b : bytes)
        b = static_cast<char>(generator() & 0xFF);
    bytes[1] = 'x'; // not the start of a TGA header, which has no signature to tell it by
    return bytes;
}

struct UnreadableCase {
    const char* name;
    std::function<std::filesystem::path(const testing::TempFolder&)> make;
};

std::filesystem::path WriteFile(const testing::TempFolder& folder, const char* name,
                                const std::string& bytes) {
    testing::WriteBytes(folder / name, bytes);
    return folder / name;
}

const UnreadableCase kUnreadableCases[] = {
    {"empty file",
     [](auto& f) {
         return WriteFile(f, "empty.jpg", "");
     }},
    {"text file",
     [](auto& f) {
         return WriteFile(f, "notes.txt", "Holiday pictures, 2019\r\nsee folder B\r\n");
     }},
    {"random bytes",
     [](auto& f) {
         return WriteFile(f, "noise.png", RandomBytes(4096));
     }},
    {"jpeg signature then nonsense",
     [](auto& f) {
         return WriteFile(f, "broken.jpg", "\xFF\xD8\xFF" + RandomBytes(500));
     }},
    {"png signature only",
     [](auto& f) {
         return WriteFile(f, "cut.png", "\x89PNG\r\n\x1A\n");
     }},
    {"comma-separated numbers",
     [](auto& f) {
         return WriteFile(f, "export.csv", "1,2,3\r\n4,5,6\r\n");
     }},
    {"two numbers on the first line",
     [](auto& f) {
         return WriteFile(f, "sizes.txt", "2 2\n1 2\n3 4\n");
     }},
    {"html page",
     [](auto& f) {
         return WriteFile(f, "page.html", "<HTML><BODY>hello</BODY></HTML>\n");
     }},
    {"folder",
     [](auto& f) {
         std::filesystem::create_directory(f / "album.jpg");
         return f / "album.jpg";
     }},
    {"vanished file",
     [](auto& f) {
         return f / "gone.jpg";
     }},
    {"dangling link",
     [](auto& f) {
         std::filesystem::create_symlink(f / "missing.jpg", f / "link.jpg");
         return f / "link.jpg";
     }},
};

class UnreadableTest : public ::testing::TestWithParam<UnreadableCase> {};

// Captures what is written to standard error while it lives.
class StderrCapture {
public:
    StderrCapture() : file_(std::tmpfile()) {
        std::fflush(stderr);
        saved_ = ::dup(2);
        ::dup2(::fileno(file_), 2);
    }
    ~StderrCapture() {
        restore();
        std::fclose(file_);
    }
    std::string text() {
        restore();
        std::rewind(file_);
        std::string text;
        for (int c = std::fgetc(file_); c != EOF; c = std::fgetc(file_))
            text += static_cast<char>(c);
        return text;
    }

private:
    void restore() {
        if (saved_ < 0)
            return;
        std::fflush(stderr);
        ::dup2(saved_, 2);
        ::close(saved_);
        saved_ = -1;
    }
    std::FILE* file_;
    int saved_ = -1;
};

TEST_P(UnreadableTest, LoadsAsNothingAndQuietly) {
    testing::TempFolder folder;
    const auto path = GetParam().make(folder);

    ImagingControl control;
    StderrCapture stderrText;
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
    EXPECT_EQ(stderrText.text(), "");
}

INSTANTIATE_TEST_SUITE_P(Files, UnreadableTest, ::testing::ValuesIn(kUnreadableCases),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

struct DamagedCase {
    const char* name;
    const char* file;
    std::function<void(const std::filesystem::path&)> make;
};

const DamagedCase kDamagedCases[] = {
    {"jpeg", "cut.jpg",
     [](auto& p) {
         ColourRamp(300, 200).jpegsave(p.c_str());
     }},
    {"progressive jpeg", "cut-progressive.jpg",
     [](auto& p) {
         ColourRamp(300, 200).jpegsave(p.c_str(), VImage::option()->set("interlace", true));
     }},
    {"png", "cut.png",
     [](auto& p) {
         ColourRamp(300, 200).pngsave(p.c_str());
     }},
    {"gif", "cut.gif",
     [](auto& p) {
         ColourRamp(300, 200).gifsave(p.c_str());
     }},
    {"tiff", "cut.tif",
     [](auto& p) {
         ColourRamp(300, 200).tiffsave(
             p.c_str(), VImage::option()->set("compression", VIPS_FOREIGN_TIFF_COMPRESSION_LZW));
     }},
    {"webp", "cut.webp",
     [](auto& p) {
         ColourRamp(300, 200).webpsave(p.c_str());
     }},
    {"heif", "cut.heic",
     [](auto& p) {
         ColourRamp(300, 200).heifsave(p.c_str());
     }},
    {"jpeg 2000", "cut.jp2",
     [](auto& p) {
         ColourRamp(300, 200).jp2ksave(p.c_str());
     }},
    {"ppm", "cut.ppm",
     [](auto& p) {
         ColourRamp(300, 200).ppmsave(p.c_str());
     }},
    {"bmp", "cut.bmp",
     [](auto& p) {
         Magick(ColourRamp(300, 200), p, "BMP");
     }},
    {"pdf", "broken.pdf",
     [](auto& p) {
         testing::WriteBytes(p, "%PDF-1.4\n1 0 obj << /Type /Catalog >>\n");
     }},
    {"svg", "broken.svg",
     [](auto& p) {
         testing::WriteBytes(p, "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\"");
     }},
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

    StderrCapture stderrText;
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
    EXPECT_EQ(stderrText.text(), "");
    EXPECT_EQ(testing::ReadBytes(path), bytes);
}

INSTANTIATE_TEST_SUITE_P(Files, DamagedTest, ::testing::ValuesIn(kDamagedCases),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

TEST(LoadTest, ATruncatedJpegStillMeasuresFromItsHeader) {
    testing::TempFolder folder;
    const auto whole = folder / "whole.jpg";
    ColourRamp(640, 480).jpegsave(whole.c_str());
    const std::string bytes = testing::ReadBytes(whole);
    const auto truncated = folder / "truncated.jpg";
    testing::WriteBytes(truncated, bytes.substr(0, bytes.size() / 3));

    ImagingControl control;
    control.SetLoadPath(truncated);
    EXPECT_EQ(control.FileTypeCode(), 8);
    EXPECT_EQ(control.ImageWidth(), 640);
    EXPECT_EQ(control.ImageHeight(), 480);
    EXPECT_EQ(control.FileBytes(), static_cast<std::int64_t>(bytes.size() / 3));
}

TEST(LoadTest, AnExifOrientationIsNotApplied) {
    testing::TempFolder folder;
    const auto path = folder / "exif-orientation-6.jpg";
    VImage image = ColourRamp(300, 200).copy();
    image.set("orientation", 6);
    image.jpegsave(path.c_str());

    ImagingControl control;
    control.SetLoadPath(path);
    EXPECT_EQ(control.ImageWidth(), 300);
    EXPECT_EQ(control.ImageHeight(), 200);
}

TEST(LoadTest, AnAnimationMeasuresOneFrame) {
    testing::TempFolder folder;
    const auto path = folder / "three-frames.gif";
    testing::Animation({ColourRamp(40, 30), ColourRamp(40, 30), ColourRamp(40, 30)}, 100)
        .gifsave(path.c_str());

    ImagingControl control;
    control.SetLoadPath(path);
    EXPECT_EQ(control.ImageWidth(), 40);
    EXPECT_EQ(control.ImageHeight(), 30);
}

TEST(LoadTest, WritingTheEmptyPathClearsTheControl) {
    testing::TempFolder folder;
    const auto path = folder / "a.png";
    ColourRamp(20, 10).pngsave(path.c_str());

    ImagingControl control;
    control.SetLoadPath(path);
    ASSERT_EQ(control.FileTypeCode(), 10);
    control.SetLoadPath("");
    EXPECT_TRUE(control.LoadPath().empty());
    EXPECT_EQ(control.FileTypeCode(), 0);
    EXPECT_EQ(control.ImageWidth(), 0);
    EXPECT_EQ(control.FileBytes(), 0);
}

TEST(LoadTest, NamesThatLookLikeLoadOptionsAreFileNames) {
    testing::TempFolder folder;
    const auto path = folder / "holiday[1]";
    ColourRamp(20, 10).pngsave(path.c_str());

    ImagingControl control;
    control.SetLoadPath(path);
    EXPECT_EQ(control.FileTypeCode(), 10);
    EXPECT_EQ(control.ImageWidth(), 20);
}

struct PreviewCase {
    const char* name;
    const char* file;
    std::function<void(const std::filesystem::path&)> make;
    int width;
    int height;
};

const PreviewCase kPreviewCases[] = {
    {"grey jpeg", "grey.jpg", [](auto& p) { GreyRamp(400, 100).jpegsave(p.c_str()); }, 64, 16},
    {"cmyk jpeg", "cmyk.jpg", [](auto& p) { Cmyk(300, 600).jpegsave(p.c_str()); }, 32, 64},
    {"16-bit png with alpha", "deep.png",
     [](auto& p) { Sixteen(ColourRamp(200, 200, 4)).pngsave(p.c_str()); }, 64, 64},
    {"animated gif shows its first frame", "animated.gif",
     [](auto& p) {
         testing::Animation({ColourRamp(80, 40), ColourRamp(80, 40)}, 50).gifsave(p.c_str());
     },
     64, 32},
    {"bilevel tiff", "fax.tif",
     [](auto& p) { GreyRamp(640, 64).tiffsave(p.c_str(), VImage::option()->set("bitdepth", 1)); },
     64, 6},
    {"smaller than asked stays its size", "tiny.bmp",
     [](auto& p) { Magick(ColourRamp(20, 10), p, "BMP"); }, 20, 10},
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

INSTANTIATE_TEST_SUITE_P(Files, PreviewTest, ::testing::ValuesIn(kPreviewCases),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

} // namespace
} // namespace kovi
