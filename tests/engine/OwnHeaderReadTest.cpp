// The size of a plain JPEG and of a still WebP is read from their first segments or chunks, not
// through libvips; it must agree with what libjpeg and libwebp report, and whatever those would
// refuse must still be refused.
#include "engine/ImageHeader.h"

#include "tests/support/TempFolder.h"
#include "tests/support/TestImages.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

namespace kovi {
namespace {

namespace fs = std::filesystem;
using testing::Animation;
using testing::ColourRamp;
using testing::Solid;
using testing::TempFolder;
using vips::VImage;

struct HeaderCase {
    const char* name;
    ImageFormat format;
    std::function<void(const fs::path&)> write;
};

void PrintTo(const HeaderCase& one, std::ostream* out) {
    *out << one.name;
}

// libvips' own verdict on a file's header, as it was asked before.
std::optional<VImage> VipsHeader(const fs::path& path) {
    try {
        return VImage::new_from_file(VipsFileName(path).c_str(),
                                     VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL));
    } catch (const vips::VError&) {
        vips_error_clear();
        return std::nullopt;
    }
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

VImage Cmyk(int width, int height) {
    return ColourRamp(width, height, 4)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_CMYK));
}

void Webp(const VImage& image, const fs::path& path, bool lossless) {
    image.webpsave(path.c_str(), VImage::option()->set("lossless", lossless));
}

class OwnHeaderRead : public ::testing::TestWithParam<HeaderCase> {
protected:
    TempFolder folder;
};

TEST_P(OwnHeaderRead, AgreesWithTheCodec) {
    const fs::path path = folder / GetParam().name;
    GetParam().write(path);
    const auto header = ReadImageHeader(path);
    const auto reference = VipsHeader(path);
    ASSERT_TRUE(header);
    ASSERT_TRUE(reference);
    EXPECT_EQ(header->format, GetParam().format);
    EXPECT_EQ(header->width, reference->width());
    EXPECT_EQ(header->height, reference->height());
    EXPECT_EQ(header->bands, reference->bands());
    EXPECT_EQ(header->bitsPerPixel, 8 * reference->bands());
    EXPECT_EQ(header->pages, 1);
}

// Every cut of the file up to a little past the start of the image data: the header is read
// exactly when the codec would read it.
TEST_P(OwnHeaderRead, CutFilesAreReadOnlyWhenTheCodecReadsThem) {
    const fs::path whole = folder / GetParam().name;
    GetParam().write(whole);
    const std::string bytes = ReadAll(whole);
    const fs::path cut = folder / ("cut-" + whole.filename().string());
    const std::size_t last = std::min<std::size_t>(bytes.size() - 1, 1200);
    for (std::size_t keep = 2; keep <= last; ++keep) {
        std::ofstream(cut, std::ios::binary).write(bytes.data(), static_cast<long>(keep));
        EXPECT_EQ(ReadImageHeader(cut).has_value(), VipsHeader(cut).has_value())
            << keep << " of " << bytes.size() << " bytes";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OwnHeaderRead,
    ::testing::Values(HeaderCase{"baseline.jpg", ImageFormat::Jpeg,
                                 [](const auto& p) {
                                     ColourRamp(1600, 1200).jpegsave(p.c_str());
                                 }},
                      HeaderCase{"progressive.jpg", ImageFormat::Jpeg,
                                 [](const auto& p) {
                                     ColourRamp(1201, 899).jpegsave(
                                         p.c_str(), VImage::option()->set("interlace", true));
                                 }},
                      HeaderCase{"grey.jpg", ImageFormat::Jpeg,
                                 [](const auto& p) {
                                     testing::GreyRamp(31, 4000).jpegsave(p.c_str());
                                 }},
                      HeaderCase{"cmyk.jpg", ImageFormat::Jpeg,
                                 [](const auto& p) {
                                     Cmyk(640, 480).jpegsave(p.c_str());
                                 }},
                      // The EXIF block claims 10 x 10; the frame is what counts.
                      HeaderCase{
                          "camera.jpg", ImageFormat::Jpeg,
                          [](const auto& p) {
                              testing::WithCameraExif(ColourRamp(600, 400)).jpegsave(p.c_str());
                          }},
                      HeaderCase{"one-pixel.jpg", ImageFormat::Jpeg,
                                 [](const auto& p) {
                                     ColourRamp(1, 1).jpegsave(p.c_str());
                                 }},
                      HeaderCase{"lossy.webp", ImageFormat::WebP,
                                 [](const auto& p) {
                                     Webp(ColourRamp(1600, 1200), p, false);
                                 }},
                      HeaderCase{"lossy-alpha.webp", ImageFormat::WebP,
                                 [](const auto& p) {
                                     Webp(ColourRamp(1201, 901, 4), p, false);
                                 }},
                      HeaderCase{"lossless.webp", ImageFormat::WebP,
                                 [](const auto& p) {
                                     Webp(ColourRamp(120, 1600), p, true);
                                 }},
                      HeaderCase{"lossless-alpha.webp", ImageFormat::WebP,
                                 [](const auto& p) {
                                     Webp(ColourRamp(333, 77, 4), p, true);
                                 }},
                      HeaderCase{"extended.webp", ImageFormat::WebP,
                                 [](const auto& p) {
                                     Webp(testing::WithIccAndXmp(ColourRamp(64, 48)), p, false);
                                 }},
                      HeaderCase{"extended-alpha.webp", ImageFormat::WebP,
                                 [](const auto& p) {
                                     Webp(testing::WithIccAndXmp(ColourRamp(99, 100, 4)), p, true);
                                 }},
                      HeaderCase{"widest.webp", ImageFormat::WebP,
                                 [](const auto& p) {
                                     Webp(ColourRamp(16383, 2), p, true);
                                 }}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& c : name)
            if (c == '.' || c == '-')
                c = '_';
        return name;
    });

TEST(OwnHeaderReadWebp, AnimationsAreCountedByLibwebp) {
    TempFolder folder;
    const fs::path animated = folder / "animated.webp";
    // Frames that differ, as libwebp merges equal ones.
    Animation(
        {Solid(320, 240, {255, 0, 0}), Solid(320, 240, {0, 255, 0}), Solid(320, 240, {0, 0, 255})},
        100)
        .webpsave(animated.c_str());
    const auto frames = ReadImageHeader(animated);
    ASSERT_TRUE(frames);
    EXPECT_EQ(frames->pages, 3);
    EXPECT_EQ(frames->height, 240);
}

TEST(OwnHeaderReadJpeg, TwelveBitAndDamagedFramesAreLeftToLibjpeg) {
    TempFolder folder;
    const fs::path original = folder / "a.jpg";
    ColourRamp(64, 48).jpegsave(original.c_str());
    const std::string bytes = ReadAll(original);
    const std::size_t frame = bytes.find("\xFF\xC0");
    ASSERT_NE(frame, std::string::npos);
    struct Edit {
        std::size_t at; // from the frame marker
        std::string with;
        const char* what;
    };
    for (const Edit& edit : {Edit{4, "\x0C", "a precision of 12 bits"},
                             Edit{2, std::string("\x00\x12", 2), "a length that is not 8 + 3 x 3"},
                             Edit{5, std::string("\x00\x00", 2), "a height left to a DNL"}}) {
        std::string changed = bytes;
        changed.replace(frame + edit.at, edit.with.size(), edit.with);
        const fs::path path = folder / "changed.jpg";
        std::ofstream(path, std::ios::binary) << changed;
        EXPECT_EQ(ReadImageHeader(path).has_value(), VipsHeader(path).has_value()) << edit.what;
    }
}

} // namespace
} // namespace kovi
