// kovi-rzk-batch as a script sees it: its arguments, exit status and output, what it takes from
// the settings and list files beside it, and Ctrl+C. What the run decides is tested below it.
#include "programs/kovi-rzk-batch/CommandLine.h"

#include "tests/support/BatchProgram.h"
#include "tests/support/CaseName.h"
#include "tests/support/TestImages.h"

#include <gtest/gtest.h>

#include <cctype>
#include <csignal>
#include <thread>

namespace kovi {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::WriteBytes;
using Size = std::pair<int, int>;

Size SizeOf(const fs::path& path) {
    const auto image = testing::Reload(path).header;
    return {image.width(), image.height()};
}

std::ptrdiff_t LineCount(const std::string& text) {
    return std::count(text.begin(), text.end(), '\n');
}

struct ParseCase {
    const char* name;
    std::vector<std::string_view> arguments;
    const char* error; // what the message says, nullptr when the arguments are good
};

class CommandLineErrors : public ::testing::TestWithParam<ParseCase> {};

TEST_P(CommandLineErrors, RefusesBadArgumentsWithAMessage) {
    const auto parsed = ParseCommandLine(GetParam().arguments);
    ASSERT_EQ(std::holds_alternative<CommandLineError>(parsed), GetParam().error != nullptr);
    if (GetParam().error != nullptr) {
        const std::string& message = std::get<CommandLineError>(parsed).message;
        EXPECT_NE(message.find(GetParam().error), std::string::npos) << message;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineErrors,
    ::testing::Values(
        ParseCase{"options_after_the_folder", {"/pics", "--subs", "640x480", "--no-log"}, nullptr},
        ParseCase{"factor_ends", {"--chrom", "0", "--lum=255", "/p", "1x1"}, nullptr},
        ParseCase{"dash_folder_after_double_dash", {"--", "--odd", "640x480"}, nullptr},
        ParseCase{"help_before_a_bad_option", {"--help", "--bogus"}, nullptr},
        ParseCase{"one_positional", {"/pics"}, "expected a FOLDER and a WIDTHxHEIGHT"},
        ParseCase{"three_positionals", {"/a", "/b", "1x1"}, "expected a FOLDER"},
        ParseCase{"unknown_option", {"--fast", "/p", "1x1"}, "unknown option --fast"},
        ParseCase{"factor_too_large", {"--chrom", "256", "/p", "1x1"}, "--chrom needs a number"},
        ParseCase{"factor_negative", {"--lum", "-1", "/p", "1x1"}, "--lum needs a number"},
        ParseCase{"factor_not_a_number", {"--lum", "high", "/p", "1x1"}, "--lum needs a number"},
        ParseCase{"factor_missing", {"/p", "1x1", "--chrom"}, "--chrom needs a number"},
        ParseCase{"factor_with_junk", {"--chrom=21a", "/p", "1x1"}, "--chrom needs a number"},
        ParseCase{"log_and_no_log", {"--log", "--no-log", "/p", "1x1"}, "cannot be used together"},
        ParseCase{"switch_with_value", {"--subs=1", "/p", "1x1"}, "--subs takes no value"},
        ParseCase{"export_without_list", {"--export", "a.csv", "/p", "1x1"}, "with --list only"},
        ParseCase{"log_with_list", {"--list", "--log", "/p", "1x1"}, "do not go with --list"},
        ParseCase{"export_without_file", {"--list", "/p", "1x1", "--export"}, "needs a file name"},
        ParseCase{"empty_folder", {"", "1x1"}, "the FOLDER is empty"}),
    testing::CaseName{});

class BatchCommand : public ::testing::Test {
protected:
    void Draw(const fs::path& name, int width, int height) {
        fs::create_directories((album / name).parent_path());
        testing::ColourRamp(width, height).write_to_file((album / name).c_str());
    }

    testing::BatchProgram batch;
    const fs::path album = batch.home() / "album";
};

// The text with each run of digits and commas written as one '#': the shape of a number line.
std::string Shape(const std::string& text) {
    std::string shape;
    for (const char c : text) {
        const bool numeric = std::isdigit(static_cast<unsigned char>(c)) || c == ',';
        if (!numeric)
            shape += c;
        else if (shape.empty() || shape.back() != '#')
            shape += '#';
    }
    return shape;
}

TEST_F(BatchCommand, ResizesHonoursTheListsBesideItAndPrintsTheSummaryWithPlainLineEnds) {
    Draw("a.jpg", 1600, 1200);
    Draw("sub/b.jpg", 800, 600);
    Draw("c.png", 800, 600);
    WriteBytes(batch.executable().parent_path() / "exts.dat", "PNG\r\n");
    const auto result = batch.run({"--subs", album.string(), "640x480"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(SizeOf(album / "a.jpg"), Size(640, 480));
    EXPECT_EQ(SizeOf(album / "sub" / "b.jpg"), Size(640, 480));
    EXPECT_EQ(SizeOf(album / "c.png"), Size(800, 600));
    EXPECT_EQ(Shape(result.out), "Total before: # bytes\nTotal after: # bytes\n");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(LineCount(ReadBytes(album / "kovilog.txt")), 4) << "the log is on by default";
}

TEST_F(BatchCommand, StoredSettingsApplyUnlessTheCommandLineSaysOtherwise) {
    Draw("coarse/a.jpg", 1600, 1200);
    Draw("fine/a.jpg", 1600, 1200);
    fs::create_directories(batch.home() / "config" / "Kovi rZk Lite");
    WriteBytes(batch.home() / "config" / "Kovi rZk Lite" / "Kovi rZk Lite.conf",
               "[Settings]\nwritelog=0\njpegchrom=255\njpeglum=255\n");
    const auto fine = (album / "fine").string();
    EXPECT_EQ(batch.run({(album / "coarse").string(), "640x480"}).exitCode, 0);
    EXPECT_EQ(batch.run({"--log", "--chrom", "0", "--lum=0", fine, "640x480"}).exitCode, 0);
    EXPECT_FALSE(fs::exists(album / "coarse" / "kovilog.txt"));
    EXPECT_TRUE(fs::exists(album / "fine" / "kovilog.txt"));
    EXPECT_GT(fs::file_size(album / "fine" / "a.jpg"),
              2 * fs::file_size(album / "coarse" / "a.jpg"));
}

struct ExitCase {
    const char* name;
    std::vector<std::string> arguments; // "ALBUM" stands for the test's folder
    int exitCode;
};

class ExitStatus : public BatchCommand, public ::testing::WithParamInterface<ExitCase> {};

// A failure writes nothing to standard output, and no exit changes a file it was not asked to.
TEST_P(ExitStatus, TellsWhatHappened) {
    Draw("a.png", 800, 600);
    fs::create_directories(album / "svg");
    const std::string svg =
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"900\" height=\"700\"/>";
    WriteBytes(album / "svg" / "drawing.svg", svg);
    const std::string before = ReadBytes(album / "a.png");
    std::vector<std::string> arguments;
    for (const auto& argument : GetParam().arguments)
        arguments.push_back(argument.starts_with("ALBUM") ? album.string() + argument.substr(5)
                                                          : argument);
    const auto result = batch.run(arguments);
    EXPECT_EQ(result.exitCode, GetParam().exitCode) << result.err;
    EXPECT_EQ(result.out.empty(), GetParam().exitCode == 1 || GetParam().exitCode == 2)
        << result.out;
    EXPECT_EQ(ReadBytes(album / "a.png"), before);
    EXPECT_EQ(ReadBytes(album / "svg" / "drawing.svg"), svg);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExitStatus,
    ::testing::Values(ExitCase{"nothing_larger", {"ALBUM", "900x900"}, 0},
                      ExitCase{"listing", {"--list", "ALBUM", "640x480"}, 0},
                      ExitCase{"help_before_a_bad_option", {"--help", "--bogus"}, 0},
                      ExitCase{"no_arguments", {}, 1},
                      ExitCase{"unknown_option", {"--quick", "ALBUM", "640x480"}, 1},
                      ExitCase{"invalid_target", {"ALBUM", "0x480"}, 1},
                      ExitCase{"invalid_target_listing", {"--list", "ALBUM", "axb"}, 1},
                      ExitCase{"no_files", {"ALBUM/missing", "640x480"}, 2},
                      ExitCase{"no_files_listing", {"--list", "ALBUM/missing", "640x480"}, 2},
                      ExitCase{"some_not_saved", {"--no-log", "ALBUM/svg", "640x480"}, 3}),
    testing::CaseName{});

TEST_F(BatchCommand, ListingWritesTheExportFormatAndTouchesNothing) {
    Draw("a,b.png", 800, 600);
    Draw("sub/c.heic", 320, 240);
    const std::string before = ReadBytes(album / "a,b.png");
    const auto out = batch.run({"--list", "--subs", album.string(), "640x480"});
    EXPECT_EQ(out.exitCode, 0) << out.err;
    // The HEIF row needs a module of libvips, which the program loads only when asked.
    EXPECT_TRUE(out.out.starts_with(
        "FILENAME,FILESIZE,XRES,YRES,FORMAT,COLOURS,BPP\r\n\"" + (album / "a,b.png").string() +
        "\"," + std::to_string(before.size()) + ",800,600,PNG,16777216,24\r\n" +
        (album / "sub" / "c.heic").string() + "," +
        std::to_string(fs::file_size(album / "sub" / "c.heic")) + ",320,240,"))
        << out.out;
    EXPECT_EQ(LineCount(out.out), 3);
    EXPECT_TRUE(out.err.starts_with("Total image bytes: ") &&
                out.err.ends_with("\nWould be processed by current resolution: 1\n"))
        << out.err;
    const auto file = batch.run({"--list", "--subs", "--export",
                                 (batch.home() / "out.csv").string(), album.string(), "640x480"});
    EXPECT_EQ(file.exitCode, 0) << file.err;
    EXPECT_EQ(file.out, "");
    EXPECT_EQ(ReadBytes(batch.home() / "out.csv"), out.out);
    EXPECT_EQ(ReadBytes(album / "a,b.png"), before);
    EXPECT_FALSE(fs::exists(album / "kovilog.txt"));
}

bool Eventually(const std::function<bool()>& condition) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!condition() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return condition();
}

// The program takes Ctrl+C from the moment its log exists. It is held still there while the
// signal is sent, so that the signal lands before the end of the run however fast it goes.
TEST_F(BatchCommand, CtrlCFinishesTheCurrentFileAndLeavesNoTotalsLine) {
    constexpr int Count = 8;
    std::vector<std::string> originals;
    for (int i = 0; i < Count; ++i) {
        Draw("photo" + std::to_string(i) + ".jpg", 1600, 1200);
        originals.push_back(ReadBytes(album / ("photo" + std::to_string(i) + ".jpg")));
    }
    testing::ChildProcess child(batch.executable(), {album.string(), "640x480"},
                                batch.environment());
    ASSERT_TRUE(Eventually([&] { return fs::exists(album / "kovilog.txt"); }));
    child.signal(SIGSTOP);
    ASSERT_TRUE(Eventually([&] {
        const std::string stat = ReadBytes("/proc/" + std::to_string(child.pid()) + "/stat");
        return stat.find(") T ") != std::string::npos;
    }));
    // Started anew for its libraries' settings, it keeps its own name.
    EXPECT_EQ(ReadBytes("/proc/" + std::to_string(child.pid()) + "/comm"), "kovi-rzk-batch\n");
    const auto rowsAtStop =
        std::max<std::ptrdiff_t>(0, LineCount(ReadBytes(album / "kovilog.txt")) - 1);
    child.signal(SIGINT);
    child.signal(SIGCONT);
    const auto result = child.wait();
    if (rowsAtStop >= Count - 1)
        GTEST_SKIP() << "the run was at its last file before Ctrl+C; nothing to stop";

    ASSERT_EQ(result.exitCode, 130) << result.err;
    const std::string log = ReadBytes(album / "kovilog.txt");
    EXPECT_LE(LineCount(log) - 1, rowsAtStop + 1) << "only the file under way is finished";
    EXPECT_NE(Shape(log.substr(log.rfind('\n', log.size() - 3) + 1)), "#\r\n") << log;
    for (int i = 0; i < Count; ++i) {
        const auto path = album / ("photo" + std::to_string(i) + ".jpg");
        const bool logged = log.find(path.string() + ",") != std::string::npos;
        EXPECT_EQ(ReadBytes(path) != originals[static_cast<std::size_t>(i)], logged) << path;
        if (logged) {
            EXPECT_EQ(SizeOf(path), Size(640, 480)) << path;
        }
    }
}

} // namespace
} // namespace kovi
