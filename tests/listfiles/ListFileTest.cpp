#include "core/listfiles/ListFile.h"

#include "tests/support/CaseName.h"
#include "tests/support/Mount.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

namespace kovi {
namespace {

using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;
using Entries = std::vector<std::string>;

struct SplitCase {
    const char* name;
    std::string text;
    Entries entries;
};

class SplitListText : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitListText, GivesEntriesInFileOrder) {
    EXPECT_EQ(kovi::SplitListText(GetParam().text), GetParam().entries);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitListText,
    ::testing::Values(
        SplitCase{"empty_file", "", {}},
        SplitCase{"crlf_lines", "640x480\r\n800x600\r\n", {"640x480", "800x600"}},
        SplitCase{"cr_only_lines", "BMP\rGIF\r", {"BMP", "GIF"}},
        SplitCase{"missing_final_line_end", "BMP\r\nGIF", {"BMP", "GIF"}},
        SplitCase{"blank_line_inside_file", "a\r\n\r\nb\r\n", {"a", "", "b"}},
        SplitCase{"only_a_blank_line", "\r\n", {""}},
        SplitCase{"mixed_line_ends", "a\nb\r\nc\rd", {"a", "b", "c", "d"}},
        SplitCase{"blanks_kept", " 800 x600 \r\n", {" 800 x600 "}},
        SplitCase{"nul_byte_inside_entry", std::string("a\0b\r\n", 5), {std::string("a\0b", 3)}},
        SplitCase{"ten_megabyte_line",
                  std::string(10 << 20, 'z') + "\rPNG",
                  {std::string(10 << 20, 'z'), "PNG"}}),
    testing::CaseName{});

TEST(ListFile, AppendCreatesTheFileAndEndsEveryLineWithCrLf) {
    TempFolder folder;
    const auto file = folder / "custom.dat";
    ASSERT_FALSE(AppendEntry(file, "1024x768"));
    ASSERT_FALSE(AppendEntry(file, "1024x768"));
    ASSERT_FALSE(AppendEntry(file, "Ärger x"));
    EXPECT_EQ(ReadBytes(file), "1024x768\r\n1024x768\r\nÄrger x\r\n");
    EXPECT_EQ(LoadList(file), (Entries{"1024x768", "1024x768", "Ärger x"}));
}

// A hand-edited file may end without a line end; a lone CR or LF is one.
TEST(ListFile, AppendAfterALastLineWithoutLineEndStartsANewLine) {
    TempFolder folder;
    const auto file = folder / "exts.dat";
    for (const auto& [before, after] : {std::pair{"BMP", "BMP\r\nGIF\r\n"},
                                        {"BMP\r", "BMP\rGIF\r\n"},
                                        {"BMP\n", "BMP\nGIF\r\n"}}) {
        WriteBytes(file, before);
        ASSERT_FALSE(AppendEntry(file, "GIF"));
        EXPECT_EQ(ReadBytes(file), after) << before;
        EXPECT_EQ(LoadList(file), (Entries{"BMP", "GIF"})) << before;
    }
}

TEST(ListFile, RewriteOfAnEmptyListLeavesAnEmptyFile) {
    TempFolder folder;
    const auto file = folder / "exflds.dat";
    WriteBytes(file, "/a\r\n/b\r\n");
    ASSERT_FALSE(RewriteList(file, {"/b", ""}));
    EXPECT_EQ(ReadBytes(file), "/b\r\n\r\n");
    ASSERT_FALSE(RewriteList(file, {}));
    EXPECT_EQ(std::filesystem::file_size(file), 0u) << "the file stays, empty";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(ListFile, RewriteThatCannotWriteKeepsTheOldList) {
    TempFolder folder;
    const auto file = folder / "custom.dat";
    WriteBytes(file, "640x480\r\n");
    testing::Mount mount(folder.path());
    if (!mount.readOnly())
        GTEST_SKIP() << "cannot mount the folder read-only here (needs root and mount)";
    EXPECT_TRUE(RewriteList(file, {}));
    EXPECT_TRUE(AppendEntry(file, "800x600"));
    EXPECT_EQ(LoadList(file), (Entries{"640x480"}));
}

TEST(ListFile, DeleteRemovesAReadOnlyFileAndAMissingOneOrAFolderInItsPlaceIsAnEmptyList) {
    TempFolder folder;
    const auto file = folder / "exts.dat";
    WriteBytes(file, "BMP\r\n");
    std::filesystem::permissions(file, std::filesystem::perms::owner_read);
    EXPECT_FALSE(DeleteList(file));
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_FALSE(DeleteList(file));
    EXPECT_TRUE(LoadList(file).empty());
    std::filesystem::create_directory(file);
    EXPECT_TRUE(LoadList(file).empty());
}

} // namespace
} // namespace kovi
