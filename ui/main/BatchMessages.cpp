#include "ui/main/BatchMessages.h"

namespace kovi {
namespace {

constexpr char LineEnd[] = "\r\n";

} // namespace

std::string ProcessSummaryMessage(const RunResult& result, std::string_view thousandsSeparator) {
    std::string text = SummaryText(result, thousandsSeparator);
    for (std::size_t i = 0; i < result.notSaved.size() && i < NamedUnsavedFiles; ++i) {
        const FileReport& report = result.notSaved[i];
        text += LineEnd + report.path.string();
        if (!report.reason.empty())
            text += " (" + report.reason + ")";
    }
    if (result.notSaved.size() > NamedUnsavedFiles) {
        text += LineEnd;
        text += "...";
    }
    if (!result.logError.empty()) {
        text += LineEnd;
        text +=
            "The processing log " + result.logPath.string() + " is incomplete: " + result.logError;
    }
    return text;
}

std::string LogNotCreatedMessage(const RunResult& result) {
    return "Cannot create the processing log " + result.logPath.string() + ": " + result.logError +
           "\r\nNo file has been changed.";
}

} // namespace kovi
