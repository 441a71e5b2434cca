// Replacing a file: through a temporary file beside it, so that a failure never leaves a
// half-written or lost image; links, modes and owners survive; stale temporary files go.
#include <cstdlib>
#include <functional>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/ImagingControl.h"
#include "engine/SafeReplace.h"
#include "tests/support/CaseName.h"
#include "tests/support/CraftedFiles.h"
#include "tests/support/DiskSpace.h"
#include "tests/support/FileAccess.h"
#include "tests/support/Mount.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestImages.h"

namespace kovi {
namespace {

using testing::CaseName;
using testing::ColourRamp;
using testing::Mount;
using vips::VImage;

int EntriesIn(const std::filesystem::path& folder) {
    return static_cast<int>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

// Resizes the image at `path` to half its size and saves it over itself.
bool ShrinkInPlace(const std::filesystem::path& path, std::string* error = nullptr) {
    ImagingControl control;
    control.SetLoadPath(path);
    if (!control.ResizeImage(std::max(1, control.ImageWidth() / 2),
                             std::max(1, control.ImageHeight() / 2)))
        return false;
    control.SetSavePath(path);
    const bool saved = control.SaveImage();
    if (error != nullptr)
        *error = control.LastError();
    return saved;
}

struct NameCase {
    const char* name;
    const char* fileName;
    bool temporary;
};

const NameCase kNameCases[] = {
    {"the pattern", ".kovi-rzk-Ab3dE6f7.tmp", true},
    {"digits only", ".kovi-rzk-01234567.tmp", true},
    {"seven letters", ".kovi-rzk-Ab3dE6f.tmp", false},
    {"nine letters", ".kovi-rzk-Ab3dE6f7X.tmp", false},
    {"other suffix", ".kovi-rzk-Ab3dE6f7.tmp2", false},
    {"no leading dot", "kovi-rzk-Ab3dE6f7.tmp", false},
    {"punctuation inside", ".kovi-rzk-Ab3d-6f7.tmp", false},
    {"an image", "photo.jpg", false},
    {"an image named like the prefix", ".kovi-rzk-holiday.jpg", false},
    {"copy into an inode", ".kovi-rzk-Ab3dE6f7-1234567.tmp", true},
    {"dash without an inode", ".kovi-rzk-Ab3dE6f7-.tmp", false},
    {"inode with letters", ".kovi-rzk-Ab3dE6f7-12a4.tmp", false},
    {"inode with a sign", ".kovi-rzk-Ab3dE6f7-+12.tmp", false},
    {"empty", "", false},
};

class TemporaryNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(TemporaryNameTest, RecognisesOnlyThePattern) {
    EXPECT_EQ(IsTemporaryFileName(GetParam().fileName), GetParam().temporary);
}

INSTANTIATE_TEST_SUITE_P(Names, TemporaryNameTest, ::testing::ValuesIn(kNameCases), CaseName{});

TEST(SafeReplaceTest, TheTemporaryFileLivesBesideTheTargetAndGoesUncommitted) {
    testing::TempFolder folder;
    testing::WriteBytes(folder / "photo.jpg", "original");
    std::string error;
    {
        const auto file = ReplacementFile::create(folder / "photo.jpg", error);
        ASSERT_TRUE(file) << error;
        EXPECT_EQ(file->temporaryPath().parent_path(), folder.path());
        EXPECT_TRUE(IsTemporaryFileName(file->temporaryPath().filename().string()));
        EXPECT_TRUE(std::filesystem::exists(file->temporaryPath()));
        ASSERT_TRUE(file->write("new", 3));
    }
    EXPECT_EQ(EntriesIn(folder.path()), 1);
    EXPECT_EQ(testing::ReadBytes(folder / "photo.jpg"), "original");
}

TEST(SafeReplaceTest, RemovesStaleTemporaryFilesButNotOneBeingWritten) {
    testing::TempFolder folder;
    testing::WriteBytes(folder / ".kovi-rzk-Stale001.tmp", "left by a killed run");
    testing::WriteBytes(folder / "photo.jpg", "an image");
    std::filesystem::create_directory(folder / ".kovi-rzk-Folder01.tmp");
    std::string error;
    const auto live = ReplacementFile::create(folder / "other.jpg", error);
    ASSERT_TRUE(live);

    EXPECT_EQ(RemoveStaleTemporaryFiles(folder.path()), 1);
    EXPECT_FALSE(std::filesystem::exists(folder / ".kovi-rzk-Stale001.tmp"));
    EXPECT_TRUE(std::filesystem::exists(live->temporaryPath()));
    EXPECT_TRUE(std::filesystem::exists(folder / "photo.jpg"));
    EXPECT_TRUE(std::filesystem::exists(folder / ".kovi-rzk-Folder01.tmp"));
}

TEST(SafeReplaceTest, ASymbolicLinkStaysALinkAndItsTargetIsReplaced) {
    testing::TempFolder folder;
    std::filesystem::create_directory(folder / "originals");
    const auto target = folder / "originals" / "photo.jpg";
    ColourRamp(400, 300).jpegsave(target.c_str());
    const auto link = folder / "photo.jpg";
    std::filesystem::create_symlink("originals/photo.jpg", link);

    ASSERT_TRUE(ShrinkInPlace(link));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(std::filesystem::read_symlink(link), "originals/photo.jpg");
    EXPECT_EQ(testing::Reload(target).header.width(), 200);
    EXPECT_EQ(EntriesIn(folder.path()), 2);
    EXPECT_EQ(EntriesIn(folder / "originals"), 1);
}

TEST(SafeReplaceTest, EveryHardLinkSeesTheNewImage) {
    testing::TempFolder folder;
    const auto first = folder / "first.png";
    const auto second = folder / "second.png";
    ColourRamp(400, 300).pngsave(first.c_str());
    std::filesystem::create_hard_link(first, second);
    const auto before = testing::StatOf(first);

    ASSERT_TRUE(ShrinkInPlace(first));
    EXPECT_EQ(testing::Reload(second).header.width(), 200);
    const auto after = testing::StatOf(second);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_nlink, 2u);
    EXPECT_EQ(after.st_size, static_cast<off_t>(std::filesystem::file_size(first)));
    EXPECT_EQ(EntriesIn(folder.path()), 2);
}

class ModeTest : public ::testing::TestWithParam<mode_t> {};

TEST_P(ModeTest, TheNewFileKeepsTheModeBits) {
    testing::TempFolder folder;
    const auto path = folder / "photo.jpg";
    ColourRamp(400, 300).jpegsave(path.c_str());
    ASSERT_EQ(::chmod(path.c_str(), GetParam()), 0);

    ASSERT_TRUE(ShrinkInPlace(path));
    EXPECT_EQ(testing::StatOf(path).st_mode & 07777, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Modes, ModeTest, ::testing::Values(0644, 0600, 0640, 0755, 0444, 0604));

TEST(SafeReplaceTest, TheNewFileKeepsOwnerAndGroupWherePermitted) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root may give a file away to test this";
    testing::TempFolder folder;
    const auto path = folder / "photo.jpg";
    ColourRamp(400, 300).jpegsave(path.c_str());
    ASSERT_EQ(::chown(path.c_str(), 1234, 5678), 0);

    ASSERT_TRUE(ShrinkInPlace(path));
    const auto info = testing::StatOf(path);
    EXPECT_EQ(info.st_uid, 1234u);
    EXPECT_EQ(info.st_gid, 5678u);
}

TEST(SafeReplaceTest, ANewFileGetsTheModeTheUmaskAllows) {
    testing::TempFolder folder;
    const auto source = folder / "photo.jpg";
    ColourRamp(40, 30).jpegsave(source.c_str());
    const mode_t saved = ::umask(027);

    ImagingControl control;
    control.SetLoadPath(source);
    control.SetSavePath(folder / "copy.jpg");
    const bool written = control.SaveImage();
    ::umask(saved);
    ASSERT_TRUE(written) << control.LastError();
    EXPECT_EQ(testing::StatOf(folder / "copy.jpg").st_mode & 07777, 0640u);
}

TEST(SafeReplaceTest, ANameOfTheLongestLengthStillWorks) {
    testing::TempFolder folder;
    const auto path = folder / (std::string(251, 'n') + ".jpg");
    ColourRamp(400, 300).jpegsave(path.c_str());

    ASSERT_TRUE(ShrinkInPlace(path));
    EXPECT_EQ(testing::Reload(path).header.width(), 200);
    EXPECT_EQ(EntriesIn(folder.path()), 1);
}

TEST(SafeReplaceTest, AReadOnlyFolderLeavesTheOriginalUntouched) {
    testing::TempFolder folder;
    const auto album = folder / "album";
    std::filesystem::create_directory(album);
    const auto path = album / "photo.jpg";
    ColourRamp(400, 300).jpegsave(path.c_str());
    const std::string before = testing::ReadBytes(path);
    Mount mount(album);
    if (!mount.readOnly())
        GTEST_SKIP() << "cannot mount the folder read-only here (needs root and mount)";

    std::string error;
    EXPECT_FALSE(ShrinkInPlace(path, &error));
    EXPECT_NE(error.find("Read-only file system"), std::string::npos) << error;
    EXPECT_EQ(testing::ReadBytes(path), before);
    EXPECT_EQ(EntriesIn(album), 1);
}

struct FullDiskCase {
    const char* name;
    const char* file;
};

const FullDiskCase kFullDiskCases[] = {
    {"jpeg", "photo.jpg"}, {"png", "picture.png"}, {"pgm", "scan.pgm"}, {"bmp", "picture.bmp"}};

class FullDiskTest : public ::testing::TestWithParam<FullDiskCase> {};

TEST_P(FullDiskTest, AFullDiskLeavesTheOriginalUntouched) {
    testing::TempFolder folder;
    const auto disk = folder / "disk";
    std::filesystem::create_directory(disk);
    Mount mount(disk);
    if (!mount.smallTmpfs("1m"))
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root and mount)";
    const auto path = disk / GetParam().file;
    const VImage image = ColourRamp(300, 200);
    testing::SaveAs(path.extension() == ".pgm" ? image[0] : image, path);
    const std::string before = testing::ReadBytes(path);
    testing::FillDisk(disk / "filler");

