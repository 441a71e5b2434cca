// The batch run on real files, and the rules beneath it: the target, the fit and its rounding,
// which files are taken and excluded, the log's bytes, the memory gate.
#include "core/run/BatchRun.h"
#include "core/files/CsvField.h"
#include "core/listfiles/ListFile.h"
#include "core/run/Exclusions.h"
#include "core/run/MemoryGate.h"
#include "core/run/ProcessingLog.h"
#include "core/run/TargetCollection.h"
#include "core/run/TargetResolution.h"
#include "tests/support/CaseName.h"
#include "tests/support/FileAccess.h"
#include "tests/support/Mount.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestImages.h"

#include <gtest/gtest.h>

#include <future>
#include <optional>
#include <thread>

#include <sys/stat.h>

namespace kovi {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;
using Names = std::vector<std::string>;
using Size = std::pair<int, int>;
constexpr auto R = FileOutcome::Resized;
constexpr auto X = FileOutcome::Excluded;

Size SizeOf(const fs::path& path) {
    const auto image = testing::Reload(path).header;
    return {image.width(), image.height()};
}

class BatchRun : public ::testing::Test {
protected:
    BatchRun() {
        fs::create_directories(album);
        options = {.folder = album,
                   .target = {640, 480},
                   .excludedExtensionsFile = folder / "exts.dat",
                   .excludedFoldersFile = folder / "exflds.dat"};
        callbacks.fileFinished = [this](const FileReport& report) {
            outcomes.push_back(report.outcome);
        };
    }
    void Draw(const fs::path& name, int width, int height) {
        fs::create_directories((album / name).parent_path());
        testing::ColourRamp(width, height).write_to_file((album / name).c_str());
    }
    RunResult Run() { return ProcessImages(options, abortRequested, callbacks); }
    std::string Log() const { return ReadBytes(album / "kovilog.txt"); }

