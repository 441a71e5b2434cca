// A disk that fills up in the middle of a run: every picture stays whole (its old bytes or a
// complete new image), each one that could not be written is named as not saved, and the log
// holds only whole lines that are true.
#include "engine/BatchRun.h"
#include "engine/ProcessingLog.h"
#include "tests/reliability/ImageChecks.h"
#include "tests/support/DiskSpace.h"
#include "tests/support/Mount.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestImages.h"

#include <gtest/gtest.h>

#include <map>

namespace kovi {
namespace {

namespace fs = std::filesystem;
using testing::FileState;
using testing::Mount;
using testing::Picture;
using testing::ReadBytes;
using testing::TempFolder;

constexpr char SkipMessage[] = "cannot mount a small tmpfs here (needs root and mount)";
constexpr char NoSpace[] = "No space left on device";

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (auto end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    if (start < text.size())
        lines.push_back(text.substr(start) + " <- no line end");
    return lines;
}

// A small disk of its own in a temporary folder, taken down when the test ends.
class FullDisk : public ::testing::Test {
protected:
    FullDisk() { fs::create_directories(disk); }
    bool Mounted(const char* size) { return mount.smallTmpfs(size); }

    TempFolder folder;
    const fs::path disk = folder / "disk";
    Mount mount{disk};
};

TEST_F(FullDisk, ARunThatFillsTheDiskPartWayLosesNothingAndSaysWhatWasNotSaved) {
    if (!Mounted("6m"))
        GTEST_SKIP() << SkipMessage;
    const fs::path album = disk / "album";
    const fs::path filler = disk / "filler";
    fs::create_directories(album);

    // Large pictures whose new files need more room than the full disk has, and thin ones whose
    // new files fit in what is left.
    const auto target = *ParseTargetResolution("300x300");
    std::vector<Picture> pictures;
    for (int i = 0; i < 20; ++i) {
        const bool thin = i % 4 == 3;
        const int width = thin ? 1500 : 500 + 10 * i;
        const int height = thin ? 12 : 380;
        const fs::path path = album / ("p" + std::to_string(10 + i) + (i % 2 ? ".png" : ".jpg"));
        testing::ColourRamp(width, height).write_to_file(path.c_str());
        pictures.push_back(
            {path, ReadBytes(path), testing::LoaderOf(path), FitInside({width, height}, target)});
    }

    BatchOptions options;
    options.folder = album;
    options.target = "300x300";
    options.excludedExtensionsFile = folder / "exts.dat";
    options.excludedFoldersFile = folder / "exflds.dat";
    std::vector<FileReport> reports;
    RunCallbacks callbacks;
    callbacks.fileFinished = [&](const FileReport& report) {
        reports.push_back(report);
        // Files 0 to 5 find room; from then on until file 14 the disk stays full but for two
        // pages; then there is room again.
        if (reports.size() >= 6 && reports.size() < 15)
            testing::FillDisk(filler, 8192);
        else
            testing::FreeDisk(filler);
    };
    std::atomic<bool> abort{false};
    const RunResult result = ProcessImages(options, abort, callbacks);
    testing::FreeDisk(filler);

    ASSERT_EQ(result.status, RunStatus::Completed);
    std::map<fs::path, const FileReport*> reportOf;
    for (const auto& report : reports)
        reportOf[report.path] = &report;
    int resized = 0;
    int notSaved = 0;
    for (const auto& picture : pictures) {
        std::string why;
        const FileState state = testing::Judge(picture, &why);
        ASSERT_NE(state, FileState::Damaged) << picture.path << ": " << why;
        const FileReport& report = *reportOf.at(picture.path);
        if (state == FileState::Resized) {
            EXPECT_EQ(report.outcome, FileOutcome::Resized) << picture.path;
            ++resized;
        } else {
            EXPECT_EQ(report.outcome, FileOutcome::NotSaved) << picture.path;
            EXPECT_NE(report.reason.find(NoSpace), std::string::npos) << report.reason;
            ++notSaved;
        }
    }
    EXPECT_GE(notSaved, 4) << "the disk never filled up";
    EXPECT_GE(resized, 8);
    EXPECT_EQ(result.notSaved.size(), static_cast<std::size_t>(notSaved));
    EXPECT_TRUE(testing::TemporaryFilesIn(album).empty());

    // The log names exactly the files resized, in order, and adds them up.
    std::vector<std::string> expected{ProcessingLog::Header};
    for (const auto& report : reports)
        if (report.outcome == FileOutcome::Resized)
            expected.push_back(ProcessingLog::RowText(report.path, report.before, report.after));
    expected.push_back(std::to_string(result.totalBefore) + "," +
                       std::to_string(result.totalAfter));
    EXPECT_EQ(result.logError, "");
    EXPECT_EQ(Lines(ReadBytes(album / ProcessingLog::FileName)), expected);
}

// Rows long enough that a few of them fill a page of the log.
fs::path LongName(int i) {
    return "/album/" + std::string(300, 'n') + std::to_string(i) + ".jpg";
}

TEST_F(FullDisk, ALogLineThatDoesNotFitIsTakenBackAndTheLogStopsThere) {
    if (!Mounted("256k"))
        GTEST_SKIP() << SkipMessage;

    ProcessingLog log;
    ASSERT_FALSE(log.open(disk));
    testing::FillDisk(disk / "filler");
    std::vector<std::string> expected{ProcessingLog::Header};
    const ImageMeasure before{4000, 3000, 5000000};
    const ImageMeasure after{640, 480, 90000};
    std::error_code error;
    for (int i = 0; i < 100 && !error; ++i) {
        error = log.writeRow(LongName(i), before, after);
        if (!error)
            expected.push_back(ProcessingLog::RowText(LongName(i), before, after));
    }
    ASSERT_EQ(error, std::errc::no_space_on_device);
    ASSERT_GT(expected.size(), 2u) << "the log's last page should have taken some rows";

    // Room again: nothing more is written, so no row stands after a gap and no totals line
    // adds up rows that are not there.
    testing::FreeDisk(disk / "filler");
    EXPECT_EQ(log.writeRow(LongName(200), before, after), std::errc::no_space_on_device);
    EXPECT_EQ(log.writeTotals(1, 2), std::errc::no_space_on_device);
    EXPECT_EQ(log.close(), std::errc::no_space_on_device);
    EXPECT_EQ(Lines(ReadBytes(disk / ProcessingLog::FileName)), expected);
}

TEST_F(FullDisk, ALogThatCannotBeginLeavesEveryPictureAlone) {
    if (!Mounted("1m"))
        GTEST_SKIP() << SkipMessage;
    const fs::path path = disk / "photo.jpg";
    testing::ColourRamp(800, 600).jpegsave(path.c_str());
    const std::string bytes = ReadBytes(path);
    testing::FillDisk(disk / "filler");

    BatchOptions options;
    options.folder = disk;
    options.target = "640x480";
    std::atomic<bool> abort{false};
    const RunResult result = ProcessImages(options, abort);
    EXPECT_EQ(result.status, RunStatus::LogNotCreated);
    EXPECT_EQ(result.logError, NoSpace);
    EXPECT_TRUE(testing::HoldsBytes(path, bytes));
}

} // namespace
} // namespace kovi
