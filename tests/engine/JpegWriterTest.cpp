// JPEG saving through libjpeg: each factor scales its own quantisation table, and the file
// keeps its sampling, progressive mode, grey or CMYK colour and its metadata.
#include <array>
#include <cstdio>
#include <functional>

#include <gtest/gtest.h>
#include <jpeglib.h>

#include "engine/HeaderPeek.h"
#include "engine/ImagingControl.h"
#include "engine/JpegQuality.h"
#include "tests/support/CaseName.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestImages.h"

namespace kovi {
namespace {

using testing::CaseName;
using testing::ColourRamp;
using vips::VImage;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

struct Tables {
    std::array<unsigned, 64> luminance{};
    std::array<unsigned, 64> chrominance{};
    bool hasChrominance = false;
};

Tables ReadTables(const std::filesystem::path& path) {
    File file(std::fopen(path.c_str(), "rb"));
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file.get());
    jpeg_read_header(&info, TRUE);
    Tables tables;
    for (int i = 0; i < 64; ++i)
        tables.luminance[static_cast<std::size_t>(i)] = info.quant_tbl_ptrs[0]->quantval[i];
    if (info.quant_tbl_ptrs[1] != nullptr) {
        tables.hasChrominance = true;
        for (int i = 0; i < 64; ++i)
            tables.chrominance[static_cast<std::size_t>(i)] = info.quant_tbl_ptrs[1]->quantval[i];
    }
    jpeg_destroy_decompress(&info);
    return tables;
}

unsigned Sum(const std::array<unsigned, 64>& table) {
    unsigned sum = 0;
    for (const unsigned value : table)
        sum += value;
    return sum;
}

// A colour ramp written with the given sampling of the first component, by libjpeg itself:
// libvips writes only 4:2:0 and 4:4:4.
void WriteSampledJpeg(const std::filesystem::path& path, int width, int height, int horizontal,
                      int vertical) {
    File file(std::fopen(path.c_str(), "wb"));
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file.get());
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    info.comp_info[0].h_samp_factor = horizontal;
    info.comp_info[0].v_samp_factor = vertical;
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            row[static_cast<std::size_t>(3 * x)] = static_cast<JSAMPLE>(255 * x / width);
            row[static_cast<std::size_t>(3 * x + 1)] = static_cast<JSAMPLE>(255 * y / height);
            row[static_cast<std::size_t>(3 * x + 2)] = 100;
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
}

std::filesystem::path SaveResized(const testing::TempFolder& folder,
                                  const std::filesystem::path& source, const char* name,
                                  int luminance, int chrominance) {
    const auto target = folder / name;
    std::filesystem::copy_file(source, target);
    ImagingControl control;
    control.SetJpegLumFactor(luminance);
    control.SetJpegChromFactor(chrominance);
    control.SetLoadPath(target);
    EXPECT_TRUE(control.ResizeImage(300, 200));
    control.SetSavePath(target);
    EXPECT_TRUE(control.SaveImage()) << control.LastError();
    return target;
}

struct QualityCase {
    const char* name;
    int factor;
    int quality;
    unsigned firstLuminanceValue; // the standard table's 16 scaled by the quality
};

const QualityCase kQualityCases[] = {
    {"factor 0 is the finest quality 100", 0, 100, 1},
    {"factor 1 rounds to 100", 1, 100, 1},
    {"factor 3 is 99", 3, 99, 1},
    {"factor 64 is 75", 64, 75, 8},
    {"factor 128 is 50", 128, 50, 16},
    {"factor 200 is 22", 200, 22, 36},
    {"factor 255 is the coarsest quality 1", 255, 1, 255},
    {"below 0 counts as 0", -7, 100, 1},
    {"above 255 counts as 255", 300, 1, 255},
};

class JpegQualityTest : public ::testing::TestWithParam<QualityCase> {};

// The table tells qualities 99 and 100 apart, which the saved file's first value does not.
TEST_P(JpegQualityTest, SavedLuminanceTableUsesTheFactor) {
    EXPECT_EQ(JpegQualityOfFactor(GetParam().factor), GetParam().quality);
    testing::TempFolder folder;
    const auto source = folder / "source.jpg";
    ColourRamp(600, 400).jpegsave(source.c_str());
    const auto saved = SaveResized(folder, source, "saved.jpg", GetParam().factor, 0);
    EXPECT_EQ(ReadTables(saved).luminance[0], GetParam().firstLuminanceValue);
}

INSTANTIATE_TEST_SUITE_P(Factors, JpegQualityTest, ::testing::ValuesIn(kQualityCases), CaseName{});

