// The batch run from end to end on real files: what is resized, skipped, logged and summed.
#include "engine/BatchRun.h"
#include "engine/ImagingControl.h"
#include "lists/ListFile.h"

#include "tests/support/CaseName.h"
#include "tests/support/FileAccess.h"
#include "tests/support/Mount.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestImages.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace kovi {
namespace {

namespace fs = std::filesystem;
using testing::ColourRamp;
using testing::Mount;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

struct Measured {
    int width = 0;
    int height = 0;
    std::int64_t bytes = 0;
};

Measured MeasureFile(const fs::path& path) {
    ImagingControl control;
    control.SetLoadPath(path);
    return {control.ImageWidth(), control.ImageHeight(), control.FileBytes()};
}

void DrawImage(const fs::path& path, int width, int height) {
    fs::create_directories(path.parent_path());
    ColourRamp(width, height).write_to_file(path.c_str());
}

const char SvgText[] = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"900\" height=\"700\">"
                       "<rect width=\"900\" height=\"700\" fill=\"red\"/></svg>";

class BatchRun : public ::testing::Test {
protected:
    BatchRun() {
        fs::create_directories(album);
        options.folder = album;
        options.target = "640x480";
        options.excludedExtensionsFile = program / "exts.dat";
        options.excludedFoldersFile = program / "exflds.dat";
        options.jpegFactors = [] {
            return JpegFactors{.chrominance = 21, .luminance = 21};
        };
    }

    // Runs with `callbacks`, recording each file's outcome in `outcomes`.
    RunResult Run() {
        outcomes.clear();
        RunCallbacks recording = callbacks;
        recording.fileFinished = [this](const FileReport& report) {
            outcomes.push_back(report.outcome);
            if (callbacks.fileFinished)
                callbacks.fileFinished(report);
        };
        return ProcessImages(options, abortRequested, recording);
    }

    std::string Log() const { return ReadBytes(album / "kovilog.txt"); }

