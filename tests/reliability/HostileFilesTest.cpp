// Files that are damaged, lie about themselves or are built to exhaust a decoder, all in the
// folder of one kovi-rzk-batch run: the run neither crashes nor hangs nor takes all memory,
// goes on to the next file, and leaves each file untouched unless it resized it correctly.
#include "tests/reliability/ImageChecks.h"
#include "tests/support/BatchProgram.h"
#include "tests/support/CraftedFiles.h"
#include "tests/support/TestImages.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <set>

namespace kovi {
namespace {

namespace fs = std::filesystem;
using testing::ColourRamp;
using testing::Decoded;
using testing::DecodedSize;
using testing::Encoded;
using testing::FileState;
using testing::Picture;
using testing::ProcessResult;
using testing::ReadBytes;
using testing::WriteBytes;
using vips::VImage;

constexpr char Target[] = "100x100";
constexpr long OneGibibyteInKilobytes = 1024L * 1024L;

// Every decoded sample of a truncated file that was resized may differ from the resized
// whole file by this much on average: the same pixels through the same code give the same
// result, a made-up part would not.
constexpr double SameResult = 1.0;

VImage Frames(int count, int width, int height) {
    std::vector<VImage> frames;
    for (int i = 0; i < count; ++i)
        frames.push_back((ColourRamp(width, height) + (i * 7) % 100).cast(VIPS_FORMAT_UCHAR));
    return testing::Animation(frames, 40);
}

using Encoder = std::function<std::string(const std::string& suffix)>;

// By libvips, with its save options after the suffix: "[interlace]".
Encoder Vips(const VImage& image, const std::string& options = "") {
    return [=](const std::string& suffix) {
        return Encoded(image, (suffix + options).c_str());
    };
}
Encoder Magick(const VImage& image, const char* format) {
    return [=](const std::string&) {
        return Encoded(image, ".bmp", VImage::option()->set("format", format));
    };
}

struct Format {
    const char* name;
    std::string suffix;
    Encoder bytes;
};

// Every format the program reads that libvips or ImageMagick can write here, in the ways that
// change how it is decoded.
std::vector<Format> ReadableFormats() {
    const VImage ramp = ColourRamp(240, 180);
    const VImage floats = ramp.cast(VIPS_FORMAT_FLOAT) / 255;
    const std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"240\" "
                            "height=\"180\"><rect width=\"240\" height=\"180\" "
                            "fill=\"red\"/><circle cx=\"50\" cy=\"50\" r=\"40\"/></svg>\n";
    return {
        {"jpeg", ".jpg", Vips(ramp)},
        {"progressive-jpeg", ".jpg", Vips(ramp, "[interlace]")},
        {"png", ".png", Vips(ramp)},
        {"interlaced-png", ".png", Vips(ramp, "[interlace]")},
        {"palette-png", ".png", Vips(ramp, "[palette]")},
        {"gif", ".gif", Vips(ramp)},
        {"animated-gif", ".gif", Vips(Frames(6, 120, 90))},
        {"lzw-tiff", ".tif", Vips(ramp, "[compression=lzw]")},
        {"jpeg-tiff", ".tif", Vips(ramp, "[compression=jpeg]")},
        {"multi-page-tiff", ".tif", Vips(Frames(4, 120, 90))},
        {"webp", ".webp", Vips(ramp)},
        {"lossless-webp", ".webp", Vips(ramp, "[lossless]")},
        {"animated-webp", ".webp", Vips(Frames(6, 120, 90))},
        {"heif", ".heic", Vips(ramp)},
        {"avif", ".avif", Vips(ramp)},
        {"jpeg-2000", ".jp2", Vips(ramp)},
        {"jpeg-xl", ".jxl", Vips(ramp)},
        {"ppm", ".ppm", Vips(ramp)},
        {"pgm", ".pgm", Vips(ramp[1])},
        {"pbm", ".pbm", Vips(ramp[0] > 128)},
        {"pfm", ".pfm", Vips(floats)},
        {"radiance", ".hdr", Vips(floats)},
        {"bmp", ".bmp", Magick(ramp, "BMP")},
        {"tga", ".tga", Magick(ramp, "TGA")},
        {"pcx", ".pcx", Magick(ramp, "PCX")},
        {"ico", ".ico", Magick(ColourRamp(48, 48, 4), "ICO")},
        {"svg", ".svg",
         [svg](const std::string&) {
             return svg;
         }},
    };
}

// Where to cut: every byte of the first few, then at growing steps, at every sixteenth, and
// just before the end.
std::set<std::size_t> CutPoints(std::size_t size) {
    std::set<std::size_t> points;
    for (std::size_t at = 0; at < 16; ++at)
        points.insert(at);
    for (std::size_t at = 16; at < size; at = at * 3 / 2)
        points.insert(at);
    for (std::size_t sixteenth = 1; sixteenth < 16; ++sixteenth)
        points.insert(size * sixteenth / 16);
    for (std::size_t fromEnd = 1; fromEnd <= 4 && fromEnd < size; ++fromEnd)
        points.insert(size - fromEnd);
    std::set<std::size_t> inside;
    for (const auto at : points)
        if (at < size)
            inside.insert(at);
    return inside;
}

class HostileFiles : public ::testing::Test {
protected:
    HostileFiles() { fs::create_directories(album); }

