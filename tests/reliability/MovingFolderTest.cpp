// The folder changes under a run: files vanish, are replaced or become unreadable after they
// were collected or even after they were measured; folders are read-only; names are odd;
// links loop, share a file or point elsewhere. Nothing is lost and nothing is made up.
#include "engine/BatchRun.h"
#include "engine/ImagingControl.h"
#include "engine/ProcessingLog.h"
#include "engine/SafeReplace.h"
#include "tests/reliability/ImageChecks.h"
#include "tests/support/BatchProgram.h"
#include "tests/support/FileAccess.h"
#include "tests/support/Mount.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestImages.h"

#include <gtest/gtest.h>

#include <map>

#include <sys/stat.h>
#include <unistd.h>

namespace kovi {
namespace {

namespace fs = std::filesystem;
using testing::ColourRamp;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

constexpr PixelSize Fitted{640, 480}; // of an 800 x 600 picture in 640x480
constexpr PixelSize Small{400, 300};

void Draw(const fs::path& path, PixelSize size = {800, 600}) {
    fs::create_directories(path.parent_path());
    ColourRamp(size.width, size.height).write_to_file(path.c_str());
}

mode_t ModeOf(const fs::path& path) {
    return testing::StatOf(path).st_mode;
}

class MovingFolder : public ::testing::Test {
protected:
    MovingFolder() {
        fs::create_directories(album);
        options.folder = album;
        options.target = "640x480";
        options.excludedExtensionsFile = folder / "exts.dat";
        options.excludedFoldersFile = folder / "exflds.dat";
        callbacks.fileFinished = [this](const FileReport& report) {
            outcomes[report.path.filename().string()] = report;
        };
    }

    RunResult Run() { return ProcessImages(options, abortRequested, callbacks); }

    FileOutcome OutcomeOf(const std::string& name) const {
        const auto found = outcomes.find(name);
        return found == outcomes.end() ? FileOutcome::NotAnImage : found->second.outcome;
    }

