#include "programs/kovi-rzk-batch/Commands.h"

#include "core/listing/ListingExport.h"
#include "core/listing/ListingScan.h"
#include "core/run/BatchRun.h"
#include "core/run/NumberFormat.h"
#include "core/run/TargetResolution.h"
#include "programs/kovi-rzk-batch/TerminalProgress.h"

#include <string>
#include <vector>

namespace kovi {
namespace {

constexpr char ProgramName[] = "kovi-rzk-batch";

// The summaries join their lines with CR LF for the message box; a terminal wants LF.
std::string TerminalLines(std::string text) {
    std::string lines;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n')
            continue;
        lines += text[at];
    }
    return lines + "\n";
}

void Say(std::FILE* stream, const std::string& text) {
    std::fputs(text.c_str(), stream);
    std::fflush(stream);
}

std::vector<std::string> RowCells(const ListingRow& row) {
    return {row.path.native(),
            std::to_string(row.fileBytes),
            std::to_string(row.width),
            std::to_string(row.height),
            row.format,
            std::to_string(row.colours),
            std::to_string(row.bitsPerPixel)};
}

} // namespace

std::filesystem::path AbsoluteFolder(const std::string& folder) {
    std::error_code error;
    auto path = std::filesystem::absolute(folder, error).lexically_normal();
    if (!path.has_filename() && path.has_relative_path())
        path = path.parent_path();
    return path;
}

int RunProcessCommand(const CommandLine& command, const CommandSettings& settings, StopFlags& stop,
                      std::FILE* out, std::FILE* err) {
    const auto target = ParseTargetResolution(command.target);
    if (!target) {
        Say(err, std::string(ProgramName) + ": Invalid target resolution\n");
        return ExitBadArguments;
    }
    BatchOptions options;
    options.folder = AbsoluteFolder(command.folder);
    options.target = *target;
    options.processSubFolders = command.processSubFolders;
    options.writeLog = command.writeLog.value_or(settings.writeLog);
    options.excludedExtensionsFile = settings.excludedExtensionsFile;
    options.excludedFoldersFile = settings.excludedFoldersFile;
    const JpegFactors factors{.chrominance = command.chrominance.value_or(settings.chrominance),
                              .luminance = command.luminance.value_or(settings.luminance)};
    options.jpegFactors = [factors] {
        return factors;
    };

    TerminalProgress progress;
    std::vector<std::filesystem::path> targets;
    std::size_t current = 0;
    RunCallbacks callbacks;
    // A Ctrl+C during the walk must still stop the run, although the run clears the flag.
    callbacks.started = [&stop](std::size_t) {
        if (stop.interrupted)
            stop.abort = true;
    };
    callbacks.fileStarted = [&current](std::size_t index, std::size_t) {
        current = index;
    };
    callbacks.fileLoading = [&](const std::filesystem::path& path) {
        progress.show(current, targets.size(), path.filename().string());
    };
    callbacks.collected = [&targets](std::size_t count) {
        targets.resize(count);
    };
    callbacks.fileFinished = [&](const FileReport& report) {
        if (report.outcome != FileOutcome::NotSaved)
            return;
        progress.clear();
        Say(err, std::string(ProgramName) + ": not saved: " + report.path.string() + ": " +
                     report.reason + "\n");
    };

    const RunResult result = ProcessImages(options, stop.abort, callbacks);
    progress.clear();
    switch (result.status) {
    case RunStatus::NoFiles:
        Say(err, "No files to process\n");
        return stop.interrupted ? ExitInterrupted : ExitNoFiles;
    case RunStatus::LogNotCreated:
        Say(err, std::string(ProgramName) + ": cannot create the processing log " +
                     result.logPath.string() + ": " + result.logError + "\n");
        return ExitBadArguments;
    case RunStatus::Completed:
    case RunStatus::Aborted:
        break;
    }
    if (!result.logError.empty())
        Say(err, std::string(ProgramName) + ": the processing log " + result.logPath.string() +
                     " is incomplete: " + result.logError + "\n");
    Say(out, TerminalLines(SummaryText(result, LocaleThousandsSeparator())));
    if (stop.interrupted)
        return ExitInterrupted;
    return result.notSaved.empty() ? ExitDone : ExitNotSaved;
}

int RunListCommand(const CommandLine& command, StopFlags& stop, std::FILE* out, std::FILE* err) {
    const auto target = ParseTargetResolution(command.target);
    if (!target) {
        Say(err, std::string(ProgramName) + ": Invalid target resolution\n");
        return ExitBadArguments;
    }
    std::vector<std::vector<std::string>> rows;
    bool headerWritten = false;
    ListingCallbacks callbacks;
    callbacks.started = [&stop](std::size_t) {
        if (stop.interrupted)
            stop.abort = true;
    };
    callbacks.row = [&](const ListingRow& row) {
        if (command.exportFile) {
            rows.push_back(RowCells(row));
            return;
        }
        // Standard output gets each line as soon as it is known.
        if (!headerWritten) {
            Say(out, ExportLine(ListingHeaders()) + "\r\n");
            headerWritten = true;
        }
        Say(out, ExportLine(RowCells(row)) + "\r\n");
    };
    const ListingResult result = BuildDetailedListing(
        AbsoluteFolder(command.folder), *target, command.processSubFolders, stop.abort, callbacks);
    switch (result.status) {
    case ListingStatus::NoFiles:
        Say(err, "No files to process\n");
        return stop.interrupted ? ExitInterrupted : ExitNoFiles;
    case ListingStatus::Completed:
    case ListingStatus::Aborted:
        break;
    }
    if (command.exportFile) {
        if (auto error = WriteListingExport(*command.exportFile, rows)) {
            Say(err, std::string(ProgramName) + ": cannot write " + *command.exportFile + ": " +
                         error.message() + "\n");
            return ExitBadArguments;
        }
    } else if (!headerWritten) {
        Say(out, ExportLine(ListingHeaders()) + "\r\n");
    }
    Say(err, TerminalLines(ListingSummaryText(result, LocaleThousandsSeparator())));
    return stop.interrupted ? ExitInterrupted : ExitDone;
}

} // namespace kovi
