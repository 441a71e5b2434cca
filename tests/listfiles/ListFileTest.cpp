#include "core/listfiles/ListFile.h"
#include "core/files/WholeFile.h"
#include "platform/system/Process.h"

#include "tests/support/CaseName.h"
#include "tests/support/FileAccess.h"
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

// Each entry ends with CR LF. A hand-edited file may end without a line end; a lone CR or LF
// is one. A missing file is made.
TEST(ListFile, AppendAfterALastLineWithoutLineEndStartsANewLine) {
    TempFolder folder;
    const auto file = folder / "exts.dat";
    for (const auto& [before, after] : {std::pair{"BMP", "BMP\r\nÄrger x\r\n"},
                                        {"BMP\r", "BMP\rÄrger x\r\n"},
                                        {"BMP\n", "BMP\nÄrger x\r\n"},
                                        {nullptr, "Ärger x\r\n"}}) {
        std::filesystem::remove(file);
        if (before != nullptr)
            WriteBytes(file, before);
        ASSERT_FALSE(AppendEntry(file, "Ärger x"));
        EXPECT_EQ(ReadBytes(file), after) << (before ? before : "no file");
        EXPECT_EQ(LoadList(file).back(), "Ärger x");
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

// What a plain write would do to links and modes, without its half-written file on failure.
TEST(WholeFile, IsWrittenThroughLinksAndInPlaceWhereNothingCanBeMadeBesideIt) {
    namespace fs = std::filesystem;
    TempFolder folder;
    fs::create_directory(folder / "real");
    WriteBytes(folder / "real" / "export.csv", "old");
    fs::permissions(folder / "real" / "export.csv", fs::perms(0640));
    fs::create_symlink("real/export.csv", folder / "link.csv");
    fs::create_symlink("real/new.csv", folder / "dangling.csv");
    fs::create_hard_link(folder / "real" / "export.csv", folder / "second-name.csv");
    for (const char* name : {"link.csv", "dangling.csv", "second-name.csv"})
        ASSERT_FALSE(WriteWholeFile(folder / name, name)) << name;
    EXPECT_TRUE(fs::is_symlink(folder / "link.csv") && fs::is_symlink(folder / "dangling.csv"));
    EXPECT_EQ(ReadBytes(folder / "real" / "new.csv"), "dangling.csv");
    EXPECT_EQ(ReadBytes(folder / "real" / "export.csv"), "second-name.csv")
        << "one file, two names";
    EXPECT_EQ(testing::StatOf(folder / "real" / "export.csv").st_mode & 07777, 0640u);

    fs::permissions(folder / "real", fs::perms(0555));
    testing::ObeyFileModes obey;
    if (!obey.active())
        GTEST_SKIP() << "cannot give up the right to write anywhere here";
    EXPECT_FALSE(WriteWholeFile(folder / "real" / "export.csv", "in place"));
    EXPECT_EQ(ReadBytes(folder / "real" / "export.csv"), "in place");
    EXPECT_EQ(WriteWholeFile(folder / "real" / "other.csv", "x"), std::errc::permission_denied);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder / "real"), {}), 2);
}

// A restart for the libraries' settings leaves the user's environment to what the program
// starts.
TEST(Restart, GivesTheUserTheirEnvironmentBack) {
    setenv("KOVI_RZK_USER_ENVIRONMENT", "KOVI_TEST_SET=mine\x1eKOVI_TEST_UNSET\x1e", 1);
    setenv("KOVI_TEST_SET", "the program's", 1);
    setenv("KOVI_TEST_UNSET", "the program's", 1);
    RestoreUserEnvironment();
    EXPECT_EQ(EnvironmentValue("KOVI_TEST_SET"), "mine");
    EXPECT_EQ(EnvironmentValue("KOVI_TEST_UNSET"), std::nullopt);
    EXPECT_EQ(EnvironmentValue("KOVI_RZK_USER_ENVIRONMENT"), std::nullopt);
}

} // namespace
} // namespace kovi
