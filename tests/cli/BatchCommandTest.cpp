// kovi-rzk-batch as a script sees it: its output, its exit status and what it does to files.
#include "engine/ImagingControl.h"

#include "tests/support/BatchProgram.h"
#include "tests/support/CaseName.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestImages.h"

#include <gtest/gtest.h>

#include <csignal>
#include <thread>

namespace kovi {
namespace {

namespace fs = std::filesystem;
using testing::ChildProcess;
using testing::ColourRamp;
using testing::ProcessResult;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

std::pair<int, int> SizeOf(const fs::path& path) {
    ImagingControl control;
    control.SetLoadPath(path);
    return {control.ImageWidth(), control.ImageHeight()};
}

class BatchCommand : public ::testing::Test {
protected:
    BatchCommand() { fs::create_directories(album); }

    ProcessResult Run(const std::vector<std::string>& arguments) { return batch.run(arguments); }

    void Draw(const fs::path& path, int width, int height) {
        fs::create_directories(path.parent_path());
        ColourRamp(width, height).write_to_file(path.c_str());
    }

    void StoreSettings(const std::string& lines) {
        fs::create_directories(folder / "config" / "Kovi rZk Lite");
        WriteBytes(folder / "config" / "Kovi rZk Lite" / "Kovi rZk Lite.conf",
                   "[Settings]\n" + lines);
    }