    std::string error;
    EXPECT_FALSE(ShrinkInPlace(path, &error));
    EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
    EXPECT_EQ(testing::ReadBytes(path), before);
    EXPECT_EQ(EntriesIn(disk), 2);
}

INSTANTIATE_TEST_SUITE_P(Formats, FullDiskTest, ::testing::ValuesIn(kFullDiskCases), CaseName{});

using testing::Encoded;

// A PNG that announces an animation (acTL) before its image data, as an APNG does.
std::string AnimatedPng() {
    const std::string png = Encoded(ColourRamp(40, 30), ".png");
    const std::string animationControl("\0\0\0\x08"
                                       "acTL\0\0\0\x02\0\0\0\0\x11\x22\x33\x44",
                                       20);
    const std::size_t afterHeader = 8 + 25;
    return png.substr(0, afterHeader) + animationControl + png.substr(afterHeader);
}

// An AVIF whose file type box names it an image sequence.
std::string AvifSequence() {
    std::string avif = Encoded(ColourRamp(40, 30), ".avif");
    const auto brand = avif.find("miaf");
    return brand == std::string::npos ? avif : avif.replace(brand, 4, "avis");
}

struct RefusedCase {
    const char* name;
    const char* file;
    std::function<std::string()> bytes;
    int typeCode;
    const char* reason;
};

const RefusedCase kRefusedCases[] = {
    {"svg has no writer", "drawing.svg",
     [] {
         return std::string(
             "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"400\" height=\"300\">"
             "<rect width=\"400\" height=\"300\" fill=\"red\"/></svg>\n");
     },
     43, "SVG files cannot be written"},
    {"icon file of several sizes", "icons.ico",
     [] {
         return Encoded(testing::Animation({ColourRamp(32, 32, 4), ColourRamp(32, 32, 4)}, 0),
                        ".bmp", VImage::option()->set("format", "ICO"));
     },
     20, "holds 2 images"},
    {"animated png", "animated.png", AnimatedPng, 10, "animation"},
    {"avif image sequence", "sequence.avif", AvifSequence, 41, "animation"},
};

class RefusedTest : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedTest, IsMeasuredButNeverWritten) {
    const RefusedCase& c = GetParam();
    testing::TempFolder folder;
    const auto path = folder / c.file;
    const std::string bytes = c.bytes();
    testing::WriteBytes(path, bytes);