    TempFolder folder;
    const fs::path album = folder / "album";
    const fs::path program = folder / "program";
    BatchOptions options;
    RunCallbacks callbacks;
    std::atomic<bool> abortRequested{false};
    std::vector<FileOutcome> outcomes;
};

constexpr char LogHeader[] =
    "Filename,Before_X,Before_Y,Before_Bytes,After_X,After_Y,After_Bytes\r\n";

TEST_F(BatchRun, ResizesWhatIsLargerLogsItAndLeavesTheRest) {
    DrawImage(album / "a-large.jpg", 1600, 1200);
    DrawImage(album / "b-exact.png", 640, 480);
    DrawImage(album / "c-tall.gif", 100, 2000);
    WriteBytes(album / "d-notes.txt", "not an image");
    DrawImage(album / "sub" / "e-wide.png", 1000, 300);
    options.processSubFolders = true;
    const auto large = MeasureFile(album / "a-large.jpg");
    const auto tall = MeasureFile(album / "c-tall.gif");
    const auto wide = MeasureFile(album / "sub" / "e-wide.png");
    const std::string exactBytes = ReadBytes(album / "b-exact.png");

    const RunResult result = Run();

    EXPECT_EQ(result.status, RunStatus::Completed);
    EXPECT_EQ(result.fileCount, 5u);
    EXPECT_EQ(outcomes, (std::vector<FileOutcome>{FileOutcome::Resized, FileOutcome::SmallEnough,
                                                  FileOutcome::Resized, FileOutcome::NotAnImage,
                                                  FileOutcome::Resized}));
    const auto largeAfter = MeasureFile(album / "a-large.jpg");
    const auto tallAfter = MeasureFile(album / "c-tall.gif");
    const auto wideAfter = MeasureFile(album / "sub" / "e-wide.png");
    EXPECT_EQ(std::pair(largeAfter.width, largeAfter.height), std::pair(640, 480));
    EXPECT_EQ(std::pair(tallAfter.width, tallAfter.height), std::pair(24, 480));
    EXPECT_EQ(std::pair(wideAfter.width, wideAfter.height), std::pair(640, 192));
    EXPECT_EQ(ReadBytes(album / "b-exact.png"), exactBytes);
    EXPECT_EQ(result.totalBefore, large.bytes + tall.bytes + wide.bytes);
    EXPECT_EQ(result.totalAfter, largeAfter.bytes + tallAfter.bytes + wideAfter.bytes);

    const auto row = [](const fs::path& path, Measured before, Measured after) {
        return path.string() + "," + std::to_string(before.width) + "," +
               std::to_string(before.height) + "," + std::to_string(before.bytes) + "," +
               std::to_string(after.width) + "," + std::to_string(after.height) + "," +
               std::to_string(after.bytes) + "\r\n";
    };
    EXPECT_EQ(Log(), LogHeader + row(album / "a-large.jpg", large, largeAfter) +
                         row(album / "c-tall.gif", tall, tallAfter) +
                         row(album / "sub" / "e-wide.png", wide, wideAfter) +
                         std::to_string(result.totalBefore) + "," +
                         std::to_string(result.totalAfter) + "\r\n");
}

TEST_F(BatchRun, NothingLargerGivesHeaderAndZeroTotals) {
    DrawImage(album / "small.png", 320, 240);
    const RunResult result = Run();
    EXPECT_EQ(result.status, RunStatus::Completed);
    EXPECT_EQ(Log(), std::string(LogHeader) + "0,0\r\n");
    EXPECT_EQ(SummaryText(result, ","), "No images required processing");
}

TEST_F(BatchRun, NoLogWhenSwitchedOff) {
    DrawImage(album / "a.png", 800, 600);
    options.writeLog = false;
    EXPECT_EQ(Run().status, RunStatus::Completed);
    EXPECT_FALSE(fs::exists(album / "kovilog.txt"));
    EXPECT_EQ(MeasureFile(album / "a.png").width, 640);
}

TEST_F(BatchRun, AnInvalidTargetTouchesNothing) {
    DrawImage(album / "a.png", 800, 600);
    const std::string before = ReadBytes(album / "a.png");
    for (const char* target : {"", "640", "0x480", "640x0", "axb", "640X480"}) {
        options.target = target;
        bool collected = false;
        callbacks.collecting = [&collected] {
            collected = true;
        };
        EXPECT_EQ(Run().status, RunStatus::InvalidTarget) << target;
        EXPECT_FALSE(collected) << target;
    }
    EXPECT_EQ(ReadBytes(album / "a.png"), before);
    EXPECT_FALSE(fs::exists(album / "kovilog.txt"));
}

TEST_F(BatchRun, AnEmptyFolderCreatesNoLog) {
    const RunResult result = Run();
    EXPECT_EQ(result.status, RunStatus::NoFiles);
    EXPECT_FALSE(fs::exists(album / "kovilog.txt"));
    options.folder = "My Computer";
    EXPECT_EQ(Run().status, RunStatus::NoFiles);
}

TEST_F(BatchRun, AnEarlierLogIsSkippedAndOverwritten) {
    DrawImage(album / "a.png", 320, 240);
    WriteBytes(album / "kovilog.txt", "the earlier log\r\n");
    ASSERT_EQ(chmod((album / "kovilog.txt").c_str(), 0444), 0);
    EXPECT_EQ(Run().status, RunStatus::Completed);
    EXPECT_EQ(outcomes, (std::vector{FileOutcome::SmallEnough, FileOutcome::NotAnImage}));
    EXPECT_EQ(Log(), std::string(LogHeader) + "0,0\r\n");
}

struct ExclusionCase {
    const char* name;
    std::string extensions;
    std::string folders;
    std::vector<FileOutcome> outcomes; // a.JPG, b.png, old/c.png
};

class Exclusions : public BatchRun, public ::testing::WithParamInterface<ExclusionCase> {};

TEST_P(Exclusions, ListFilesKeepFilesAway) {
    DrawImage(album / "a.JPG", 800, 600);
    DrawImage(album / "b.png", 800, 600);
    DrawImage(album / "old" / "c.png", 800, 600);
    options.processSubFolders = true;
    fs::create_directories(program);
    if (!GetParam().extensions.empty())
        WriteBytes(options.excludedExtensionsFile, GetParam().extensions);
    if (!GetParam().folders.empty())
        WriteBytes(options.excludedFoldersFile, GetParam().folders);
    Run();
    EXPECT_EQ(outcomes, GetParam().outcomes);
}

constexpr auto R = FileOutcome::Resized;
constexpr auto X = FileOutcome::Excluded;

INSTANTIATE_TEST_SUITE_P(
    Cases, Exclusions,
    ::testing::Values(ExclusionCase{"none", "", "", {R, R, R}},
                      ExclusionCase{"extension_any_case", "jpg\r\n", "", {X, R, R}},
                      ExclusionCase{"two_extensions", "PNG\r\nGIF\r\n", "", {R, X, X}},
                      ExclusionCase{
                          "folder_takes_its_sub_folders", "", "/album/old\r\n", {R, R, X}},
                      ExclusionCase{"folder_text_anywhere", "", "ALBUM/B\n", {R, X, R}},
                      ExclusionCase{"empty_extension_line", "BMP\r\n\r\n", "", {X, X, X}},
                      ExclusionCase{"empty_folder_line", "", "\r\n", {X, X, X}}),
    [](const auto& info) { return info.param.name; });

TEST_F(BatchRun, AListChangedDuringTheRunAppliesFromTheNextFile) {
    DrawImage(album / "a.png", 800, 600);
    DrawImage(album / "b.png", 800, 600);
    DrawImage(album / "c.png", 800, 600);
    fs::create_directories(program);
    callbacks.fileFinished = [&](const FileReport&) {
        if (outcomes.size() == 1) {
            ASSERT_FALSE(AppendEntry(options.excludedExtensionsFile, "png"));
        }
    };
    Run();
    EXPECT_EQ(outcomes, (std::vector{R, X, X}));
}

// A resized file keeps the rest of its mode.
TEST_F(BatchRun, ReadOnlyFilesBecomeWritableUnlessExcluded) {
    DrawImage(album / "a.png", 320, 240);
    DrawImage(album / "b.jpg", 800, 600);
    WriteBytes(album / ".hidden.txt", "text");
    WriteBytes(album / "keep.bmp", "text");
    for (const char* name : {"a.png", ".hidden.txt", "keep.bmp"})
        ASSERT_EQ(chmod((album / name).c_str(), 0444), 0);
    ASSERT_EQ(chmod((album / "b.jpg").c_str(), 0454), 0);
    fs::create_directories(program);
    WriteBytes(options.excludedExtensionsFile, "BMP\r\n");
    Run();
    const auto mode = [&](const char* name) {
        return testing::StatOf(album / name).st_mode & 07777;
    };
    EXPECT_EQ(mode("a.png"), 0644u);
    EXPECT_EQ(mode(".hidden.txt"), 0644u);
    EXPECT_EQ(mode("keep.bmp"), 0444u);
    EXPECT_EQ(mode("b.jpg"), 0654u);
    EXPECT_EQ(MeasureFile(album / "b.jpg").width, 640);
}

TEST_F(BatchRun, AbortBeforeTheFirstFileChangesNothing) {
    DrawImage(album / "a.png", 800, 600);
    const std::string before = ReadBytes(album / "a.png");
    callbacks.started = [this](std::size_t) {
        abortRequested = true;
    };
    const RunResult result = Run();
    EXPECT_EQ(result.status, RunStatus::Aborted);
    EXPECT_EQ(SummaryText(result, ","), "No images required processing");
    EXPECT_EQ(Log(), LogHeader);
    EXPECT_EQ(ReadBytes(album / "a.png"), before);
}

TEST_F(BatchRun, AStaleAbortFromBeforeTheRunIsForgotten) {
    DrawImage(album / "a.png", 800, 600);
    abortRequested = true;
    EXPECT_EQ(Run().status, RunStatus::Completed);
}

TEST_F(BatchRun, AbortInTheMiddleFinishesTheCurrentFileAndWritesNoTotals) {
    for (const char* name : {"a.png", "b.png", "c.png"})
        DrawImage(album / name, 800, 600);
    const std::string untouched = ReadBytes(album / "c.png");
    std::vector<std::size_t> started;
    callbacks.fileStarted = [&](std::size_t index, std::size_t) {
        started.push_back(index);
    };
    callbacks.fileLoading = [&](const fs::path& path) {
        if (path.filename() == "b.png")
            abortRequested = true; // a click while b.png is being worked on
    };
    const RunResult result = Run();
    EXPECT_EQ(result.status, RunStatus::Aborted);
    EXPECT_EQ(started, (std::vector<std::size_t>{0, 1, 2}));
    EXPECT_EQ(MeasureFile(album / "b.png").width, 640);
    EXPECT_EQ(ReadBytes(album / "c.png"), untouched);
    const std::string log = Log();
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 3) << log;
    EXPECT_NE(log.find("b.png,800,600,"), std::string::npos);
}