    testing::TempFolder folder;
    const fs::path album = folder / "album";
    BatchOptions options;
    RunCallbacks callbacks;
    std::atomic<bool> abortRequested{false};
    std::vector<FileOutcome> outcomes;
};

// A stale temporary file of a killed run is cleared and never taken; a file that cannot be
// saved is left alone, named and not logged.
TEST_F(BatchRun, ResizesWhatIsLargerLogsItAndLeavesTheRest) {
    Draw("a-large.jpg", 1600, 1200);
    Draw("b-exact.png", 640, 480);
    Draw("c-tall.gif", 100, 2000);
    WriteBytes(album / "d-notes.txt", "not an image");
    const std::string svg =
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"900\" height=\"700\"/>";
    WriteBytes(album / "e-drawing.svg", svg);
    WriteBytes(album / ".kovi-rzk-AbCd1234.tmp", "half an image");
    Draw("sub/f-wide.png", 1000, 300);
    options.processSubFolders = true;
    std::map<std::string, std::uintmax_t> before;
    for (const char* name : {"a-large.jpg", "c-tall.gif", "sub/f-wide.png"})
        before[name] = fs::file_size(album / name);
    const std::string exact = ReadBytes(album / "b-exact.png");

    const RunResult result = Run();

    EXPECT_EQ(result.status, RunStatus::Completed);
    EXPECT_EQ(outcomes, (std::vector{R, FileOutcome::SmallEnough, R, FileOutcome::NotAnImage,
                                     FileOutcome::NotSaved, R}));
    EXPECT_EQ(ReadBytes(album / "b-exact.png"), exact);
    ASSERT_EQ(result.notSaved.size(), 1u);
    EXPECT_EQ(result.notSaved[0].path, album / "e-drawing.svg");
    EXPECT_FALSE(result.notSaved[0].reason.empty());
    EXPECT_EQ(ReadBytes(album / "e-drawing.svg"), svg);
    EXPECT_FALSE(fs::exists(album / ".kovi-rzk-AbCd1234.tmp"));
    std::string log = "Filename,Before_X,Before_Y,Before_Bytes,After_X,After_Y,After_Bytes\r\n";
    std::uintmax_t totalBefore = 0;
    std::uintmax_t totalAfter = 0;
    for (const auto& [name, was, size] :
         {std::tuple("a-large.jpg", "1600,1200,", Size{640, 480}),
          std::tuple("c-tall.gif", "100,2000,", Size{24, 480}),
          std::tuple("sub/f-wide.png", "1000,300,", Size{640, 192})}) {
        EXPECT_EQ(SizeOf(album / name), size) << name;
        const auto after = fs::file_size(album / name);
        log += (album / name).string() + "," + was + std::to_string(before[name]) + "," +
               std::to_string(size.first) + "," + std::to_string(size.second) + "," +
               std::to_string(after) + "\r\n";
        totalBefore += before[name];
        totalAfter += after;
    }
    EXPECT_EQ(result.totalBefore, static_cast<std::int64_t>(totalBefore));
    EXPECT_EQ(result.totalAfter, static_cast<std::int64_t>(totalAfter));
    EXPECT_EQ(Log(), log + std::to_string(totalBefore) + "," + std::to_string(totalAfter) + "\r\n");
}

TEST_F(BatchRun, EmptyFoldersWriteNoLogAndAStaleAbortIsForgotten) {
    EXPECT_EQ(Run().status, RunStatus::NoFiles);
    EXPECT_FALSE(fs::exists(album / "kovilog.txt"));
    Draw("a.png", 800, 600);
    abortRequested = true;
    options.writeLog = false;
    EXPECT_EQ(Run().status, RunStatus::Completed);
    EXPECT_FALSE(fs::exists(album / "kovilog.txt")) << "switched off";
    EXPECT_EQ(SizeOf(album / "a.png"), Size(640, 480));
}

// Both lists are read again at each file's turn, also for files worked on ahead of it. A file
// is made writable at its turn unless it is excluded.
TEST_F(BatchRun, TheExclusionListsAsTheyAreAtEachFilesTurnDecide) {
    for (const char* name : {"a.jpg", "b.png", "c.png", "d.jpg", "Old/e.png"}) {
        Draw(name, 800, 600);
        fs::permissions(album / name, fs::perms::owner_write, fs::perm_options::remove);
    }
    WriteBytes(options.excludedExtensionsFile, "PNG\r\n");
    WriteBytes(options.excludedFoldersFile, "/album/old\r\n");
    options.processSubFolders = true;
    options.workers = 3;
    callbacks.fileFinished = [&, record = callbacks.fileFinished](const FileReport& report) {
        record(report);
        if (outcomes.size() == 1) {
            EXPECT_FALSE(RewriteList(options.excludedExtensionsFile, {"jpg"}));
        }
    };
    Run();
    EXPECT_EQ(outcomes, (std::vector{R, R, R, X, X}));
    EXPECT_EQ(SizeOf(album / "c.png"), Size(640, 480));
    EXPECT_EQ(testing::StatOf(album / "c.png").st_mode & 0777, 0644u);
    EXPECT_EQ(testing::StatOf(album / "d.jpg").st_mode & 0777, 0444u);
}

TEST_F(BatchRun, AStopFinishesTheCurrentFileLeavesLaterOnesUntouchedAndWritesNoTotals) {
    std::vector<std::string> originals;
    for (int i = 0; i < 10; ++i) {
        Draw("p" + std::to_string(10 + i) + ".png", 800, 600);
        originals.push_back(ReadBytes(album / ("p" + std::to_string(10 + i) + ".png")));
    }
    options.workers = 4;
    callbacks.fileLoading = [&](const fs::path& path) {
        abortRequested = abortRequested || path.filename() == "p12.png";
    };
    EXPECT_EQ(Run().status, RunStatus::Aborted);
    for (int i = 0; i < 10; ++i) {
        const auto path = album / ("p" + std::to_string(10 + i) + ".png");
        if (i <= 2)
            EXPECT_EQ(SizeOf(path), Size(640, 480)) << path;
        else
            EXPECT_EQ(ReadBytes(path), originals[static_cast<std::size_t>(i)]) << path;
    }
    const std::string log = Log();
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 4) << log;
    EXPECT_NE(log.find("p12.png,800,600,"), std::string::npos) << log;
    EXPECT_EQ(std::distance(fs::directory_iterator(album), fs::directory_iterator()), 11)
        << "no file worked on ahead is left beside the others";
}

TEST_F(BatchRun, AFolderThatCannotHoldTheLogIsReportedBeforeAnythingChanges) {
    Draw("a.png", 800, 600);
    const std::string before = ReadBytes(album / "a.png");
    testing::Mount mount(album);
    if (!mount.readOnly())
        GTEST_SKIP() << "cannot mount the folder read-only here (needs root and mount)";
    const RunResult result = Run();
    EXPECT_EQ(result.status, RunStatus::LogNotCreated);
    EXPECT_FALSE(result.logError.empty());
    EXPECT_EQ(ReadBytes(album / "a.png"), before);
}

