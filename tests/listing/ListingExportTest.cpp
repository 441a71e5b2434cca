#include "listing/ListingExport.h"
#include "listing/FormatNames.h"

#include "tests/support/CaseName.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

namespace kovi {
namespace {

using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;
using Cells = std::vector<std::string>;

struct LineCase {
    const char* name;
    Cells cells;
    const char* line;
};

class ExportLines : public ::testing::TestWithParam<LineCase> {};

TEST_P(ExportLines, JoinCellsWithoutQuoting) {
    EXPECT_EQ(ExportLine(GetParam().cells), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExportLines,
    ::testing::Values(LineCase{"full_row",
                               {"/p/a.jpg", "1234", "640", "480", "JPG", "16777216", "24"},
                               "/p/a.jpg,1234,640,480,JPG,16777216,24"},
                      LineCase{"comma_in_path_unquoted",
                               {"/p/a,b.jpg", "1", "2", "3", "PNG", "256", "8"},
                               "/p/a,b.jpg,1,2,3,PNG,256,8"},
                      LineCase{"empty_format_in_the_middle",
                               {"/p/a.webp", "1", "2", "3", "", "16777216", "24"},
                               "/p/a.webp,1,2,3,,16777216,24"},
                      LineCase{"empty_last_cell", {"a", "b", ""}, "a,b,"},
                      LineCase{"leading_empty_cells_add_nothing", {"", "", "x", "", "y"}, "x,,y"},
                      LineCase{"all_empty", {"", "", ""}, ""}, LineCase{"no_cells", {}, ""},
                      LineCase{"quotes_kept_as_they_are", {"/p/\"q\".jpg", "1"}, "/p/\"q\".jpg,1"}),
    [](const auto& info) { return info.param.name; });

TEST(ListingExport, HeaderThenRowsUpToTheFirstEmptyPath) {
    const std::vector<Cells> rows{{"/p/a.jpg", "10", "2", "3", "JPG", "16777216", "24"},
                                  {"/p/b,c.png", "20", "4", "5", "PNG", "256", "8"},
                                  {"", "", "", "", "", "", ""},
                                  {"/p/after-the-end.gif", "1", "1", "1", "GIF", "2", "1"}};
    EXPECT_EQ(ListingExportText(rows), "FILENAME,FILESIZE,XRES,YRES,FORMAT,COLOURS,BPP\r\n"
                                       "/p/a.jpg,10,2,3,JPG,16777216,24\r\n"
                                       "/p/b,c.png,20,4,5,PNG,256,8\r\n");
    EXPECT_EQ(ListingExportText({}), "FILENAME,FILESIZE,XRES,YRES,FORMAT,COLOURS,BPP\r\n");
}

TEST(ListingExport, WritingReplacesAnEarlierFile) {
    TempFolder folder;
    const auto file = folder / "listing.csv";
    WriteBytes(file, "an earlier export that was much longer than the new one\r\n");
    ASSERT_FALSE(WriteListingExport(file, {{"/p/a.jpg", "1", "2", "3", "JPG", "4", "5"}}));
    EXPECT_EQ(ReadBytes(file), "FILENAME,FILESIZE,XRES,YRES,FORMAT,COLOURS,BPP\r\n"
                               "/p/a.jpg,1,2,3,JPG,4,5\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(ListingExport, AFileThatCannotBeWrittenGivesAnError) {
    TempFolder folder;
    EXPECT_TRUE(WriteListingExport(folder / "missing" / "listing.csv", {}));
    std::filesystem::create_directory(folder / "a-folder.csv");
    EXPECT_TRUE(WriteListingExport(folder / "a-folder.csv", {}));
    EXPECT_TRUE(std::filesystem::is_directory(folder / "a-folder.csv"));
}

struct NameCase {
    int code;
    const char* name;
};

class FormatName : public ::testing::TestWithParam<NameCase> {};

TEST_P(FormatName, NamesTheCodesOfTheTable) {
    EXPECT_EQ(GetFormatName(GetParam().code), GetParam().name) << "code " << GetParam().code;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormatName,
    ::testing::Values(NameCase{1, "TGA"}, NameCase{2, "PCX"}, NameCase{3, "GIF"},
                      NameCase{4, "TIF"}, NameCase{13, "TIF"}, NameCase{19, "TIF"},
                      NameCase{26, "TIF"}, NameCase{5, "BMP"}, NameCase{6, "WPG"},
                      NameCase{7, "WMF"}, NameCase{8, "JPG"}, NameCase{11, "JPG"},
                      NameCase{31, "JPG"}, NameCase{9, "PIC"}, NameCase{10, "PNG"},
                      NameCase{12, "RLE"}, NameCase{20, "ICO"}, NameCase{21, "PPM"},
                      NameCase{22, "PGM"}, NameCase{23, "PBM"}, NameCase{24, "DCX"},
                      NameCase{25, "EPIC"}, NameCase{27, "EXIF"}, NameCase{28, "EXIF"},
                      NameCase{29, "LJP"}, NameCase{30, "PEPIC"}, NameCase{32, "MOD:CA"},
                      NameCase{33, "CALS"}, NameCase{34, "PDF"}, NameCase{35, "EPS"},
                      NameCase{36, "JP2"}, NameCase{37, "WSQ"}, NameCase{38, "JLS"},
                      NameCase{0, ""}, NameCase{-1, ""}, NameCase{39, ""}, NameCase{99, ""}));

} // namespace
} // namespace kovi