TEST_F(BatchRun, AFileThatCannotBeSavedIsLeftAloneAndNamed) {
    WriteBytes(album / "drawing.svg", SvgText);
    DrawImage(album / "photo.png", 800, 600);
    const RunResult result = Run();
    EXPECT_EQ(result.status, RunStatus::Completed);
    ASSERT_EQ(result.notSaved.size(), 1u);
    EXPECT_EQ(result.notSaved[0].path, album / "drawing.svg");
    EXPECT_FALSE(result.notSaved[0].reason.empty());
    EXPECT_EQ(ReadBytes(album / "drawing.svg"), SvgText);
    EXPECT_EQ(Log().find("drawing.svg"), std::string::npos);
    EXPECT_NE(SummaryText(result, ",").find("\r\nFiles not saved: 1"), std::string::npos);
}

TEST_F(BatchRun, AFolderThatCannotHoldTheLogIsReportedBeforeAnythingChanges) {
    DrawImage(album / "a.png", 800, 600);
    ASSERT_EQ(chmod((album / "a.png").c_str(), 0444), 0);
    const std::string before = ReadBytes(album / "a.png");
    Mount mount(album);
    if (!mount.readOnly())
        GTEST_SKIP() << "cannot mount the folder read-only here (needs root and mount)";
    const RunResult result = Run();
    EXPECT_EQ(result.status, RunStatus::LogNotCreated);
    EXPECT_FALSE(result.logError.empty());
    EXPECT_EQ(ReadBytes(album / "a.png"), before);
}