TEST_F(BatchRun, SideBySideGivesWhatOneAtATimeGives) {
    std::vector<std::string> names;
    for (int i = 0; i < 8; ++i) {
        names.push_back("p" + std::to_string(10 + i) + (i % 3 == 0 ? ".png" : ".jpg"));
        Draw(names.back(), 700 + 37 * i, 500 + 23 * i);
    }
    const fs::path copy = folder / "copy";
    fs::copy(album, copy);
    options.workers = 1;
    Run();
    options.folder = copy;
    options.workers = 4;
    Run();

    std::string log = Log();
    for (auto at = log.find(album.string()); at != std::string::npos; at = log.find(album, at))
        log.replace(at, album.string().size(), copy.string());
    EXPECT_EQ(ReadBytes(copy / "kovilog.txt"), log);
    for (const auto& name : names)
        EXPECT_EQ(ReadBytes(album / name), ReadBytes(copy / name)) << name;
}

struct SummaryCase {
    const char* name;
    std::int64_t before;
    std::int64_t after;
    std::size_t notSaved;
    const char* separator;
    const char* text;
};

class Summary : public ::testing::TestWithParam<SummaryCase> {};

TEST_P(Summary, ShowsTotalsGroupedByThreesOrThatNothingNeededIt) {
    RunResult result;
    std::tie(result.totalBefore, result.totalAfter) =
        std::pair(GetParam().before, GetParam().after);
    result.notSaved.resize(GetParam().notSaved);
    EXPECT_EQ(SummaryText(result, GetParam().separator), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Summary,
    ::testing::Values(
        SummaryCase{"nothing", 0, 0, 0, ",", "No images required processing"},
        SummaryCase{"beyond_32_bits", 5000000000, 999, 0, ".",
                    "Total before: 5.000.000.000 bytes\r\nTotal after: 999 bytes"},
        SummaryCase{"multibyte_separator", 1234567, 1000, 0, "\u202f",
                    "Total before: 1\u202f234\u202f567 bytes\r\nTotal after: 1\u202f000 bytes"},
        SummaryCase{"some_not_saved", 2000, 1000, 2, ",",
                    "Total before: 2,000 bytes\r\nTotal after: 1,000 bytes\r\nFiles not saved: 2"},
        SummaryCase{"only_not_saved_and_zero_shows_nothing", 0, 0, 1, ",",
                    "Total before:  bytes\r\nTotal after:  bytes\r\nFiles not saved: 1"}),
    testing::CaseName{});

struct ParseCase {
    const char* name;
    const char* text;
    std::optional<std::pair<double, double>> sides;
};

class ParseTarget : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseTarget, ReadsTwoNumbersOfAtLeastOne) {
    const auto parsed = ParseTargetResolution(GetParam().text);
    ASSERT_EQ(parsed.has_value(), GetParam().sides.has_value());
    if (parsed) {
        EXPECT_DOUBLE_EQ(parsed->width, GetParam().sides->first);
        EXPECT_DOUBLE_EQ(parsed->height, GetParam().sides->second);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseTarget,
    ::testing::Values(ParseCase{"smallest_and_largest", "1x32767", std::pair{1.0, 32767.0}},
                      ParseCase{"blanks_around_sides", " 800 x 600 ", std::pair{800.0, 600.0}},
                      ParseCase{"further_pieces_ignored", "640x480x3", std::pair{640.0, 480.0}},
                      ParseCase{"decimal_side", "12.5x10", std::pair{12.5, 10.0}},
                      ParseCase{"grouped_side", "1,024x768", std::pair{1024.0, 768.0}},
                      ParseCase{"exponent", "1e3x5E2", std::pair{1000.0, 500.0}},
                      ParseCase{"plus_sign", "+640x480", std::pair{640.0, 480.0}},
                      ParseCase{"no_x", "640480", std::nullopt},
                      ParseCase{"upper_case_x", "640X480", std::nullopt},
                      ParseCase{"missing_height", "640x", std::nullopt},
                      ParseCase{"letters", "800pxx600", std::nullopt},
                      ParseCase{"zero_side", "0x480", std::nullopt},
                      ParseCase{"below_one", "0.4x480", std::nullopt},
                      ParseCase{"too_large", "32768x480", std::nullopt},
                      ParseCase{"huge_exponent", "1e999x480", std::nullopt},
                      ParseCase{"only_a_dot", ".x480", std::nullopt},
                      ParseCase{"bare_exponent", "1ex480", std::nullopt}),
    testing::CaseName{});

struct FitCase {
    const char* name;
    PixelSize image;
    TargetResolution target;
    bool resized;
    PixelSize fitted;
};

class FitRule : public ::testing::TestWithParam<FitCase> {};

TEST_P(FitRule, FitsInsideTheTargetKeepingTheAspectRatio) {
    const auto& c = GetParam();
    EXPECT_EQ(NeedsResize(c.image, c.target), c.resized);
    if (c.resized) {
        const PixelSize fitted = FitInside(c.image, c.target);
        EXPECT_EQ(fitted.width, c.fitted.width);
        EXPECT_EQ(fitted.height, c.fitted.height);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FitRule,
    ::testing::Values(
        FitCase{"equal_is_not_larger", {640, 480}, {640, 480}, false, {}},
        FitCase{"one_wider", {641, 480}, {640, 480}, true, {640, 479}},
        FitCase{"one_taller", {640, 481}, {640, 480}, true, {639, 480}},
        FitCase{"tall_500x600", {500, 600}, {640, 480}, true, {400, 480}},
        FitCase{"same_ratio_width_decides", {1280, 960}, {640, 480}, true, {640, 480}},
        FitCase{"tie_rounds_to_even_down_1280x25", {1280, 25}, {640, 480}, true, {640, 12}},
        FitCase{"tie_rounds_to_even_up_1280x27", {1280, 27}, {640, 480}, true, {640, 14}},
        FitCase{"height_decides_tie_down", {25, 960}, {640, 480}, true, {12, 480}},
        FitCase{"height_decides_tie_up", {27, 960}, {640, 480}, true, {14, 480}},
        FitCase{"side_rounding_to_zero_becomes_one", {10000, 1}, {80, 80}, true, {80, 1}},
        FitCase{"tall_line_rounding_to_zero", {1, 10000}, {80, 80}, true, {1, 80}},
        FitCase{"decimal_target_side_rounds", {1000, 1000}, {12.5, 100}, true, {12, 12}},
        FitCase{"decimal_target_not_resized", {12, 12}, {12.5, 12.5}, false, {}},
        FitCase{"camera_portrait_3000x4000", {3000, 4000}, {1024, 768}, true, {576, 768}}),
    testing::CaseName{});

struct ExclusionCase {
    const char* name;
    const char* path;
    std::vector<std::string> extensions;
    std::vector<std::string> folders;
    bool excluded;
};

class Exclusion : public ::testing::TestWithParam<ExclusionCase> {};

TEST_P(Exclusion, MatchesAnywhereInThePathIgnoringCase) {
    const auto& c = GetParam();
    EXPECT_EQ(IsExcluded(c.path, c.extensions, c.folders), c.excluded);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Exclusion,
    ::testing::Values(
        ExclusionCase{"extension", "/pics/a.bmp", {"BMP"}, {}, true},
        ExclusionCase{"extension_inside_path", "/pics/old.bmp.d/a.jpg", {"BMP"}, {}, true},
        ExclusionCase{"extension_prefix_of_longer", "/pics/a.bmpx", {"BMP"}, {}, true},
        ExclusionCase{"extension_needs_the_dot", "/pics/bmp/a.jpg", {"BMP"}, {}, false},
        ExclusionCase{"empty_extension_matches_a_dot", "/pics/a.jpg", {""}, {}, true},
        ExclusionCase{"empty_extension_without_dot", "/pics/README", {""}, {}, false},
        ExclusionCase{"folder_prefix_of_sibling", "/Photos/Older/x.jpg", {}, {"/Photos/Old"}, true},
        ExclusionCase{"folder_any_case", "/photos/old/x.jpg", {}, {"/PHOTOS/OLD"}, true},
        ExclusionCase{"empty_folder_entry_matches_all", "/a", {}, {""}, true},
        ExclusionCase{"non_ascii_case", "/Fotos/ÄRGER/x.jpg", {}, {"/fotos/ärger"}, true},
        ExclusionCase{"invalid_utf8_path", "/pics/\xff\xfe/a.JPG", {"jpg"}, {}, true},
        ExclusionCase{"invalid_utf8_entry", "/pics/\xff/a.jpg", {}, {"/PICS/\xff"}, true},
        ExclusionCase{
            "nul_after_the_extension", "/pics/a.jpg", {std::string("JPG\0", 4)}, {}, false},
        ExclusionCase{
            "ten_megabyte_entry", "/pics/a.jpg", {std::string(10 << 20, 'z')}, {}, false}),
    testing::CaseName{});

Names Collected(const fs::path& at, bool recurse) {
    Names names;
    for (const auto& path : CollectTargetFiles(at, recurse))
        names.push_back(path.lexically_relative(at).string());
    return names;
}

TEST(Collection, OwnFilesBeforeSubFoldersInNameOrderFileLinksButNoFolderLinksPipesOrHidden) {
    TempFolder folder;
    // Names in the order a file manager shows them: case folded (also beyond ASCII), names
    // that fold alike by their bytes.
    for (const char* file :
         {"b.jpg", "a.jpg", ".hidden.png", "sub2/z.gif", "sub2/deep/y.png", "sub1/c.jpg",
          ".git/config", "B.JPG", "Zeta/x.jpg", "\u00C9b.jpg", "\u00E9a.jpg"}) {
        fs::create_directories((folder / file).parent_path());
        WriteBytes(folder / file, "x");
    }
    fs::create_directory_symlink(folder.path(), folder / "sub1" / "loop");
    fs::create_symlink(folder / "a.jpg", folder / "sub1" / "link.jpg");
    fs::create_symlink(folder / "gone.jpg", folder / "sub1" / "dangling.jpg");
    ASSERT_EQ(mkfifo((folder / "sub1" / "pipe.jpg").c_str(), 0600), 0);
    const Names own{".hidden.png", "a.jpg", "B.JPG", "b.jpg", "\u00E9a.jpg", "\u00C9b.jpg"};
    Names all = own;
    all.insert(all.end(), {"sub1/c.jpg", "sub1/dangling.jpg", "sub1/link.jpg", "sub2/z.gif",
                           "sub2/deep/y.png", "Zeta/x.jpg"});
    EXPECT_EQ(Collected(folder.path(), true), all);
    EXPECT_EQ(Collected(folder.path(), false), own);
    EXPECT_TRUE(CollectTargetFiles(folder / "missing", true).empty());
    EXPECT_TRUE(CollectTargetFiles(folder / "a.jpg", true).empty());
    EXPECT_TRUE(CollectTargetFiles("My Computer", true).empty());
    for (const auto& path : CollectTargetFiles("/", false))
        EXPECT_NE(path.string().rfind("//", 0), 0u) << path;
}

// A field is written as it stands unless it would break its row.
TEST(CsvField, QuotesOnlyAFieldThatHoldsACommaAQuoteOrALineBreak) {
    const std::pair<std::string, std::string> fields[] = {
        {"/photos/a b.jpg", "/photos/a b.jpg"},
        {"", ""},
        {"/\u00E9t\u00E9 'x'.jpg", "/\u00E9t\u00E9 'x'.jpg"},
        {"/a,b.jpg", "\"/a,b.jpg\""},
        {"/say \"cheese\".jpg", "\"/say \"\"cheese\"\".jpg\""},
        {"/line\nbreak.jpg", "\"/line\nbreak.jpg\""},
        {"/return\r.jpg", "\"/return\r.jpg\""}};
    for (const auto& [field, written] : fields)
        EXPECT_EQ(CsvField(field), written) << field;
}

TEST(ProcessingLog, EmptiesAnEarlierLogAndWritesRowsAndLargeTotalsWithCrLf) {
    TempFolder folder;
    WriteBytes(folder / "kovilog.txt", "an earlier run, longer than this one will be\r\n1,2\r\n");
    ProcessingLog log;
    ASSERT_FALSE(log.open(folder.path()));
    const auto image = folder / "a, b.jpg";
    ASSERT_FALSE(log.writeRow(image, {1600, 1200, 5120000000}, {640, 480, 61234}));
    ASSERT_FALSE(log.writeTotals(5120000000, 3000000000));
    ASSERT_FALSE(log.close());
    EXPECT_EQ(ReadBytes(folder / "kovilog.txt"),
              "Filename,Before_X,Before_Y,Before_Bytes,After_X,After_Y,After_Bytes\r\n\"" +
                  image.string() + "\",1600,1200,5120000000,640,480,61234\r\n" +
                  "5120000000,3000000000\r\n");
}

bool Eventually(const std::function<bool()>& condition) {
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (!condition() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(1ms);
    return condition();
}

TEST(MemoryGate, LetsInWhatFitsBesideTheOthersOrAnythingAloneAndWakesTheWaitingOnRelease) {
    MemoryGate gate(160);
    std::future<MemoryGate::Pass> waiting; // (so that a failure releases the others first)
    EXPECT_TRUE(gate.admits(1000)) << "alone, even more than the budget";
    auto first = gate.enter(100);
    EXPECT_TRUE(gate.admits(60)) << "100 + 60 fits exactly";
    auto small = gate.enter(50);
    waiting = std::async(std::launch::async, [&] { return gate.enter(1000); });
    ASSERT_TRUE(Eventually([&] { return gate.waiting() == 1; }));
    first.release();
    EXPECT_FALSE(gate.admits(120)) << "50 + 120 is over 160";
    small.release();
    ASSERT_EQ(waiting.wait_for(10s), std::future_status::ready) << "the last release wakes it";
    EXPECT_FALSE(gate.admits(1)) << "one larger than the budget is alone";
}

} // namespace
} // namespace kovi