    TempFolder folder;
    const fs::path album = folder / "album";
    BatchOptions options;
    RunCallbacks callbacks;
    std::atomic<bool> abortRequested{false};
    std::map<std::string, FileReport> outcomes;
};

TEST_F(MovingFolder, FilesDeletedOrReplacedAfterCollection) {
    for (const char* name : {"deleted.jpg", "by-larger.jpg", "by-small.jpg", "by-text.jpg",
                             "by-folder.jpg", "by-pipe.jpg", "by-link.jpg", "kept.jpg"})
        Draw(album / name);
    const std::string text = "no longer a picture";
    callbacks.started = [&](std::size_t) {
        fs::remove(album / "deleted.jpg");
        Draw(album / "by-larger.jpg", {1600, 1000});
        Draw(album / "by-small.jpg", Small);
        WriteBytes(album / "by-text.jpg", text);
        fs::remove(album / "by-folder.jpg");
        fs::create_directory(album / "by-folder.jpg");
        fs::remove(album / "by-pipe.jpg");
        ASSERT_EQ(::mkfifo((album / "by-pipe.jpg").c_str(), 0644), 0);
        fs::remove(album / "by-link.jpg");
        fs::create_symlink("kept.jpg", album / "by-link.jpg");
    };
    const std::string smallBytes = [&] {
        Draw(folder / "small.jpg", Small);
        return ReadBytes(folder / "small.jpg");
    }();
    const RunResult result = Run();

    ASSERT_EQ(result.status, RunStatus::Completed);
    EXPECT_EQ(result.fileCount, 8u);
    EXPECT_FALSE(fs::exists(album / "deleted.jpg")) << "a vanished file is not made again";
    EXPECT_EQ(OutcomeOf("deleted.jpg"), FileOutcome::NotAnImage);
    EXPECT_EQ(testing::DecodedSize(album / "by-larger.jpg"), (PixelSize{640, 400}));
    EXPECT_EQ(OutcomeOf("by-small.jpg"), FileOutcome::SmallEnough);
    EXPECT_TRUE(testing::HoldsBytes(album / "by-small.jpg", smallBytes));
    EXPECT_TRUE(testing::HoldsBytes(album / "by-text.jpg", text));
    EXPECT_TRUE(fs::is_directory(album / "by-folder.jpg"));
    EXPECT_EQ(ModeOf(album / "by-pipe.jpg") & S_IFMT, static_cast<mode_t>(S_IFIFO));
    EXPECT_TRUE(fs::is_symlink(album / "by-link.jpg"));
    EXPECT_EQ(testing::DecodedSize(album / "kept.jpg"), Fitted);
    EXPECT_TRUE(testing::TemporaryFilesIn(album).empty());
}

TEST_F(MovingFolder, AFileMadeUnreadableAfterCollectionIsLeftAlone) {
    Draw(album / "locked.jpg");
    Draw(album / "open.jpg");
    const std::string bytes = ReadBytes(album / "locked.jpg");
    callbacks.started = [&](std::size_t) {
        ASSERT_EQ(::chmod((album / "locked.jpg").c_str(), 0), 0);
    };
    testing::ObeyFileModes obey;
    if (!obey.active())
        GTEST_SKIP() << "cannot give up the right to read any file here";
    const RunResult result = Run();

    EXPECT_EQ(result.status, RunStatus::Completed);
    EXPECT_EQ(OutcomeOf("locked.jpg"), FileOutcome::NotAnImage);
    EXPECT_EQ(ModeOf(album / "locked.jpg") & 07777, 0200u) << "only the owner's write is given";
    ::chmod((album / "locked.jpg").c_str(), 0644);
    EXPECT_TRUE(testing::HoldsBytes(album / "locked.jpg", bytes));
    EXPECT_EQ(testing::DecodedSize(album / "open.jpg"), Fitted);
}

// Files are worked on ahead of their turn. One that someone else replaces or rewrites after
// that keeps what they wrote and is measured again at its turn, as if it had never been seen.
TEST_F(MovingFolder, AFileChangedBeforeItsTurnIsMeasuredAgain) {
    for (const char* name : {"a-first.jpg", "b-renamed-over.jpg", "c-rewritten.jpg", "d-kept.jpg"})
        Draw(album / name);
    Draw(folder / "small.jpg", Small);
    const std::string small = ReadBytes(folder / "small.jpg");
    callbacks.fileStarted = [&](std::size_t index, std::size_t) {
        if (index != 1)
            return;
        // Both may already be shrunk beside the folder, waiting for their turn.
        Draw(folder / "new.jpg", Small);
        fs::rename(folder / "new.jpg", album / "b-renamed-over.jpg");
        WriteBytes(album / "c-rewritten.jpg", small); // the same file, new content
    };
    const RunResult result = Run();

    EXPECT_EQ(result.status, RunStatus::Completed);
    for (const char* name : {"b-renamed-over.jpg", "c-rewritten.jpg"}) {
        EXPECT_TRUE(testing::HoldsBytes(album / name, small)) << name << " lost what was written";
        EXPECT_EQ(OutcomeOf(name), FileOutcome::SmallEnough) << name;
    }
    EXPECT_EQ(testing::DecodedSize(album / "a-first.jpg"), Fitted);
    EXPECT_EQ(testing::DecodedSize(album / "d-kept.jpg"), Fitted);
    EXPECT_TRUE(result.notSaved.empty());
    EXPECT_TRUE(testing::TemporaryFilesIn(album).empty());
}

// Between its measuring and its save, a file replaced by someone else is never saved over.
TEST_F(MovingFolder, AFileReplacedAfterItWasMeasuredKeepsTheNewContent) {
    Draw(album / "photo.jpg");
    ImagingControl control;
    control.SetLoadPath(album / "photo.jpg");
    ASSERT_EQ(control.ImageWidth(), 800);
    Draw(folder / "new.jpg", Small);
    const std::string newer = ReadBytes(folder / "new.jpg");
    fs::rename(folder / "new.jpg", album / "photo.jpg");
    control.SetSavePath(album / "photo.jpg");

    ASSERT_TRUE(control.ResizeImage(Fitted.width, Fitted.height));
    EXPECT_FALSE(control.SaveImage());
    EXPECT_NE(control.LastError().find("changed by someone else"), std::string::npos)
        << control.LastError();
    EXPECT_TRUE(testing::HoldsBytes(album / "photo.jpg", newer));
    EXPECT_TRUE(testing::TemporaryFilesIn(album).empty());
}

TEST(ChangedDuringSave, ANewerFileInPlaceIsNotOverwritten) {
    TempFolder folder;
    const fs::path path = folder / "photo.jpg";
    Draw(path);
    std::string error;
    auto replacement = ReplacementFile::create(path, error);
    ASSERT_TRUE(replacement) << error;
    ASSERT_TRUE(replacement->write("new picture", 11));
    Draw(folder / "newer.jpg", Small);
    const std::string newer = ReadBytes(folder / "newer.jpg");
    fs::rename(folder / "newer.jpg", path);

    EXPECT_FALSE(replacement->commit(error));
    EXPECT_NE(error.find("changed by someone else"), std::string::npos) << error;
    replacement.reset();
    EXPECT_TRUE(testing::HoldsBytes(path, newer));
    EXPECT_TRUE(testing::TemporaryFilesIn(folder.path()).empty());
}

TEST_F(MovingFolder, AReadOnlyFolderWithoutALogIsNamedFileByFileAndNotTouched) {
    Draw(album / "a.jpg");
    Draw(album / "b.png");
    const std::string a = ReadBytes(album / "a.jpg");
    const std::string b = ReadBytes(album / "b.png");
    testing::Mount mount(album);
    if (!mount.readOnly())
        GTEST_SKIP() << "cannot mount the folder read-only here (needs root and mount)";
    options.writeLog = false;
    const RunResult result = Run();

    EXPECT_EQ(result.status, RunStatus::Completed);
    ASSERT_EQ(result.notSaved.size(), 2u);
    for (const auto& report : result.notSaved)
        EXPECT_NE(report.reason.find("Read-only file system"), std::string::npos) << report.reason;
    EXPECT_TRUE(testing::HoldsBytes(album / "a.jpg", a));
    EXPECT_TRUE(testing::HoldsBytes(album / "b.png", b));
}

TEST_F(MovingFolder, ReadOnlyAndHiddenPicturesAreResized) {
    Draw(album / "read-only.jpg");
    Draw(album / ".hidden.png");
    ASSERT_EQ(::chmod((album / "read-only.jpg").c_str(), 0444), 0);
    ASSERT_EQ(::chmod((album / ".hidden.png").c_str(), 0400), 0);
    Run();
    EXPECT_EQ(testing::DecodedSize(album / "read-only.jpg"), Fitted);
    EXPECT_EQ(testing::DecodedSize(album / ".hidden.png"), Fitted);
    EXPECT_EQ(ModeOf(album / "read-only.jpg") & 07777, 0644u);
    EXPECT_EQ(ModeOf(album / ".hidden.png") & 07777, 0600u);
}

// Names that trip up careless code: shell and printf characters, the field separator of the
// log, a line end, bytes that are no UTF-8, and the longest name a folder entry may have.
const std::vector<std::string> OddNames = {
    "with spaces .jpg",      "comma,in,name.jpg",
    "percent %s %n %d.png",  "line\nend.jpg",
    "latin-1 \xE9t\xE9.jpg", "broken utf-8 \xC3(.png",
    "brackets [page=2].jpg", "quote ' and \" and `.jpg",
    "-starts-with-dash.jpg", std::string(251, 'n') + ".jpg",
};

TEST(OddNames, ThePictureIsResizedAndTheLogAndMessagesNameItExactly) {
    testing::BatchProgram program;
    const fs::path album = program.home() / "album";
    for (const auto& name : OddNames)
        Draw(album / name);
    WriteBytes(album / "unsaveable %s\n.svg",
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"900\" height=\"700\"/>");

    const auto result = program.run({album.string(), "640x480"});
    EXPECT_EQ(result.exitCode, 3) << result.err;
    EXPECT_EQ(result.err, "kovi-rzk-batch: not saved: " + (album / "unsaveable %s\n.svg").string() +
                              ": SVG files cannot be written\n");
    const std::string log = ReadBytes(album / ProcessingLog::FileName);
    for (const auto& name : OddNames) {
        EXPECT_EQ(testing::DecodedSize(album / name), Fitted) << name;
        EXPECT_NE(log.find("\r\n" + (album / name).string() + ",800,600,"), std::string::npos)
            << name;
    }
    EXPECT_TRUE(testing::TemporaryFilesIn(album).empty());
}

TEST_F(MovingFolder, LinkLoopsEndAndLinksStayLinks) {
    Draw(album / "photo.jpg");
    Draw(folder / "elsewhere" / "target.jpg");
    fs::create_directory_symlink(".", album / "loop");
    fs::create_directories(album / "sub");
    fs::create_directory_symlink("..", album / "sub" / "up");
    fs::create_symlink("b.jpg", album / "a.jpg");
    fs::create_symlink("a.jpg", album / "b.jpg");
    fs::create_symlink(folder / "elsewhere" / "target.jpg", album / "link.jpg");
    options.processSubFolders = true;
    const RunResult result = Run();

    EXPECT_EQ(result.status, RunStatus::Completed);
    EXPECT_EQ(result.fileCount, 4u) << "photo, the two looping links and the link";
    EXPECT_EQ(fs::read_symlink(album / "a.jpg"), "b.jpg");
    EXPECT_EQ(fs::read_symlink(album / "b.jpg"), "a.jpg");
    EXPECT_TRUE(fs::is_symlink(album / "link.jpg"));
    EXPECT_EQ(testing::DecodedSize(folder / "elsewhere" / "target.jpg"), Fitted);
    EXPECT_EQ(testing::DecodedSize(album / "photo.jpg"), Fitted);
}

TEST_F(MovingFolder, BothNamesOfAHardLinkedPictureSeeTheNewImage) {
    Draw(album / "first.jpg");
    fs::create_directories(album / "sub");
    fs::create_hard_link(album / "first.jpg", album / "sub" / "second.jpg");
    const auto before = testing::StatOf(album / "first.jpg");
    options.processSubFolders = true;
    const RunResult result = Run();

    EXPECT_EQ(OutcomeOf("first.jpg"), FileOutcome::Resized);
    EXPECT_EQ(OutcomeOf("second.jpg"), FileOutcome::SmallEnough);
    EXPECT_EQ(testing::DecodedSize(album / "sub" / "second.jpg"), Fitted);
    const auto after = testing::StatOf(album / "sub" / "second.jpg");
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_nlink, 2u);
    const std::string log = ReadBytes(album / ProcessingLog::FileName);
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 3) << log;
}

} // namespace
} // namespace kovi