TEST_F(BatchRun, StaleTemporaryFilesAreClearedAndNeverTaken) {
    DrawImage(album / "a.png", 320, 240);
    WriteBytes(album / ".kovi-rzk-AbCd1234.tmp", "half an image");
    std::vector<fs::path> seen;
    callbacks.fileFinished = [&](const FileReport& report) {
        seen.push_back(report.path);
    };
    Run();
    EXPECT_EQ(seen, (std::vector<fs::path>{album / "a.png"}));
    EXPECT_FALSE(fs::exists(album / ".kovi-rzk-AbCd1234.tmp"));
}

TEST_F(BatchRun, SideBySideGivesWhatOneAtATimeGives) {
    for (int i = 0; i < 12; ++i)
        DrawImage(album / ("p" + std::to_string(10 + i) + (i % 3 == 0 ? ".png" : ".jpg")),
                  700 + 37 * i, 500 + 23 * i);
    WriteBytes(album / "notes.txt", "text");
    const fs::path copy = folder / "copy";
    fs::copy(album, copy);

    options.workers = 1;
    const RunResult one = Run();
    const std::string oneLog = Log();
    options.folder = copy;
    options.workers = 4;
    const RunResult four = Run();
    const std::string fourLog = ReadBytes(copy / "kovilog.txt");

    EXPECT_EQ(one.totalBefore, four.totalBefore);
    EXPECT_EQ(one.totalAfter, four.totalAfter);
    std::string renamed = oneLog;
    for (auto at = renamed.find(album.string()); at != std::string::npos;
         at = renamed.find(album.string(), at))
        renamed.replace(at, album.string().size(), copy.string());
    EXPECT_EQ(fourLog, renamed);
    for (const auto& entry : fs::directory_iterator(album)) {
        if (entry.path().filename() != "kovilog.txt") {
            EXPECT_EQ(ReadBytes(entry.path()), ReadBytes(copy / entry.path().filename()))
                << entry.path();
        }
    }
}