    ImagingControl control;
    control.SetLoadPath(path);
    ASSERT_EQ(control.FileTypeCode(), c.typeCode);
    EXPECT_FALSE(control.CanSave());
    control.ResizeImage(std::max(1, control.ImageWidth() / 2),
                        std::max(1, control.ImageHeight() / 2));
    control.SetSavePath(path);
    EXPECT_FALSE(control.SaveImage());
    EXPECT_NE(control.LastError().find(c.reason), std::string::npos) << control.LastError();
    EXPECT_EQ(testing::ReadBytes(path), bytes);
    EXPECT_EQ(EntriesIn(folder.path()), 1);
}

INSTANTIATE_TEST_SUITE_P(Files, RefusedTest, ::testing::ValuesIn(kRefusedCases), CaseName{});

TEST(SafeReplaceTest, SavingOverAFolderFails) {
    testing::TempFolder folder;
    const auto path = folder / "photo.jpg";
    ColourRamp(40, 30).jpegsave(path.c_str());
    std::filesystem::create_directory(folder / "album");

    ImagingControl control;
    control.SetLoadPath(path);
    control.SetSavePath(folder / "album");
    EXPECT_FALSE(control.SaveImage());
    EXPECT_TRUE(std::filesystem::is_directory(folder / "album"));
    EXPECT_EQ(EntriesIn(folder.path()), 2);
}

} // namespace
} // namespace kovi
