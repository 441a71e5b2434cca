// Exclusion lists damaged by hand or by another program: odd line ends, NUL bytes, no final
// line end, a line of megabytes. The run reads them by the same rules as ever and finishes.
#include "engine/BatchRun.h"
#include "tests/reliability/ImageChecks.h"
#include "tests/support/CaseName.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestImages.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

namespace kovi {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

const std::string HugeLine(10 * 1024 * 1024, 'z');

struct ListCase {
    const char* name;
    std::string extensions; // exts.dat, or nothing when empty
    // exflds.dat, given the album folder
    std::function<std::string(const fs::path&)> folders;
    std::vector<std::string> resized; // of a.jpg, b.png, c.gif, sub/d.jpg
};

const std::vector<std::string> AllFiles{"a.jpg", "b.png", "c.gif", "sub/d.jpg"};

std::string NoFolders(const fs::path&) {
    return "";
}

class DamagedLists : public ::testing::TestWithParam<ListCase> {};

TEST_P(DamagedLists, AreReadByTheUsualRules) {
    const ListCase& c = GetParam();
    TempFolder folder;
    const fs::path album = folder / "album";
    for (const auto& name : AllFiles) {
        fs::create_directories((album / name).parent_path());
        testing::ColourRamp(800, 600).write_to_file((album / name).c_str());
    }
    std::map<std::string, std::string> before;
    for (const auto& name : AllFiles)
        before[name] = ReadBytes(album / name);
    BatchOptions options;
    options.folder = album;
    options.target = "640x480";
    options.processSubFolders = true;
    options.excludedExtensionsFile = folder / "exts.dat";
    options.excludedFoldersFile = folder / "exflds.dat";
    if (!c.extensions.empty())
        WriteBytes(options.excludedExtensionsFile, c.extensions);
    const std::string folders = c.folders(album);
    if (!folders.empty())
        WriteBytes(options.excludedFoldersFile, folders);

    std::atomic<bool> abort{false};
    const auto begin = std::chrono::steady_clock::now();
    const RunResult result = ProcessImages(options, abort);
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - begin)
            .count();
    EXPECT_EQ(result.status, RunStatus::Completed);
    EXPECT_LT(seconds, 30) << "reading the lists for each file should not take this long";
    for (const auto& name : AllFiles) {
        const bool expected =
            std::find(c.resized.begin(), c.resized.end(), name) != c.resized.end();
        if (expected) {
            EXPECT_EQ(testing::DecodedSize(album / name), (PixelSize{640, 480})) << name;
        } else {
            EXPECT_TRUE(testing::HoldsBytes(album / name, before[name]))
                << name << " was not excluded";
        }
    }
    // The lists themselves are only read.
    if (!c.extensions.empty()) {
        EXPECT_TRUE(ReadBytes(options.excludedExtensionsFile) == c.extensions);
    }
    if (!folders.empty()) {
        EXPECT_TRUE(ReadBytes(options.excludedFoldersFile) == folders);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedLists,
    ::testing::Values(
        ListCase{"carriage_returns_only", "PNG\rGIF\r", NoFolders, {"a.jpg", "sub/d.jpg"}},
        ListCase{"no_final_line_end", "GIF\r\nPNG", NoFolders, {"a.jpg", "sub/d.jpg"}},
        ListCase{"nul_after_the_extension_matches_nothing", std::string("JPG\0\r\n", 6), NoFolders,
                 AllFiles},
        ListCase{"nul_lines_match_nothing", std::string("\0\0\0\r\n\0\r\n", 8), NoFolders,
                 AllFiles},
        ListCase{"a_ten_megabyte_extension",
                 HugeLine + "\r\nPNG",
                 NoFolders,
                 {"a.jpg", "c.gif", "sub/d.jpg"}},
        ListCase{"a_ten_megabyte_folder",
                 "",
                 [](const fs::path& album) { return HugeLine + "\r\n" + (album / "sub").string(); },
                 {"a.jpg", "b.png", "c.gif"}},
        ListCase{"folder_list_of_cr_only_lines",
                 "",
                 [](const fs::path& album) {
                     return "/nowhere\r" + (album / "sub").string() + "\r/elsewhere\r";
                 },
                 {"a.jpg", "b.png", "c.gif"}},
        ListCase{"an_empty_line_keeps_everything_away", "GIF\r\n\r\n", NoFolders, {}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace kovi