TEST(JpegWriterTest, EachFactorScalesOnlyItsOwnTable) {
    testing::TempFolder folder;
    const auto source = folder / "source.jpg";
    ColourRamp(600, 400).jpegsave(source.c_str());
    const auto plain = SaveResized(folder, source, "plain.jpg", 20, 20);
    const auto coarseLuminance = SaveResized(folder, source, "coarse-luminance.jpg", 200, 20);
    const auto coarseChrominance = SaveResized(folder, source, "coarse-chrominance.jpg", 20, 200);

    const Tables base = ReadTables(plain);
    const Tables luminance = ReadTables(coarseLuminance);
    const Tables chrominance = ReadTables(coarseChrominance);
    ASSERT_TRUE(base.hasChrominance);
    EXPECT_GT(Sum(luminance.luminance), Sum(base.luminance));
    EXPECT_EQ(luminance.chrominance, base.chrominance);
    EXPECT_GT(Sum(chrominance.chrominance), Sum(base.chrominance));
    EXPECT_EQ(chrominance.luminance, base.luminance);
    EXPECT_LT(std::filesystem::file_size(coarseLuminance), std::filesystem::file_size(plain));
    EXPECT_LT(std::filesystem::file_size(coarseChrominance), std::filesystem::file_size(plain));
}

struct SamplingCase {
    const char* name;
    int horizontal;
    int vertical;
};

const SamplingCase kSamplingCases[] = {
    {"4:4:4", 1, 1}, {"4:2:2", 2, 1}, {"4:2:0", 2, 2}, {"4:4:0", 1, 2}, {"4:1:1", 4, 1},
};

class JpegSamplingTest : public ::testing::TestWithParam<SamplingCase> {};

TEST_P(JpegSamplingTest, KeepsTheSourceSampling) {
    testing::TempFolder folder;
    const auto source = folder / "source.jpg";
    WriteSampledJpeg(source, 640, 480, GetParam().horizontal, GetParam().vertical);
    const auto saved = SaveResized(folder, source, "saved.jpg", 30, 30);

    HeaderReader reader(saved);
    const auto facts = PeekJpeg(reader);
    ASSERT_TRUE(facts.has_value());
    ASSERT_EQ(facts->components, 3);
    EXPECT_EQ(facts->horizontalSampling[0], GetParam().horizontal);
    EXPECT_EQ(facts->verticalSampling[0], GetParam().vertical);
    EXPECT_EQ(facts->horizontalSampling[1], 1);
    EXPECT_EQ(facts->verticalSampling[1], 1);
}

INSTANTIATE_TEST_SUITE_P(Sampling, JpegSamplingTest, ::testing::ValuesIn(kSamplingCases),
                         CaseName{});

TEST(JpegWriterTest, CmykKeepsItsInkValues) {
    testing::TempFolder folder;
    const auto source = folder / "cmyk.jpg";
    const std::vector<double> ink{10, 60, 120, 200};
    testing::Solid(600, 400, ink)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_CMYK))
        .jpegsave(source.c_str(), VImage::option()->set("Q", 98));
    const auto saved = SaveResized(folder, source, "saved.jpg", 0, 0);

    const auto result = testing::Reload(saved);
    EXPECT_EQ(result.header.bands(), 4);
    EXPECT_EQ(result.header.interpretation(), VIPS_INTERPRETATION_CMYK);
    const auto pixel = testing::PixelAt(result.pixels, 150, 100);
    EXPECT_TRUE(testing::Near(pixel, ink, 4))
        << pixel[0] << "," << pixel[1] << "," << pixel[2] << "," << pixel[3];
}

TEST(JpegWriterTest, KeepsIptcAndTheCamerasOrientation) {
    testing::TempFolder folder;
    const auto source = folder / "camera.jpg";
    VImage image = testing::WithCameraExif(ColourRamp(600, 400)).copy();
    image.set("orientation", 6);
    const std::string iptc = std::string("Photoshop 3.0\0008BIM\004\004\0\0\0\0\0\0", 26);
    vips_image_set_blob_copy(image.get_image(), "iptc-data", iptc.data(), iptc.size());
    image.jpegsave(source.c_str());
    const auto saved = SaveResized(folder, source, "saved.jpg", 30, 30);

    const VImage result = testing::Reload(saved).header;
    EXPECT_EQ(testing::IntField(result, "orientation"), 6);
    EXPECT_TRUE(testing::HasBlob(result, "iptc-data"));
    EXPECT_EQ(testing::ExifNumber(result, "exif-ifd2-PixelXDimension"), 300);
}

} // namespace
} // namespace kovi
