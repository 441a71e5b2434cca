// Nothing lost under a run's worst conditions: killed outright, files that are damaged, lie or
// are built to exhaust a decoder, files that change under the run, a disk that fills up. Every
// picture is afterwards the file it was or a complete image of the size the run gives it.
#include "core/files/CsvField.h"
#include "core/files/SafeReplace.h"
#include "core/imaging/base/VipsRuntime.h"
#include "core/imaging/header/ImageHeader.h"
#include "core/run/BatchRun.h"
#include "core/run/ProcessingLog.h"
#include "tests/support/BatchProgram.h"
#include "tests/support/CraftedFiles.h"
#include "tests/support/DiskSpace.h"
#include "tests/support/FileAccess.h"
#include "tests/support/Mount.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestImages.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <random>
#include <set>
#include <thread>

#include <sys/stat.h>

namespace kovi::testing {
namespace {

// Damaged is a lost picture.
enum class FileState { Original, Resized, Damaged };

struct Picture {
    std::filesystem::path path;
    std::string bytes;  // as it was made
    std::string loader; // the libvips loader that reads it, "jpegload", ...
    PixelSize fitted;   // the size a run gives it
};

using vips::VImage;

std::string LoaderOf(const std::filesystem::path& path) {
    LoadImagingModules();
    const char* name = vips_foreign_find_load(VipsFileName(path).c_str());
    vips_error_clear();
    return name != nullptr ? vips_nickname_find(g_type_from_name(name)) : "";
}

// Every page, every pixel, and no tolerance for damage: decoding all of it finds a cut.
std::optional<VImage> LoadStrictly(const std::filesystem::path& path) {
    auto* options = VImage::option()->set("fail_on", VIPS_FAIL_ON_ERROR);
    VipsOperation* loader = vips_operation_new(LoaderOf(path).c_str());
    if (loader != nullptr) {
        if (g_object_class_find_property(G_OBJECT_GET_CLASS(loader), "n") != nullptr)
            options->set("n", -1);
        g_object_unref(loader);
    }
    vips_error_clear();
    try {
        return VImage::new_from_file(VipsFileName(path).c_str(), options).copy_memory();
    } catch (const vips::VError&) {
        vips_error_clear();
        return std::nullopt;
    }
}

std::optional<PixelSize> DecodedSize(const std::filesystem::path& path) {
    const auto image = LoadStrictly(path);
    if (!image)
        return std::nullopt;
    return PixelSize{image->width(), vips_image_get_page_height(image->get_image())};
}

FileState Judge(const Picture& picture, std::string* why) {
    const std::string bytes = ReadBytes(picture.path);
    if (bytes == picture.bytes)
        return FileState::Original;
    const auto size = DecodedSize(picture.path);
    if (!bytes.empty() && LoaderOf(picture.path) == picture.loader && size == picture.fitted)
        return FileState::Resized;
    if (why != nullptr)
        *why = (bytes.empty() ? "gone or empty, " : "read by " + LoaderOf(picture.path) + ", ") +
               (size ? std::to_string(size->width) + " x " + std::to_string(size->height)
                     : std::string("no complete image"));
    return FileState::Damaged;
}

std::vector<std::filesystem::path> TemporaryFilesIn(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> found;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error))
        if (IsTemporaryFileName(it->path().filename().string()))
            found.push_back(it->path());
    return found;
}

double MeanDifference(const std::filesystem::path& a, const std::filesystem::path& b) {
    const auto first = LoadStrictly(a);
    const auto second = LoadStrictly(b);
    if (!first || !second || first->width() != second->width() ||
        first->height() != second->height() || first->bands() != second->bands())
        return -1;
    return (first->cast(VIPS_FORMAT_DOUBLE) - second->cast(VIPS_FORMAT_DOUBLE)).abs().avg();
}

} // namespace
} // namespace kovi::testing