    fs::path Put(const std::string& name, const std::string& bytes) {
        WriteBytes(album / name, bytes);
        originals[album / name] = bytes;
        return album / name;
    }

    // Runs the program over the album; it must end by itself, with files not saved at most.
    ProcessResult Run() {
        const ProcessResult result = program.run({album.string(), Target});
        EXPECT_EQ(result.signal, 0) << "the run was ended by a signal: " << result.err;
        EXPECT_TRUE(result.exitCode == 0 || result.exitCode == 3)
            << "exit " << result.exitCode << ": " << result.err;
#ifndef KOVI_SANITIZED
        // (Under AddressSanitizer the shadow memory counts too, so the size says nothing.)
        EXPECT_LT(result.peakResidentKilobytes, OneGibibyteInKilobytes);
#endif
        std::printf("[ run      ] %zu files, peak resident size %ld MiB\n", originals.size(),
                    result.peakResidentKilobytes / 1024);
        return result;
    }

    bool Untouched(const fs::path& path) const {
        return ReadBytes(path) == originals.at(path);
    }

    testing::BatchProgram program;
    const fs::path album = program.home() / "album";
    std::map<fs::path, std::string> originals;
};

TEST_F(HostileFiles, EveryFormatCutShortAnywhereIsNeverRewrittenFromAPart) {
    std::size_t cuts = 0;
    struct Family {
        fs::path whole;
        std::vector<fs::path> cut;
    };
    std::vector<Family> families;
    for (const Format& format : ReadableFormats()) {
        const std::string bytes = format.bytes(format.suffix);
        Family family;
        family.whole = Put(std::string("whole-") + format.name + format.suffix, bytes);
        for (const auto at : CutPoints(bytes.size()))
            family.cut.push_back(
                Put(std::string("cut-") + format.name + "-" + std::to_string(at) + format.suffix,
                    bytes.substr(0, at)));
        cuts += family.cut.size();
        families.push_back(std::move(family));
    }
    // The run must still reach the last file.
    ColourRamp(300, 200).jpegsave((album / "zz-last.jpg").c_str());

    const ProcessResult result = Run();
    EXPECT_EQ(DecodedSize(album / "zz-last.jpg"), (PixelSize{100, 67}));

    int resizedCuts = 0;
    std::string resizedNames;
    for (const Family& family : families) {
        const bool wholeResized = !Untouched(family.whole);
        for (const auto& path : family.cut) {
            if (Untouched(path))
                continue;
            ++resizedCuts;
            resizedNames += " " + path.filename().string();
            // Only a cut that lost nothing the picture needs may be resized, and then exactly
            // as the whole file was.
            EXPECT_TRUE(wholeResized) << path << " was changed, its whole file was not";
            EXPECT_TRUE(testing::Decode(path).has_value()) << path << " is no complete image";
            const double difference = testing::MeanDifference(path, family.whole);
            EXPECT_TRUE(difference >= 0 && difference <= SameResult)
                << path << " differs from the whole file resized by " << difference;
        }
    }
    std::printf("[ cut      ] %zu cut files of %zu formats: %d resized as whole, the rest "
                "untouched\n",
                cuts, families.size(), resizedCuts);
    std::printf("[ cut      ] resized:%s\n", resizedNames.c_str());
    RecordProperty("cutFiles", static_cast<int>(cuts));
    EXPECT_EQ(result.err.find("the processing log"), std::string::npos) << result.err;
}

std::string RandomBytes(std::mt19937& random, std::size_t count) {
    std::string bytes(count, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(random() & 0xFF);
    return bytes;
}

const char* const ImageSuffixes[] = {".jpg",  ".jpeg", ".png",  ".gif", ".tif", ".tiff", ".bmp",
                                     ".webp", ".heic", ".avif", ".jp2", ".jxl", ".ppm",  ".pgm",
                                     ".pbm",  ".tga",  ".pcx",  ".ico", ".svg", ".pdf",  ".psd"};

TEST_F(HostileFiles, EmptyRandomAndMislabelledFilesAreLeftAloneAndTheRunGoesOn) {
    std::mt19937 random(77);
    int count = 0;
    for (const char* suffix : ImageSuffixes) {
        Put(std::string("empty") + suffix, "");
        Put(std::string("noise-small") + suffix, RandomBytes(random, 64));
        Put(std::string("noise-large") + suffix, RandomBytes(random, 20000));
        count += 3;
    }
    // A real signature followed by rubbish.
    const std::pair<const char*, std::string> signatures[] = {
        {"jpg", std::string("\xFF\xD8\xFF\xE0", 4)},
        {"png", std::string("\x89PNG\r\n\x1A\n", 8)},
        {"gif", "GIF89a"},
        {"tif", std::string("II*\0", 4)},
        {"bmp", "BM"},
        {"webp", std::string("RIFF\0\0\0\0WEBPVP8 ", 16)},
        {"jp2", std::string("\0\0\0\x0CjP  \r\n\x87\n", 12)},
        {"heic", std::string("\0\0\0\x18"
                             "ftypheic",
                             12)},
    };
    for (const auto& [suffix, signature] : signatures) {
        for (int copy = 0; copy < 4; ++copy) {
            Put("signed-" + std::to_string(copy) + "." + suffix,
                signature + RandomBytes(random, 100u << (2 * copy)));
            ++count;
        }
    }
    const auto nameOfPng =
        Put("png-with-jpeg-extension.jpg", Encoded(ColourRamp(300, 200), ".png"));
    const auto nameOfJpeg =
        Put("jpeg-with-png-extension.png", Encoded(ColourRamp(300, 200), ".jpg"));
    ColourRamp(300, 200).jpegsave((album / "zz-last.jpg").c_str());

    Run();
    for (const auto& [path, bytes] : originals) {
        if (path == nameOfPng || path == nameOfJpeg)
            continue;
        EXPECT_TRUE(Untouched(path)) << path;
    }
    // The content decides the format; the name is kept.
    EXPECT_EQ(testing::LoaderOf(nameOfPng), "pngload");
    EXPECT_EQ(testing::LoaderOf(nameOfJpeg), "jpegload");
    EXPECT_EQ(DecodedSize(nameOfPng), (PixelSize{100, 67}));
    EXPECT_EQ(DecodedSize(nameOfJpeg), (PixelSize{100, 67}));
    EXPECT_EQ(DecodedSize(album / "zz-last.jpg"), (PixelSize{100, 67}));
    std::printf("[ bad      ] %d empty, random and falsely signed files untouched\n", count);
}

TEST_F(HostileFiles, DeepColourCmykAndLongAnimationsAreResizedAsTheyAre) {
    const VImage ramp = ColourRamp(300, 200);
    const VImage deep = testing::Sixteen(ramp);
    deep.pngsave((album / "deep.png").c_str());
    deep.tiffsave((album / "deep.tif").c_str());
    ramp.colourspace(VIPS_INTERPRETATION_CMYK).jpegsave((album / "cmyk.jpg").c_str());
    constexpr int FrameCount = 300;
    Frames(FrameCount, 150, 120).gifsave((album / "long.gif").c_str());

    Run();
    const auto deepPng = testing::Decode(album / "deep.png");
    ASSERT_TRUE(deepPng);
    EXPECT_EQ(deepPng->size, (PixelSize{100, 67}));
    EXPECT_EQ(deepPng->bandFormat, VIPS_FORMAT_USHORT);
    const auto deepTiff = testing::Decode(album / "deep.tif");
    ASSERT_TRUE(deepTiff);
    EXPECT_EQ(deepTiff->size, (PixelSize{100, 67}));
    EXPECT_EQ(deepTiff->bandFormat, VIPS_FORMAT_USHORT);
    const auto cmyk = testing::Decode(album / "cmyk.jpg");
    ASSERT_TRUE(cmyk);
    EXPECT_EQ(cmyk->size, (PixelSize{100, 67}));
    EXPECT_EQ(cmyk->bands, 4);
    const auto animation = testing::Decode(album / "long.gif");
    ASSERT_TRUE(animation);
    EXPECT_EQ(animation->size, (PixelSize{100, 80}));
    EXPECT_EQ(animation->pages, FrameCount);
}

TEST_F(HostileFiles, HeadersClaimingHugeImagesCostNeitherTimeNorMemory) {
    Put("huge.png", testing::PngClaiming(100000, 100000));
    Put("huge.jpg", testing::JpegClaiming(65500, 65500));
    Put("huge.gif", testing::GifClaiming(65535, 65535));
    Put("huge.bmp", testing::BmpClaiming(100000, 100000));
    Put("huge.tif", testing::TiffClaiming(100000, 100000));
    Put("huge-pcx-named.tga", testing::BmpClaiming(100000, 100000));
    ColourRamp(300, 200).jpegsave((album / "zz-last.jpg").c_str());

    const ProcessResult result = Run();
    EXPECT_EQ(result.exitCode, 3) << "the huge files are named as not saved";
    for (const auto& [path, bytes] : originals) {
        EXPECT_TRUE(Untouched(path)) << path;
        EXPECT_NE(result.err.find(path.string() + ": the image is too large"), std::string::npos)
            << result.err;
    }
    EXPECT_EQ(DecodedSize(album / "zz-last.jpg"), (PixelSize{100, 67}));
}

// A few bytes that ask for hundreds of megapixels, and a real picture of that size: the ones
// no decoder here can take in bounded memory are refused, the others are streamed.
TEST_F(HostileFiles, DecompressionBombsStayUnderAGibibyte) {
    Put("bomb-16000.gif", testing::GifBomb(16000, 16000));
    Put("bomb-frames.gif", testing::GifBomb(8192, 8193, 3));
    Put("bomb-many-frames.gif", testing::GifBomb(200, 150, 5000));
    Put("claim.png", testing::PngClaiming(100000, 100000));
    const auto largestFrame = Put("frame-8192.gif", testing::GifBomb(8192, 8192));
    // 256 megapixels of black in one megabyte.
    VImage::black(16000, 16000)
        .cast(VIPS_FORMAT_UCHAR)
        .pngsave((album / "zeros.png").c_str(), VImage::option()->set("compression", 1));

    const ProcessResult result = Run();
    EXPECT_EQ(result.exitCode, 3);
    for (const char* name : {"bomb-16000.gif", "bomb-frames.gif", "claim.png"}) {
        EXPECT_TRUE(Untouched(album / name)) << name;
        EXPECT_NE(result.err.find((album / name).string() + ": the image is too large"),
                  std::string::npos)
            << result.err;
    }
    EXPECT_TRUE(Untouched(album / "bomb-many-frames.gif"));
    // (libvips stops counting frames at 4097.)
    EXPECT_NE(
        result.err.find("bomb-many-frames.gif: the file holds 4097 frames or pages, too many"),
        std::string::npos)
        << result.err;
    EXPECT_EQ(DecodedSize(largestFrame), (PixelSize{100, 100}));
    EXPECT_EQ(DecodedSize(album / "zeros.png"), (PixelSize{100, 100}));
}

} // namespace
} // namespace kovi
