#include "cli/CommandLine.h"

#include "tests/support/CaseName.h"

#include <gtest/gtest.h>

namespace kovi {
namespace {

struct ParseCase {
    const char* name;
    std::vector<std::string_view> arguments;
    const char* error; // nullptr when the arguments are good
};

class CommandLineErrors : public ::testing::TestWithParam<ParseCase> {};

TEST_P(CommandLineErrors, RefusesBadArgumentsWithAMessage) {
    const auto parsed = ParseCommandLine(GetParam().arguments);
    if (GetParam().error == nullptr) {
        EXPECT_TRUE(std::holds_alternative<CommandLine>(parsed));
    } else {
        ASSERT_TRUE(std::holds_alternative<CommandLineError>(parsed));
        EXPECT_EQ(std::get<CommandLineError>(parsed).message, GetParam().error);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineErrors,
    ::testing::Values(
        ParseCase{"plain", {"/pics", "640x480"}, nullptr},
        ParseCase{"options_after_the_folder", {"/pics", "--subs", "640x480", "--no-log"}, nullptr},
        ParseCase{"factor_ends", {"--chrom", "0", "--lum=255", "/p", "1x1"}, nullptr},
        ParseCase{"dash_folder_after_double_dash", {"--", "--odd", "640x480"}, nullptr},
        ParseCase{"nothing", {}, "expected a FOLDER and a WIDTHxHEIGHT"},
        ParseCase{"one_positional", {"/pics"}, "expected a FOLDER and a WIDTHxHEIGHT"},
        ParseCase{"three_positionals", {"/a", "/b", "1x1"}, "expected a FOLDER and a WIDTHxHEIGHT"},
        ParseCase{"unknown_option", {"--fast", "/p", "1x1"}, "unknown option --fast"},
        ParseCase{"factor_too_large",
                  {"--chrom", "256", "/p", "1x1"},
                  "--chrom needs a number from 0 to 255"},
        ParseCase{
            "factor_negative", {"--lum", "-1", "/p", "1x1"}, "--lum needs a number from 0 to 255"},
        ParseCase{"factor_not_a_number",
                  {"--lum", "high", "/p", "1x1"},
                  "--lum needs a number from 0 to 255"},
        ParseCase{
            "factor_missing", {"/p", "1x1", "--chrom"}, "--chrom needs a number from 0 to 255"},
        ParseCase{"factor_with_junk",
                  {"--chrom=21a", "/p", "1x1"},
                  "--chrom needs a number from 0 to 255"},
        ParseCase{"log_and_no_log",
                  {"--log", "--no-log", "/p", "1x1"},
                  "--log and --no-log cannot be used together"},
        ParseCase{"switch_with_value", {"--subs=1", "/p", "1x1"}, "--subs takes no value"},
        ParseCase{"export_without_list",
                  {"--export", "a.csv", "/p", "1x1"},
                  "--export goes with --list only"},
        ParseCase{"log_with_list",
                  {"--list", "--log", "/p", "1x1"},
                  "--log, --no-log, --chrom and --lum do not go with --list"},
        ParseCase{"export_without_file",
                  {"--list", "/p", "1x1", "--export"},
                  "--export needs a file name"},
        ParseCase{"empty_folder", {"", "1x1"}, "the FOLDER is empty"}),
    [](const auto& info) { return info.param.name; });

TEST(CommandLine, TakesEveryOption) {
    const auto parsed =
        ParseCommandLine({"--subs", "--log", "--chrom", "21", "--lum=7", "/p q", "800x600"});
    const auto& command = std::get<CommandLine>(parsed);
    EXPECT_EQ(command.mode, CommandMode::Process);
    EXPECT_TRUE(command.processSubFolders);
    EXPECT_EQ(command.writeLog, true);
    EXPECT_EQ(command.chrominance, 21);
    EXPECT_EQ(command.luminance, 7);
    EXPECT_EQ(command.folder, "/p q");
    EXPECT_EQ(command.target, "800x600");
}

TEST(CommandLine, UnsetOptionsStayUnsetForTheStoredSettings) {
    const auto parsed = ParseCommandLine({"/p", "800x600"});
    const auto& command = std::get<CommandLine>(parsed);
    EXPECT_FALSE(command.processSubFolders);
    EXPECT_FALSE(command.writeLog.has_value());
    EXPECT_FALSE(command.chrominance.has_value());
    EXPECT_FALSE(command.luminance.has_value());
}

TEST(CommandLine, ListWithExport) {
    const auto parsed =
        ParseCommandLine({"--list", "--subs", "--export", "out.csv", "/p", "640x480"});
    const auto& command = std::get<CommandLine>(parsed);
    EXPECT_EQ(command.mode, CommandMode::List);
    EXPECT_EQ(command.exportFile, "out.csv");
    EXPECT_TRUE(command.processSubFolders);
}

TEST(CommandLine, HelpAndVersionNeedNothingElse) {
    EXPECT_EQ(std::get<CommandLine>(ParseCommandLine({"--help", "--bogus"})).mode,
              CommandMode::Help);
    EXPECT_EQ(std::get<CommandLine>(ParseCommandLine({"/p", "--version"})).mode,
              CommandMode::Version);
}

} // namespace
} // namespace kovi