namespace kovi {
namespace {

namespace fs = std::filesystem;
using testing::ColourRamp;
using testing::DecodedSize;
using testing::Encoded;
using testing::FileState;
using testing::ReadBytes;
using vips::VImage;
using Clock = std::chrono::steady_clock;

// Raised by hand for a longer session: KOVI_KILL_ROUNDS, KOVI_KILL_SEED.
unsigned Setting(const char* name, unsigned fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? static_cast<unsigned>(std::atol(text)) : fallback;
}

#ifdef KOVI_SANITIZED
constexpr unsigned DefaultRounds = 6;
constexpr int Pictures = 60;
#else
constexpr unsigned DefaultRounds = 12;
constexpr int Pictures = 120;
#endif

TEST(KilledRun, NoPictureIsLostWhereverTheRunIsKilled) {
    testing::BatchProgram program;
    const fs::path album = program.home() / "album";
    fs::create_directories(album);
    // On a disk in memory a run takes half the time, so more kills fit in a test; a kill does
    // not care where the bytes were going.
    testing::Mount mount(album);
    mount.smallTmpfs("64m");
    // Most are JPEG and PNG as in an album; some have a second name and are rewritten in place.
    const char* const suffixes[] = {".jpg", ".png", ".jpg",  ".png",
                                    ".jpg", ".tif", ".webp", ".gif"};
    std::vector<testing::Picture> pictures;
    for (int i = 0; i < Pictures; ++i) {
        const PixelSize size{140 + (i * 37) % 120, 100 + (i * 23) % 110};
        const auto path = album / ("picture-" + std::to_string(1000 + i) + suffixes[i % 8]);
        testing::ColourRamp(size.width, size.height).write_to_file(path.c_str());
        pictures.push_back(
            {path, testing::ReadBytes(path), testing::LoaderOf(path), FitInside(size, {96, 96})});
        if (i % 20 == 0) {
            pictures.push_back(pictures.back());
            pictures.back().path.replace_filename("twin-" + path.filename().string());
            fs::create_hard_link(path, pictures.back().path);
        }
    }
    const std::vector<std::string> arguments{album.string(), "96x96"};
    const unsigned seed = Setting("KOVI_KILL_SEED", 20240611);

    // One whole run tells how long a run lasts, so that the kills spread over all of it.
    const auto begin = Clock::now();
    ASSERT_EQ(program.run(arguments).exitCode, 0);
    const auto runTime =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - begin);
    std::mt19937 random(seed);
    std::uniform_int_distribution<long> moment(0, std::max<long>(20, runTime.count()) * 11 / 10);
    const unsigned rounds = Setting("KOVI_KILL_ROUNDS", DefaultRounds);
    for (unsigned round = 0; round <= rounds + 1; ++round) {
        // The first round judges the whole run, the last one a run after all the kills.
        const bool killed = round > 0 && round <= rounds;
        const long delay = killed ? moment(random) : 0;
        if (killed) {
            testing::ChildProcess child(program.executable(), arguments, program.environment());
            std::this_thread::sleep_for(std::chrono::milliseconds(delay));
            child.signal(SIGKILL);
            child.wait();
            // A kill while a picture with two names was copied in place leaves it half new,
            // and the next run finishes the copy before anything else: that is what it finds.
            RemoveStaleTemporaryFiles(album);
        } else if (round > 0) {
            EXPECT_EQ(program.run(arguments).exitCode, 0);
        }
        for (const auto& picture : pictures) {
            std::string why;
            const FileState state = testing::Judge(picture, &why);
            EXPECT_TRUE(killed ? state != FileState::Damaged : state == FileState::Resized)
                << picture.path << " after a kill at " << delay << " ms (seed " << seed
                << ", round " << round << "): " << why;
        }
        for (const auto& picture : pictures)
            testing::WriteBytes(picture.path, picture.bytes);
    }
    EXPECT_TRUE(testing::TemporaryFilesIn(album).empty());
}

// What a kill in the middle of copying into a file with two names leaves: the first part of
// the file new, the rest old, and the whole new content beside it. The next run finishes it.
TEST(KilledRun, ACopyIntoAHardLinkedPictureCutShortIsFinishedByTheNextRun) {
    testing::BatchProgram program;
    const fs::path album = program.home() / "album";
    fs::create_directories(album);
    testing::ColourRamp(800, 600).jpegsave((album / "first.jpg").c_str());
    fs::create_hard_link(album / "first.jpg", album / "second.jpg");
    testing::ColourRamp(640, 480).jpegsave((program.home() / "new.jpg").c_str());
    const std::string fresh = testing::ReadBytes(program.home() / "new.jpg");
    const auto inode = testing::StatOf(album / "first.jpg").st_ino;
    testing::WriteBytes(album / (".kovi-rzk-Cut0Shrt-" + std::to_string(inode) + ".tmp"), fresh);
    std::fstream(album / "first.jpg", std::ios::in | std::ios::out | std::ios::binary)
        .write(fresh.data(), static_cast<std::streamsize>(fresh.size() / 2));

    EXPECT_EQ(program.run({album.string(), "640x480"}).exitCode, 0);
    EXPECT_TRUE(testing::ReadBytes(album / "first.jpg") == fresh);
    EXPECT_TRUE(testing::ReadBytes(album / "second.jpg") == fresh);
    EXPECT_EQ(testing::StatOf(album / "second.jpg").st_ino, inode);
    EXPECT_EQ(testing::StatOf(album / "second.jpg").st_nlink, 2u);
    EXPECT_TRUE(testing::TemporaryFilesIn(album).empty());
}

constexpr PixelSize Thumbnail{100, 67}; // of a 300 x 200 picture in 100x100

VImage Frames(int count, int width, int height) {
    std::vector<VImage> frames;
    for (int i = 0; i < count; ++i)
        frames.push_back((ColourRamp(width, height) + (i * 7) % 100).cast(VIPS_FORMAT_UCHAR));
    return testing::Animation(frames, 40);
}

struct Format {
    const char* name;
    std::string suffix;
    std::string bytes;
};

// Every format the program reads that can be written here, in the ways that change its decoding.
std::vector<Format> ReadableFormats() {
    const VImage ramp = ColourRamp(240, 180);
    const VImage floats = ramp.cast(VIPS_FORMAT_FLOAT) / 255;
    const auto magick = [](const VImage& image, const char* format) {
        return Encoded(image, ".bmp", VImage::option()->set("format", format));
    };
    return {
        {"jpeg", ".jpg", Encoded(ramp, ".jpg")},
        {"progressive-jpeg", ".jpg", Encoded(ramp, ".jpg[interlace]")},
        {"png", ".png", Encoded(ramp, ".png")},
        {"interlaced-png", ".png", Encoded(ramp, ".png[interlace]")},
        {"palette-png", ".png", Encoded(ramp, ".png[palette]")},
        {"gif", ".gif", Encoded(ramp, ".gif")},
        {"animated-gif", ".gif", Encoded(Frames(6, 120, 90), ".gif")},
        {"lzw-tiff", ".tif", Encoded(ramp, ".tif[compression=lzw]")},
        {"jpeg-tiff", ".tif", Encoded(ramp, ".tif[compression=jpeg]")},
        {"multi-page-tiff", ".tif", Encoded(Frames(4, 120, 90), ".tif")},
        {"webp", ".webp", Encoded(ramp, ".webp")},
        {"lossless-webp", ".webp", Encoded(ramp, ".webp[lossless]")},
        {"animated-webp", ".webp", Encoded(Frames(6, 120, 90), ".webp")},
        {"heif", ".heic", Encoded(ramp, ".heic")},
        {"avif", ".avif", Encoded(ramp, ".avif")},
        {"jpeg-2000", ".jp2", Encoded(ramp, ".jp2")},
        {"jpeg-xl", ".jxl", Encoded(ramp, ".jxl")},
        {"ppm", ".ppm", Encoded(ramp, ".ppm")},
        {"pgm", ".pgm", Encoded(ramp[1], ".pgm")},
        {"pbm", ".pbm", Encoded(ramp[0] > 128, ".pbm")},
        {"pfm", ".pfm", Encoded(floats, ".pfm")},
        {"radiance", ".hdr", Encoded(floats, ".hdr")},
        {"bmp", ".bmp", magick(ramp, "BMP")},
        {"tga", ".tga", magick(ramp, "TGA")},
        {"pcx", ".pcx", magick(ramp, "PCX")},
        {"ico", ".ico", magick(ColourRamp(128, 128, 4), "ICO")},
        {"svg", ".svg", "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"240\" height=\"180\"/>"},
    };
}

// Where to cut: every byte of the first few, then at growing steps, and just before the end.
std::set<std::size_t> CutPoints(std::size_t size) {
    std::set<std::size_t> points{size - 1, size - 2, size - 4};
    for (std::size_t at = 0; at < size; at = at < 16 ? at + 1 : at * 5 / 4)
        points.insert(at);
    return points;
}

class HostileFiles : public ::testing::Test {
protected:
    HostileFiles() {
        fs::create_directories(album);
        ColourRamp(300, 200).jpegsave((album / "zz-last.jpg").c_str());
    }

