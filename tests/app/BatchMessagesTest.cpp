#include "app/BatchMessages.h"

#include <gtest/gtest.h>

namespace kovi {
namespace {

RunResult Totals(std::int64_t before, std::int64_t after) {
    RunResult result;
    result.totalBefore = before;
    result.totalAfter = after;
    return result;
}

RunResult NotSaved(RunResult result, int count, const std::string& reason = "cannot be saved") {
    for (int i = 1; i <= count; ++i) {
        FileReport report;
        report.path = "/p/" + std::to_string(i) + ".wmf";
        report.outcome = FileOutcome::NotSaved;
        report.reason = reason;
        result.notSaved.push_back(report);
    }
    return result;
}

std::string NamedFiles(int count) {
    std::string lines;
    for (int i = 1; i <= count; ++i)
        lines += "\r\n/p/" + std::to_string(i) + ".wmf (cannot be saved)";
    return lines;
}

RunResult WithLogError(RunResult result) {
    result.logPath = "/p/kovilog.txt";
    result.logError = "No space left on device";
    return result;
}

struct SummaryCase {
    const char* name;
    RunResult result;
    std::string text;
};

void PrintTo(const SummaryCase& c, std::ostream* out) {
    *out << c.name;
}

class ProcessSummary : public ::testing::TestWithParam<SummaryCase> {};

TEST_P(ProcessSummary, SaysWhatTheRunDid) {
    EXPECT_EQ(ProcessSummaryMessage(GetParam().result, ","), GetParam().text);
}

const std::string Grouped = "Total before: 1,234,567 bytes\r\nTotal after: 2,345 bytes";

INSTANTIATE_TEST_SUITE_P(
    Cases, ProcessSummary,
    ::testing::Values(
        SummaryCase{"nothing_resized", Totals(0, 0), "No images required processing"},
        SummaryCase{"totals_grouped_by_threes", Totals(1234567, 2345), Grouped},
        SummaryCase{"unsaved_file_named_with_its_reason", NotSaved(Totals(1234567, 2345), 1),
                    Grouped + "\r\nFiles not saved: 1" + NamedFiles(1)},
        SummaryCase{"unsaved_file_without_a_reason", NotSaved(Totals(0, 0), 1, ""),
                    "Total before:  bytes\r\nTotal after:  bytes\r\nFiles not saved: 1\r\n"
                    "/p/1.wmf"},
        SummaryCase{"twenty_unsaved_files_all_named", NotSaved(Totals(0, 0), 20),
                    "Total before:  bytes\r\nTotal after:  bytes\r\nFiles not saved: 20" +
                        NamedFiles(20)},
        SummaryCase{"more_than_twenty_end_in_dots", NotSaved(Totals(0, 0), 21),
                    "Total before:  bytes\r\nTotal after:  bytes\r\nFiles not saved: 21" +
                        NamedFiles(20) + "\r\n..."},
        SummaryCase{"incomplete_log_is_told", WithLogError(Totals(1234567, 2345)),
                    Grouped + "\r\nThe processing log /p/kovilog.txt is incomplete: No space "
                              "left on device"},
        SummaryCase{"incomplete_log_after_nothing_resized", WithLogError(Totals(0, 0)),
                    "No images required processing\r\nThe processing log /p/kovilog.txt is "
                    "incomplete: No space left on device"}),
    [](const ::testing::TestParamInfo<SummaryCase>& info) { return info.param.name; });

TEST(LogNotCreated, NamesTheLogAndTheReason) {
    RunResult result;
    result.status = RunStatus::LogNotCreated;
    result.logPath = "/photos/kovilog.txt";
    result.logError = "Read-only file system";
    EXPECT_EQ(LogNotCreatedMessage(result),
              "Cannot create the processing log /photos/kovilog.txt: Read-only file system\r\n"
              "No file has been changed.");
}

} // namespace
} // namespace kovi