    testing::BatchProgram batch;
    const TempFolder& folder = batch.home();
    const fs::path program = batch.executable().parent_path();
    const fs::path album = folder / "album";
};

TEST_F(BatchCommand, ResizesAndPrintsTheSummary) {
    Draw(album / "a.jpg", 1600, 1200);
    Draw(album / "b.png", 320, 240);
    const auto result = Run({album.string(), "640x480"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(SizeOf(album / "a.jpg"), std::pair(640, 480));
    EXPECT_EQ(SizeOf(album / "b.png"), std::pair(320, 240));
    EXPECT_EQ(result.out.rfind("Total before: ", 0), 0u) << result.out;
    EXPECT_NE(result.out.find(" bytes\nTotal after: "), std::string::npos) << result.out;
    EXPECT_EQ(result.out.find('\r'), std::string::npos);
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(fs::exists(album / "kovilog.txt")) << "the log is on by default";
}

TEST_F(BatchCommand, RelativeFolderAndSubFolders) {
    Draw(album / "sub" / "a.png", 800, 600);
    const auto result = Run({"--subs", "--no-log", (album / "." / "").string(), "640x480"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(SizeOf(album / "sub" / "a.png"), std::pair(640, 480));
    EXPECT_FALSE(fs::exists(album / "kovilog.txt"));
}

TEST_F(BatchCommand, StoredSettingsApplyUnlessTheCommandLineSaysOtherwise) {
    Draw(album / "a.png", 800, 600);
    StoreSettings("writelog=0\n");
    EXPECT_EQ(Run({album.string(), "640x480"}).exitCode, 0);
    EXPECT_FALSE(fs::exists(album / "kovilog.txt"));
    Draw(album / "b.png", 800, 600);
    EXPECT_EQ(Run({"--log", album.string(), "640x480"}).exitCode, 0);
    EXPECT_TRUE(fs::exists(album / "kovilog.txt"));
}

TEST_F(BatchCommand, JpegFactorsFromTheCommandLine) {
    Draw(album / "fine" / "a.jpg", 1600, 1200);
    Draw(album / "coarse" / "a.jpg", 1600, 1200);
    ASSERT_EQ(Run({"--lum", "0", "--chrom", "0", (album / "fine").string(), "640x480"}).exitCode,
              0);
    ASSERT_EQ(
        Run({"--lum", "255", "--chrom", "255", (album / "coarse").string(), "640x480"}).exitCode,
        0);
    EXPECT_GT(fs::file_size(album / "fine" / "a.jpg"),
              2 * fs::file_size(album / "coarse" / "a.jpg"));
}

TEST_F(BatchCommand, TheExclusionListsBesideTheProgramApply) {
    Draw(album / "a.png", 800, 600);
    Draw(album / "b.jpg", 800, 600);
    WriteBytes(program / "exts.dat", "PNG\r\n");
    EXPECT_EQ(Run({album.string(), "640x480"}).exitCode, 0);
    EXPECT_EQ(SizeOf(album / "a.png"), std::pair(800, 600));
    EXPECT_EQ(SizeOf(album / "b.jpg"), std::pair(640, 480));
}

struct ExitCase {
    const char* name;
    std::vector<std::string> arguments; // "ALBUM" stands for the test's folder
    int exitCode;
    const char* errorStart;
};

class ExitStatus : public BatchCommand, public ::testing::WithParamInterface<ExitCase> {};

TEST_P(ExitStatus, TellsWhatHappened) {
    Draw(album / "a.png", 800, 600);
    const std::string before = ReadBytes(album / "a.png");
    std::vector<std::string> arguments;
    for (const auto& argument : GetParam().arguments)
        arguments.push_back(argument == "ALBUM" ? album.string() : argument);
    const auto result = Run(arguments);
    EXPECT_EQ(result.exitCode, GetParam().exitCode) << result.err;
    EXPECT_EQ(result.err.rfind(GetParam().errorStart, 0), 0u) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(ReadBytes(album / "a.png"), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExitStatus,
    ::testing::Values(
        ExitCase{"no_arguments", {}, 1, "kovi-rzk-batch: expected a FOLDER and a WIDTHxHEIGHT"},
        ExitCase{"unknown_option",
                 {"--quick", "ALBUM", "640x480"},
                 1,
                 "kovi-rzk-batch: unknown option --quick"},
        ExitCase{"bad_factor",
                 {"--lum", "300", "ALBUM", "640x480"},
                 1,
                 "kovi-rzk-batch: --lum needs a number"},
        ExitCase{
            "invalid_target", {"ALBUM", "0x480"}, 1, "kovi-rzk-batch: Invalid target resolution"},
        ExitCase{
            "target_without_x", {"ALBUM", "640"}, 1, "kovi-rzk-batch: Invalid target resolution"},
        ExitCase{"invalid_target_listing",
                 {"--list", "ALBUM", "axb"},
                 1,
                 "kovi-rzk-batch: Invalid target resolution"},
        ExitCase{"no_files", {"ALBUM/empty", "640x480"}, 2, "No files to process"},
        ExitCase{
            "no_files_listing", {"--list", "ALBUM/missing", "640x480"}, 2, "No files to process"}),
    [](const auto& info) { return info.param.name; });

TEST_F(BatchCommand, FilesNotSavedAreNamedAndCounted) {
    const std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"900\" "
                            "height=\"700\"><rect width=\"900\" height=\"700\"/></svg>";
    WriteBytes(album / "drawing.svg", svg);
    Draw(album / "photo.png", 800, 600);
    const auto result = Run({album.string(), "640x480"});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(result.err.rfind(
                  "kovi-rzk-batch: not saved: " + (album / "drawing.svg").string() + ": ", 0),
              0u)
        << result.err;
    EXPECT_NE(result.out.find("\nFiles not saved: 1\n"), std::string::npos) << result.out;
    EXPECT_EQ(ReadBytes(album / "drawing.svg"), svg);
}

TEST_F(BatchCommand, ListingWritesTheExportFormatAndTouchesNothing) {
    Draw(album / "a,b.png", 800, 600);
    Draw(album / "c.gif", 320, 240);
    WriteBytes(album / "notes.txt", "text");
    const std::string before = ReadBytes(album / "a,b.png");
    const auto a = fs::file_size(album / "a,b.png");
    const auto c = fs::file_size(album / "c.gif");
    const std::string expected = "FILENAME,FILESIZE,XRES,YRES,FORMAT,COLOURS,BPP\r\n" +
                                 (album / "a,b.png").string() + "," + std::to_string(a) +
                                 ",800,600,PNG,16777216,24\r\n" + (album / "c.gif").string() + "," +
                                 std::to_string(c) + ",320,240,GIF,";

    const auto toStdout = Run({"--list", album.string(), "640x480"});
    EXPECT_EQ(toStdout.exitCode, 0) << toStdout.err;
    EXPECT_EQ(toStdout.out.rfind(expected, 0), 0u) << toStdout.out;
    std::string total = std::to_string(a + c);
    for (auto at = total.size(); at > 3; at -= 3)
        total.insert(at - 3, ",");
    EXPECT_EQ(toStdout.err,
              "Total image bytes: " + total + "\nWould be processed by current resolution: 1\n");

    const auto toFile =
        Run({"--list", "--export", (folder / "out.csv").string(), album.string(), "640x480"});
    EXPECT_EQ(toFile.exitCode, 0) << toFile.err;
    EXPECT_EQ(toFile.out, "");
    EXPECT_EQ(ReadBytes(folder / "out.csv"), toStdout.out);
    EXPECT_EQ(ReadBytes(album / "a,b.png"), before);
    EXPECT_FALSE(fs::exists(album / "kovilog.txt"));
}

TEST_F(BatchCommand, CtrlCFinishesTheCurrentFileAndLeavesNoTotalsLine) {
    constexpr int Count = 40;
    std::vector<std::string> originals;
    for (int i = 0; i < Count; ++i) {
        const auto path = album / ("photo" + std::to_string(100 + i) + ".jpg");
        Draw(path, 2400, 1800);
        originals.push_back(ReadBytes(path));
    }
    ChildProcess child(batch.executable(), {album.string(), "640x480"}, batch.environment());
    // The log appears once the run has begun, after the program is ready for Ctrl+C.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!fs::exists(album / "kovilog.txt") && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    child.signal(SIGINT);
    const auto result = child.wait();
    ASSERT_EQ(result.exitCode, 130) << result.err;
    const std::string log = ReadBytes(album / "kovilog.txt");
    const auto rows = std::count(log.begin(), log.end(), '\n') - 1;
    EXPECT_LT(rows, Count) << "the run went on to the end";
    int resized = 0;
    for (int i = 0; i < Count; ++i) {
        const auto path = album / ("photo" + std::to_string(100 + i) + ".jpg");
        if (ReadBytes(path) == originals[static_cast<std::size_t>(i)])
            continue;
        EXPECT_EQ(SizeOf(path), std::pair(640, 480)) << path;
        ++resized;
    }
    EXPECT_EQ(resized, rows) << "every file the log names was resized, and no other";
}

// libvips opens these through modules that the program loads only once a file needs them.
TEST_F(BatchCommand, ListsAndResizesTheFormatsOfTheLibraryModules) {
    const std::vector<std::string> names = {"a.bmp", "b.heic", "c.jxl"};
    for (const auto& name : names)
        Draw(album / name, 1600, 1200);
    const auto listing = Run({"--list", album.string(), "640x480"});
    EXPECT_EQ(listing.exitCode, 0) << listing.err;
    for (const auto& name : names)
        EXPECT_NE(listing.out.find(name + "," + std::to_string(fs::file_size(album / name)) +
                                   ",1600,1200,"),
                  std::string::npos)
            << listing.out;

    const auto result = Run({"--no-log", album.string(), "640x480"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    for (const auto& name : names)
        EXPECT_EQ(SizeOf(album / name), std::pair(640, 480)) << name;
}

TEST_F(BatchCommand, HelpAndVersion) {
    const auto help = Run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("Usage: kovi-rzk-batch", 0), 0u);
    const auto version = Run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "kovi-rzk-batch (Kovi rZk Lite) 1.1.0\n");
}

} // namespace
} // namespace kovi