    fs::path Put(const std::string& name, const std::string& bytes) {
        testing::WriteBytes(album / name, bytes);
        originals[album / name] = bytes;
        return album / name;
    }
    bool Untouched(const fs::path& path) const { return ReadBytes(path) == originals.at(path); }

    testing::ProcessResult Run() {
        const testing::ProcessResult result = program.run({album.string(), "100x100"});
        EXPECT_TRUE(result.exitCode == 0 || result.exitCode == 3) << result.err;
#ifndef KOVI_SANITIZED
        // (Under AddressSanitizer the shadow memory counts too, so the size says nothing.)
        EXPECT_LT(result.peakResidentKilobytes, 1024L * 1024L) << "a gibibyte";
#endif
        EXPECT_EQ(DecodedSize(album / "zz-last.jpg"), Thumbnail);
        return result;
    }

    testing::BatchProgram program;
    const fs::path album = program.home() / "album";
    std::map<fs::path, std::string> originals;
};

// A cut file may only be resized when it lost nothing the picture needs, and then exactly as
// the whole file was: the same pixels through the same code give the same result.
TEST_F(HostileFiles, EveryFormatCutShortAnywhereIsNeverRewrittenFromAPart) {
    std::map<fs::path, std::vector<fs::path>> cutsOf;
    for (const Format& format : ReadableFormats()) {
        const auto whole = Put(std::string("whole-") + format.name + format.suffix, format.bytes);
        for (const auto at : CutPoints(format.bytes.size()))
            cutsOf[whole].push_back(
                Put(std::string("cut-") + format.name + "-" + std::to_string(at) + format.suffix,
                    format.bytes.substr(0, at)));
    }
    Run();

    for (const auto& [whole, cuts] : cutsOf) {
        // Each format the program writes is resized whole, its decoder loaded at first need.
        const bool written = whole.extension() != ".svg" && whole.extension() != ".pfm" &&
                             whole.extension() != ".hdr";
        EXPECT_NE(Untouched(whole), written) << whole;
        for (const auto& path : cuts) {
            if (Untouched(path))
                continue;
            EXPECT_FALSE(Untouched(whole)) << path << " was changed, its whole file was not";
            const double difference = testing::MeanDifference(path, whole);
            EXPECT_TRUE(difference >= 0 && difference <= 1.0)
                << path << " is no complete image or differs from the whole file resized by "
                << difference;
        }
    }
}

std::string RandomBytes(std::mt19937& random, std::size_t count) {
    std::string bytes(count, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(random() & 0xFF);
    return bytes;
}

// Empty, random and falsely signed files, huge claims and bombs are left alone and those claiming
// too much are named; a real picture that large is streamed. Names that trip up careless code
// (printf, the log's separator, a line end, no UTF-8, the longest entry) are named exactly.
TEST_F(HostileFiles, DamagedLyingAndBombFilesAreLeftAloneAndOddNamesNamedExactly) {
    std::mt19937 random(77);
    for (const char* suffix :
         {".jpg", ".png", ".gif", ".tif", ".bmp", ".webp", ".heic", ".avif", ".jp2", ".jxl", ".ppm",
          ".tga", ".pcx", ".ico", ".svg", ".pdf", ".psd"}) {
        Put(std::string("empty") + suffix, "");
        Put(std::string("noise-small") + suffix, RandomBytes(random, 64));
        Put(std::string("noise-large") + suffix, RandomBytes(random, 20000));
    }
    for (const auto& [suffix, signature] : std::vector<std::pair<std::string, std::string>>{
             {"jpg", std::string("\xFF\xD8\xFF\xE0", 4)},
             {"png", std::string("\x89PNG\r\n\x1A\n", 8)},
             {"gif", "GIF89a"},
             {"tif", std::string("II*\0", 4)},
             {"bmp", "BM"},
             {"webp", std::string("RIFF\0\0\0\0WEBPVP8 ", 16)},
             {"jp2", std::string("\0\0\0\x0CjP  \r\n\x87\n", 12)},
             {"heic", std::string("\0\0\0\x18", 4) + "ftypheic"}})
        for (int copy = 0; copy < 4; ++copy)
            Put("signed-" + std::to_string(copy) + "." + suffix,
                signature + RandomBytes(random, 100u << (2 * copy)));
    const std::vector<fs::path> refused{
        Put("huge.png", testing::PngClaiming(100000, 100000)),
        Put("huge.jpg", testing::JpegClaiming(65500, 65500)),
        Put("huge.gif", testing::GifClaiming(65535, 65535)),
        Put("huge.bmp", testing::BmpClaiming(100000, 100000)),
        Put("huge.tif", testing::TiffClaiming(100000, 100000)),
        Put("huge-bmp-named.tga", testing::BmpClaiming(100000, 100000)),
        Put("bomb-16000.gif", testing::GifBomb(16000, 16000)),
        Put("bomb-frames.gif", testing::GifBomb(8192, 8193, 3)),
    };
    Put("bomb-many-frames.gif", testing::GifBomb(200, 150, 5000));
    testing::WriteBytes(album / "frame-8192.gif", testing::GifBomb(8192, 8192));
    VImage::black(16000, 16000)
        .cast(VIPS_FORMAT_UCHAR)
        .pngsave((album / "zeros.png").c_str(), VImage::option()->set("compression", 1));
    testing::WriteBytes(album / "png-named.jpg", Encoded(ColourRamp(300, 200), ".png"));
    testing::WriteBytes(album / "jpeg-named.png", Encoded(ColourRamp(300, 200), ".jpg"));
    const std::vector<std::string> oddNames = {
        "with spaces .jpg",      "comma,in,name.jpg",
        "percent %s %n %d.png",  "line\nend.jpg",
        "latin-1 \xE9t\xE9.jpg", "broken utf-8 \xC3(.png",
        "brackets [page=2].jpg", "quote ' and \" and `.jpg",
        "-starts-with-dash.jpg", std::string(251, 'n') + ".jpg",
    };
    for (const auto& name : oddNames)
        ColourRamp(300, 200).write_to_file((album / name).c_str());
    const auto unsaveable = Put("unsaveable %s\n.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\" "
                                                       "width=\"900\" height=\"700\"/>");

    const auto result = Run();
    EXPECT_EQ(result.exitCode, 3);
    for (const auto& [path, bytes] : originals)
        EXPECT_TRUE(Untouched(path)) << path;
    for (const auto& path : refused)
        EXPECT_NE(result.err.find(path.string() + ": the image is too large"), std::string::npos)
            << result.err;
    // (libvips stops counting frames at 4097.)
    EXPECT_NE(result.err.find("many-frames.gif: the file holds 4097 frames or pages, too many"),
              std::string::npos)
        << result.err;
    EXPECT_EQ(DecodedSize(album / "frame-8192.gif"), (PixelSize{100, 100}));
    EXPECT_EQ(DecodedSize(album / "zeros.png"), (PixelSize{100, 100}));
    EXPECT_EQ(testing::LoaderOf(album / "png-named.jpg"), "pngload");
    EXPECT_EQ(testing::LoaderOf(album / "jpeg-named.png"), "jpegload");
    EXPECT_EQ(DecodedSize(album / "png-named.jpg"), Thumbnail);
    EXPECT_EQ(DecodedSize(album / "jpeg-named.png"), Thumbnail);
    EXPECT_NE(result.err.find("kovi-rzk-batch: not saved: " + unsaveable.string() +
                              ": SVG files cannot be written\n"),
              std::string::npos)
        << result.err;
    const std::string log = ReadBytes(album / "kovilog.txt");
    for (const auto& name : oddNames) {
        EXPECT_EQ(DecodedSize(album / name), Thumbnail) << name;
        EXPECT_NE(log.find("\r\n" + CsvField((album / name).string()) + ",300,200,"),
                  std::string::npos)
            << name;
    }
}

constexpr PixelSize Fitted{640, 480}; // of an 800 x 600 picture in 640x480
constexpr PixelSize Small{400, 300};

void Draw(const fs::path& path, PixelSize size = {800, 600}) {
    fs::create_directories(path.parent_path());
    testing::ColourRamp(size.width, size.height).write_to_file(path.c_str());
}

class MovingFolder : public ::testing::Test {
protected:
    MovingFolder() {
        fs::create_directories(album);
        options.folder = album;
        options.target = {640, 480};
        options.excludedExtensionsFile = folder / "exts.dat";
        options.excludedFoldersFile = folder / "exflds.dat";
        callbacks.fileFinished = [this](const FileReport& report) {
            outcomes[report.path.filename().string()] = report.outcome;
        };
    }

    RunResult Run() { return ProcessImages(options, abortRequested, callbacks); }

    testing::TempFolder folder;
    const fs::path album = folder / "album";
    const std::string small = [this] {
        Draw(folder / "small.jpg", Small);
        return ReadBytes(folder / "small.jpg");
    }();
    testing::Mount disk{album};
    BatchOptions options;
    RunCallbacks callbacks;
    std::atomic<bool> abortRequested{false};
    std::map<std::string, FileOutcome> outcomes;
};

// Files change after they were collected, or after they were worked on ahead of their turn:
// each is taken at its turn as it is then, as if never seen before, and keeps what others wrote.
TEST_F(MovingFolder, FilesChangedAfterCollectionOrBeforeTheirTurnAreTakenAsTheyAreNow) {
    for (const char* name :
         {"a-kept.jpg", "b-renamed-over.jpg", "b-rewritten.jpg", "by-folder.jpg", "by-larger.jpg",
          "by-link.jpg", "by-pipe.jpg", "by-small.jpg", "by-text.jpg", "deleted.jpg", "locked.jpg"})
        Draw(album / name);
    const std::string locked = ReadBytes(album / "locked.jpg");
    callbacks.started = [&](std::size_t) {
        fs::remove(album / "deleted.jpg");
        Draw(album / "by-larger.jpg", {1600, 1000});
        fs::copy_file(folder / "small.jpg", album / "by-small.jpg",
                      fs::copy_options::overwrite_existing);
        testing::WriteBytes(album / "by-text.jpg", "no longer a picture");
        fs::remove(album / "by-folder.jpg");
        fs::create_directory(album / "by-folder.jpg");
        fs::remove(album / "by-pipe.jpg");
        ASSERT_EQ(::mkfifo((album / "by-pipe.jpg").c_str(), 0644), 0);
        fs::remove(album / "by-link.jpg");
        fs::create_symlink("a-kept.jpg", album / "by-link.jpg");
        ASSERT_EQ(::chmod((album / "locked.jpg").c_str(), 0), 0);
    };
    // These two may already be shrunk beside the folder, waiting for their turn.
    callbacks.fileStarted = [&](std::size_t index, std::size_t) {
        if (index != 1)
            return;
        fs::copy_file(folder / "small.jpg", folder / "new.jpg");
        fs::rename(folder / "new.jpg", album / "b-renamed-over.jpg");
        testing::WriteBytes(album / "b-rewritten.jpg", small); // the same file, new content
    };
    // Without this, root reads the locked file all the same.
    testing::ObeyFileModes obey;
    const RunResult result = Run();

    ASSERT_EQ(result.status, RunStatus::Completed);
    EXPECT_EQ(result.fileCount, 11u);
    EXPECT_TRUE(result.notSaved.empty());
    EXPECT_FALSE(fs::exists(album / "deleted.jpg")) << "a vanished file is not made again";
    EXPECT_EQ(DecodedSize(album / "by-larger.jpg"), (PixelSize{640, 400}));
    for (const char* name : {"by-small.jpg", "b-renamed-over.jpg", "b-rewritten.jpg"}) {
        EXPECT_TRUE(ReadBytes(album / name) == small) << name << " lost what was written";
        EXPECT_EQ(outcomes[name], FileOutcome::SmallEnough) << name;
    }
    EXPECT_TRUE(ReadBytes(album / "by-text.jpg") == "no longer a picture");
    EXPECT_TRUE(fs::is_directory(album / "by-folder.jpg"));
    EXPECT_TRUE(S_ISFIFO(testing::StatOf(album / "by-pipe.jpg").st_mode));
    EXPECT_TRUE(fs::is_symlink(album / "by-link.jpg"));
    EXPECT_EQ(DecodedSize(album / "a-kept.jpg"), Fitted);
    if (obey.active()) {
        EXPECT_EQ(outcomes["locked.jpg"], FileOutcome::NotAnImage);
        EXPECT_EQ(testing::StatOf(album / "locked.jpg").st_mode & 07777, 0200u)
            << "only the owner's write is given";
        ::chmod((album / "locked.jpg").c_str(), 0644);
        EXPECT_TRUE(ReadBytes(album / "locked.jpg") == locked);
    }
    EXPECT_TRUE(testing::TemporaryFilesIn(album).empty());
}

// Between the new image's writing and its commit, a file replaced by someone else is kept.
TEST_F(MovingFolder, ANewerFileInPlaceIsNotOverwritten) {
    Draw(album / "photo.jpg");
    std::string error;
    auto replacement = ReplacementFile::create(album / "photo.jpg", error);
    ASSERT_TRUE(replacement) << error;
    ASSERT_TRUE(replacement->write("new picture", 11));
    fs::copy_file(folder / "small.jpg", folder / "newer.jpg");
    fs::rename(folder / "newer.jpg", album / "photo.jpg");

    EXPECT_FALSE(replacement->commit(error));
    EXPECT_NE(error.find("changed by someone else"), std::string::npos) << error;
    replacement.reset();
    EXPECT_TRUE(ReadBytes(album / "photo.jpg") == small);
    EXPECT_TRUE(testing::TemporaryFilesIn(album).empty());
}

TEST_F(MovingFolder, ARunThatFillsTheDiskPartWayLosesNothingAndSaysWhatWasNotSaved) {
    if (!disk.smallTmpfs("6m"))
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root and mount)";
    // Thin pictures' new files fit in what a full disk has left; the others' do not.
    options.target = {300, 300};
    std::vector<testing::Picture> pictures;
    for (int i = 0; i < 20; ++i) {
        const PixelSize size{i % 4 == 3 ? 1500 : 500 + 10 * i, i % 4 == 3 ? 12 : 380};
        const fs::path path = album / ("p" + std::to_string(10 + i) + (i % 2 ? ".png" : ".jpg"));
        Draw(path, size);
        pictures.push_back(
            {path, ReadBytes(path), testing::LoaderOf(path), FitInside(size, {300, 300})});
    }
    std::string log = std::string(ProcessingLog::Header) + "\r\n";
    callbacks.fileFinished = [&](const FileReport& report) {
        outcomes[report.path.filename().string()] = report.outcome;
        if (report.outcome == FileOutcome::Resized)
            log += ProcessingLog::RowText(report.path, report.before, report.after) + "\r\n";
        else
            EXPECT_NE(report.reason.find("No space left on device"), std::string::npos);
        // Files 0 to 5 find room; from then on until file 14 the disk stays full but for two
        // pages; then there is room again.
        if (outcomes.size() >= 6 && outcomes.size() < 15)
            testing::FillDisk(album / "filler", 8192);
        else
            testing::FreeDisk(album / "filler");
    };
    const RunResult result = Run();
    testing::FreeDisk(album / "filler");

    ASSERT_EQ(result.status, RunStatus::Completed);
    for (const auto& picture : pictures) {
        std::string why;
        const auto state = testing::Judge(picture, &why);
        ASSERT_NE(state, testing::FileState::Damaged) << picture.path << ": " << why;
        EXPECT_EQ(outcomes[picture.path.filename().string()], state == testing::FileState::Resized
                                                                  ? FileOutcome::Resized
                                                                  : FileOutcome::NotSaved);
    }
    EXPECT_GE(result.notSaved.size(), 4u) << "the disk never filled up";
    EXPECT_LE(result.notSaved.size(), 12u);
    EXPECT_TRUE(testing::TemporaryFilesIn(album).empty());
    EXPECT_EQ(result.logError, "");
    EXPECT_EQ(ReadBytes(album / ProcessingLog::FileName),
              log + std::to_string(result.totalBefore) + "," + std::to_string(result.totalAfter) +
                  "\r\n");
}

TEST_F(MovingFolder, ALogLineThatDoesNotFitIsTakenBackAndTheLogStopsThere) {
    if (!disk.smallTmpfs("256k"))
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root and mount)";
    ProcessingLog log;
    ASSERT_FALSE(log.open(album));
    testing::FillDisk(album / "filler");
    const auto name = [](int i) {
        return "/album/" + std::string(300, 'n') + std::to_string(i) + ".jpg";
    };
    const ImageMeasure before{4000, 3000, 5000000};
    const ImageMeasure after{640, 480, 90000};
    std::string expected = std::string(ProcessingLog::Header) + "\r\n";
    std::error_code error;
    int rows = 0;
    for (; rows < 100 && !(error = log.writeRow(name(rows), before, after)); ++rows)
        expected += ProcessingLog::RowText(name(rows), before, after) + "\r\n";
    ASSERT_EQ(error, std::errc::no_space_on_device);
    ASSERT_GT(rows, 1) << "the log's last page should have taken some rows";

    // Room again: nothing more is written, so no row stands after a gap and no totals line
    // adds up rows that are not there.
    testing::FreeDisk(album / "filler");
    EXPECT_EQ(log.writeRow(name(200), before, after), std::errc::no_space_on_device);
    EXPECT_EQ(log.writeTotals(1, 2), std::errc::no_space_on_device);
    EXPECT_EQ(log.close(), std::errc::no_space_on_device);
    EXPECT_EQ(ReadBytes(album / ProcessingLog::FileName), expected);
}

} // namespace
} // namespace kovi
