// The listing scan over real files: which rows, what counts, and that nothing is touched.
#include "listing/ListingScan.h"

#include "tests/support/TempFolder.h"
#include "tests/support/TestImages.h"

#include <gtest/gtest.h>

namespace kovi {
namespace {

namespace fs = std::filesystem;
using testing::ColourRamp;
using testing::GreyRamp;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

class ListingScan : public ::testing::Test {
protected:
    void Draw(const char* name, int width, int height) {
        ColourRamp(width, height).write_to_file((folder / name).c_str());
    }

    ListingResult Scan(const std::string& target = "640x480", bool subFolders = false) {
        rows.clear();
        ListingCallbacks callbacks;
        callbacks.row = [this](const ListingRow& row) {
            rows.push_back(row);
        };
        callbacks.fileStarted = [this](std::size_t index, std::size_t count) {
            captions.push_back(std::to_string(index + 1) + " of " + std::to_string(count));
            if (stopAfter && index == *stopAfter)
                abortRequested = true;
        };
        return BuildDetailedListing(folder.path(), target, subFolders, abortRequested, callbacks);
    }

    TempFolder folder;
    std::atomic<bool> abortRequested{false};
    std::vector<ListingRow> rows;
    std::vector<std::string> captions;
    std::optional<std::size_t> stopAfter;
};

TEST_F(ListingScan, ListsReadableImagesAndCountsThoseTheTargetWouldShrink) {
    Draw("a-exact.png", 640, 480);
    Draw("b-wider.jpg", 641, 480);
    Draw("c-taller.png", 640, 481);
    Draw("d-tall.gif", 100, 2000);
    Draw("e-small.jpg", 320, 240);
    WriteBytes(folder / "f-notes.txt", "text among the images");
    GreyRamp(50, 40).write_to_file((folder / "g-grey.webp").c_str());
    WriteBytes(folder / "h-empty.jpg", "");
    const ListingResult result = Scan();

    EXPECT_EQ(result.status, ListingStatus::Completed);
    EXPECT_EQ(result.fileCount, 8u);
    EXPECT_EQ(result.rowCount, 6u);
    EXPECT_EQ(result.wouldBeProcessed, 3);
    ASSERT_EQ(rows.size(), 6u);
    std::int64_t total = 0;
    for (const auto& row : rows)
        total += row.fileBytes;
    EXPECT_EQ(result.totalBytes, total);
    EXPECT_EQ(captions.back(), "8 of 8") << "every collected file counts in the caption";

    EXPECT_EQ(rows[0].path, folder / "a-exact.png");
    EXPECT_EQ(rows[0].fileBytes, static_cast<std::int64_t>(fs::file_size(folder / "a-exact.png")));
    EXPECT_EQ(std::tuple(rows[0].width, rows[0].height, rows[0].format, rows[0].colours,
                         rows[0].bitsPerPixel),
              std::tuple(640, 480, std::string("PNG"), std::int64_t{16777216}, 24));
    EXPECT_EQ(rows[1].format, "JPG");
    EXPECT_EQ(rows[3].format, "GIF");
    EXPECT_EQ(rows[5].path, folder / "g-grey.webp");
    EXPECT_EQ(rows[5].format, "") << "a format without a name in the table lists empty";
}

TEST_F(ListingScan, TouchesNothing) {
    Draw("a.jpg", 1600, 1200);
    const std::string before = ReadBytes(folder / "a.jpg");
    Scan();
    EXPECT_EQ(ReadBytes(folder / "a.jpg"), before);
    EXPECT_FALSE(fs::exists(folder / "kovilog.txt"));
}

TEST_F(ListingScan, AStopEndsTheScanBeforeTheNextFile) {
    for (const char* name : {"a.png", "b.png", "c.png", "d.png", "e.png"})
        Draw(name, 800, 600);
    stopAfter = 1;
    const ListingResult result = Scan();
    EXPECT_EQ(result.status, ListingStatus::Aborted);
    EXPECT_EQ(result.rowCount, 2u);
    EXPECT_EQ(rows.size(), 2u);
    EXPECT_EQ(result.wouldBeProcessed, 2);
    EXPECT_EQ(
        ListingSummaryText(result, ","), "Total image bytes: " + [&] {
            std::string text = std::to_string(result.totalBytes);
            for (auto at = text.size(); at > 3; at -= 3)
                text.insert(at - 3, ",");
            return text;
        }() + "\r\nWould be processed by current resolution: 2");
}

TEST_F(ListingScan, NothingToListAndNothingCounted) {
    EXPECT_EQ(Scan().status, ListingStatus::NoFiles);
    Draw("a.png", 100, 100);
    EXPECT_EQ(Scan("axb").status, ListingStatus::InvalidTarget);
    const ListingResult small = Scan();
    EXPECT_EQ(small.wouldBeProcessed, 0);
    EXPECT_EQ(ListingSummaryText(small, ",").substr(ListingSummaryText(small, ",").find("\r\n")),
              "\r\nWould be processed by current resolution: ");
}

} // namespace
} // namespace kovi
