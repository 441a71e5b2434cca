// The listing below its window: the scan over real files (which rows, what counts, that nothing
// is touched and a stop ends it) and the bytes of its export.
#include "core/listing/ListingScan.h"
#include "core/listing/ListingExport.h"

#include "tests/support/TempFolder.h"
#include "tests/support/TestImages.h"

#include <gtest/gtest.h>

namespace kovi {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::WriteBytes;

class ListingScan : public ::testing::Test {
protected:
    void Draw(const char* name, int width, int height) {
        testing::ColourRamp(width, height).write_to_file((folder / name).c_str());
    }
    ListingResult Scan() {
        ListingCallbacks callbacks;
        callbacks.row = [this](const ListingRow& row) {
            rows.push_back(row);
        };
        callbacks.fileStarted = [this](std::size_t index, std::size_t) {
            abortRequested = abortRequested || index == stopAt;
        };
        return BuildDetailedListing(folder.path(), {640, 480}, false, abortRequested, callbacks);
    }

    testing::TempFolder folder;
    std::atomic<bool> abortRequested{false};
    std::vector<ListingRow> rows;
    std::size_t stopAt = 100;
};

TEST_F(ListingScan, ListsReadableImagesCountsThoseTheTargetWouldShrinkAndTouchesNothing) {
    Draw("a-exact.png", 640, 480);
    Draw("b-wider.jpg", 641, 480);
    Draw("c-taller.png", 640, 481);
    Draw("d-tall.gif", 100, 2000);
    Draw("e-small.jpg", 320, 240);
    WriteBytes(folder / "f-notes.txt", "text among the images");
    testing::GreyRamp(50, 40).write_to_file((folder / "g-grey.webp").c_str());
    WriteBytes(folder / "h-empty.jpg", "");
    const std::string before = ReadBytes(folder / "b-wider.jpg");
    const ListingResult result = Scan();

    EXPECT_EQ(result.status, ListingStatus::Completed);
    EXPECT_EQ(std::tuple(result.fileCount, result.rowCount, result.wouldBeProcessed),
              std::tuple(8u, 6u, 3));
    ASSERT_EQ(rows.size(), 6u);
    std::int64_t total = 0;
    for (const auto& row : rows)
        total += row.fileBytes;
    EXPECT_EQ(result.totalBytes, total);
    EXPECT_EQ(std::tuple(rows[0].path, rows[0].fileBytes, rows[0].width, rows[0].height,
                         rows[0].format, rows[0].colours, rows[0].bitsPerPixel),
              std::tuple(folder / "a-exact.png",
                         static_cast<std::int64_t>(fs::file_size(folder / "a-exact.png")), 640, 480,
                         std::string("PNG"), std::int64_t{16777216}, 24));
    EXPECT_EQ(std::tuple(rows[1].format, rows[3].format, rows[3].height, rows[5].format),
              std::tuple(std::string("JPG"), std::string("GIF"), 2000, std::string()))
        << "a format without a name in the table lists empty";
    EXPECT_EQ(ReadBytes(folder / "b-wider.jpg"), before);
    EXPECT_FALSE(fs::exists(folder / "kovilog.txt"));
}

TEST_F(ListingScan, AStopEndsTheScanBeforeTheNextFile) {
    for (const char* name : {"a.png", "b.png", "c.png", "d.png", "e.png"})
        Draw(name, 800, 600);
    stopAt = 1; // asked while the second file is read
    const ListingResult result = Scan();
    EXPECT_EQ(result.status, ListingStatus::Aborted);
    EXPECT_EQ(std::tuple(result.rowCount, rows.size(), result.wouldBeProcessed),
              std::tuple(2u, 2u, 2));
}

// Cells are joined as they are, but for one that holds a comma or a quote, and a format without a
// name is left empty.
TEST(ListingExport, WritesTheHeaderThenRowsUpToTheFirstEmptyPathOverAnEarlierFile) {
    testing::TempFolder folder;
    const auto file = folder / "listing.csv";
    WriteBytes(file, "an earlier export that was much longer than the new one\r\n");
    ASSERT_FALSE(
        WriteListingExport(file, {{"/p/a.jpg", "10", "2", "3", "JPG", "16777216", "24"},
                                  {"/p/b,\"c\".webp", "20", "4", "5", "", "256", "8"},
                                  std::vector<std::string>(7),
                                  {"/p/after-the-end.gif", "1", "1", "1", "GIF", "2", "1"}}));
    EXPECT_EQ(ReadBytes(file),
              "FILENAME,FILESIZE,XRES,YRES,FORMAT,COLOURS,BPP\r\n"
              "/p/a.jpg,10,2,3,JPG,16777216,24\r\n\"/p/b,\"\"c\"\".webp\",20,4,5,,256,8\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1)
        << "nothing is left beside the export";
    EXPECT_TRUE(WriteListingExport(folder / "missing" / "listing.csv", {}));
    fs::create_directory(folder / "a-folder.csv");
    EXPECT_TRUE(WriteListingExport(folder / "a-folder.csv", {}));
    EXPECT_TRUE(fs::is_directory(folder / "a-folder.csv"));
}

} // namespace
} // namespace kovi
