#include "engine/ProcessingLog.h"
#include "engine/TargetCollection.h"

#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace kovi {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

// The collected paths relative to the folder, so the expectations read as a listing.
std::vector<std::string> Relative(const std::vector<fs::path>& paths, const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& path : paths)
        names.push_back(path.lexically_relative(folder).string());
    return names;
}

class Collection : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* file : {"b.jpg", "a.jpg", ".hidden.png", "sub2/z.gif", "sub2/deep/y.png",
                                 "sub1/c.jpg", ".git/config", "B.JPG"})
            Touch(file);
    }
    void Touch(const fs::path& relative) {
        fs::create_directories((folder / relative).parent_path());
        WriteBytes(folder / relative, "x");
    }
    TempFolder folder;
};

TEST_F(Collection, OwnFilesBeforeSubFoldersEachInNameOrder) {
    const std::vector<std::string> expected{".hidden.png", "B.JPG",      "a.jpg",          "b.jpg",
                                            "sub1/c.jpg",  "sub2/z.gif", "sub2/deep/y.png"};
    EXPECT_EQ(Relative(CollectTargetFiles(folder.path(), true), folder.path()), expected);
    EXPECT_EQ(Relative(CollectTargetFiles(folder.path(), true), folder.path()), expected)
        << "a second collection";
}

TEST_F(Collection, WithoutRecursionOnlyTheFolderItself) {
    EXPECT_EQ(Relative(CollectTargetFiles(folder.path(), false), folder.path()),
              (std::vector<std::string>{".hidden.png", "B.JPG", "a.jpg", "b.jpg"}));
}

TEST_F(Collection, LinksToFilesAreTakenLinksToFoldersAreNotFollowed) {
    fs::create_directory_symlink(folder.path(), folder / "sub1" / "loop");
    fs::create_symlink(folder / "a.jpg", folder / "sub1" / "link.jpg");
    fs::create_symlink(folder / "gone.jpg", folder / "sub1" / "dangling.jpg");
    EXPECT_EQ(Relative(CollectTargetFiles(folder / "sub1", true), folder / "sub1"),
              (std::vector<std::string>{"c.jpg", "dangling.jpg", "link.jpg"}));
}

TEST_F(Collection, PipesAreNotTaken) {
    ASSERT_EQ(mkfifo((folder / "sub1" / "pipe.jpg").c_str(), 0600), 0);
    EXPECT_EQ(Relative(CollectTargetFiles(folder / "sub1", false), folder / "sub1"),
              (std::vector<std::string>{"c.jpg"}));
}

TEST_F(Collection, NothingFromPlacesThatAreNoFolder) {
    EXPECT_TRUE(CollectTargetFiles(folder / "missing", true).empty());
    EXPECT_TRUE(CollectTargetFiles(folder / "a.jpg", true).empty());
    EXPECT_TRUE(CollectTargetFiles("My Computer", true).empty());
    EXPECT_TRUE(CollectTargetFiles("", true).empty());
}

TEST_F(Collection, RootGetsNoSecondSlash) {
    for (const auto& path : CollectTargetFiles("/", false))
        EXPECT_NE(path.string().rfind("//", 0), 0u) << path;
}

TEST(ProcessingLog, HeaderRowsAndTotalsWithCrLf) {
    TempFolder folder;
    ProcessingLog log;
    ASSERT_FALSE(log.open(folder.path()));
    EXPECT_EQ(log.path(), folder / "kovilog.txt");
    const auto image = folder / "a, b.jpg";
    ASSERT_FALSE(log.writeRow(image, {1600, 1200, 512000}, {640, 480, 61234}));
    ASSERT_FALSE(log.writeTotals(512000, 61234));
    ASSERT_FALSE(log.close());
    EXPECT_EQ(ReadBytes(folder / "kovilog.txt"),
              "Filename,Before_X,Before_Y,Before_Bytes,After_X,After_Y,After_Bytes\r\n" +
                  image.string() + ",1600,1200,512000,640,480,61234\r\n512000,61234\r\n");
}

TEST(ProcessingLog, OpeningEmptiesAnEarlierLogAndTotalsGoBeyondThirtyTwoBits) {
    TempFolder folder;
    WriteBytes(folder / "kovilog.txt", "an earlier run\r\n1,2\r\n");
    ProcessingLog log;
    ASSERT_FALSE(log.open(folder.path()));
    ASSERT_FALSE(log.writeTotals(5000000000, 3000000000));
    ASSERT_FALSE(log.close());
    EXPECT_EQ(ReadBytes(folder / "kovilog.txt"),
              "Filename,Before_X,Before_Y,Before_Bytes,After_X,After_Y,After_Bytes\r\n"
              "5000000000,3000000000\r\n");
}

TEST(ProcessingLog, AFolderThatIsMissingGivesAnError) {
    TempFolder folder;
    ProcessingLog log;
    EXPECT_TRUE(log.open(folder / "missing"));
    EXPECT_FALSE(log.isOpen());
    EXPECT_TRUE(log.writeTotals(0, 0));
}

} // namespace
} // namespace kovi