TEST_F(BatchRun, AStopLeavesEveryLaterFileUntouchedWhateverWasWorkedOnAhead) {
    constexpr int Count = 10;
    std::vector<std::string> originals;
    for (int i = 0; i < Count; ++i) {
        DrawImage(album / ("p" + std::to_string(10 + i) + ".png"), 900, 700);
        originals.push_back(ReadBytes(album / ("p" + std::to_string(10 + i) + ".png")));
    }
    options.workers = 4;
    callbacks.fileFinished = [&](const FileReport& report) {
        if (report.path.filename() == "p12.png")
            abortRequested = true;
    };
    const RunResult result = Run();
    EXPECT_EQ(result.status, RunStatus::Aborted);
    for (int i = 0; i < Count; ++i) {
        const auto path = album / ("p" + std::to_string(10 + i) + ".png");
        if (i <= 2)
            EXPECT_EQ(MeasureFile(path).height, 480) << path;
        else
            EXPECT_EQ(ReadBytes(path), originals[static_cast<std::size_t>(i)]) << path;
    }
    const std::string log = Log();
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 4) << log;
    for (const auto& entry : fs::directory_iterator(album))
        EXPECT_FALSE(entry.path().filename().string().starts_with(".kovi-rzk-")) << entry.path();
}

TEST_F(BatchRun, AFileNoLongerExcludedAtItsTurnIsStillResized) {
    for (const char* name : {"a.jpg", "b.png", "c.png", "d.png"})
        DrawImage(album / name, 800, 600);
    fs::create_directories(program);
    WriteBytes(options.excludedExtensionsFile, "PNG\r\n");
    options.workers = 3;
    callbacks.fileFinished = [&](const FileReport&) {
        if (outcomes.size() == 1) {
            ASSERT_FALSE(RewriteList(options.excludedExtensionsFile, {}));
        }
    };
    Run();
    EXPECT_EQ(outcomes, (std::vector{R, R, R, R}));
    EXPECT_EQ(MeasureFile(album / "d.png").width, 640);
}

struct SummaryCase {
    const char* name;
    std::int64_t before;
    std::int64_t after;
    std::size_t notSaved;
    const char* text;
};

class Summary : public ::testing::TestWithParam<SummaryCase> {};

TEST_P(Summary, ShowsTotalsOrThatNothingNeededIt) {
    RunResult result;
    result.totalBefore = GetParam().before;
    result.totalAfter = GetParam().after;
    result.notSaved.resize(GetParam().notSaved);
    EXPECT_EQ(SummaryText(result, ","), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Summary,
    ::testing::Values(
        SummaryCase{"nothing", 0, 0, 0, "No images required processing"},
        SummaryCase{"totals", 1234567, 98765, 0,
                    "Total before: 1,234,567 bytes\r\nTotal after: 98,765 bytes"},
        SummaryCase{"after_zero_shows_nothing", 512, 0, 0,
                    "Total before: 512 bytes\r\nTotal after:  bytes"},
        SummaryCase{"beyond_32_bits", 5000000000, 2500000000, 0,
                    "Total before: 5,000,000,000 bytes\r\nTotal after: 2,500,000,000 bytes"},
        SummaryCase{"some_not_saved", 2000, 1000, 2,
                    "Total before: 2,000 bytes\r\nTotal after: 1,000 bytes\r\nFiles not saved: 2"},
        SummaryCase{"only_not_saved", 0, 0, 1,
                    "Total before:  bytes\r\nTotal after:  bytes\r\nFiles not saved: 1"}),
    [](const auto& info) { return info.param.name; });

} // namespace
} // namespace kovi
