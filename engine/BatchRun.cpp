#include "engine/BatchRun.h"

#include "engine/Exclusions.h"
#include "engine/NumberFormat.h"
#include "engine/SafeReplace.h"
#include "engine/TargetCollection.h"
#include "lists/FileRoutines.h"

#include <chrono>
#include <set>

namespace kovi {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto PreviewInterval = std::chrono::milliseconds(40);

template <typename Callback, typename... Arguments>
void Tell(const Callback& callback, Arguments&&... arguments) {
    if (callback)
        callback(std::forward<Arguments>(arguments)...);
}

ImageMeasure Measure(const ImagingControl& control) {
    return {control.ImageWidth(), control.ImageHeight(), control.FileBytes()};
}

// Loads, measures and, when it is larger than the target, shrinks and saves one file.
FileReport ProcessOneFile(const std::filesystem::path& path, const BatchOptions& options,
                          TargetResolution target, ImagingControl& control,
                          const RunCallbacks& callbacks) {
    FileReport report;
    report.path = path;
    if (IsExcludedByListFiles(path, options.excludedExtensionsFile, options.excludedFoldersFile)) {
        report.outcome = FileOutcome::Excluded;
        return report;
    }
    control.SetLoadPath({});
    ResetFileAttributes(path);
    control.SetLoadPath(path);
    Tell(callbacks.fileLoading, path);
    if (control.LoadPath().empty()) {
        report.outcome = FileOutcome::NotAnImage;
        return report;
    }
    report.before = Measure(control);
    const PixelSize size{report.before.width, report.before.height};
    if (!NeedsResize(size, target)) {
        report.outcome = FileOutcome::SmallEnough;
        return report;
    }
    report.outcome = FileOutcome::NotSaved;
    if (!control.CanSave()) {
        report.reason = control.LastError();
        return report;
    }
    const JpegFactors factors = options.jpegFactors ? options.jpegFactors() : JpegFactors{};
    control.SetJpegChromFactor(factors.chrominance);
    control.SetJpegLumFactor(factors.luminance);
    const PixelSize fitted = FitInside(size, target);
    control.SetSavePath(path);
    if (!control.ResizeImage(fitted.width, fitted.height) || !control.SaveImage()) {
        report.reason = control.LastError();
        // Whatever the control holds now is not what is on disk; measure the file again.
        control.SetLoadPath({});
        control.SetLoadPath(path);
        return report;
    }
    control.SetLoadPath({});
    control.SetLoadPath(path);
    if (control.LoadPath().empty()) {
        report.reason = "the saved file cannot be read back";
        return report;
    }
    report.after = Measure(control);
    report.outcome = FileOutcome::Resized;
    return report;
}

} // namespace

RunResult ProcessImages(const BatchOptions& options, std::atomic<bool>& abortRequested,
                        const RunCallbacks& callbacks) {
    RunResult result;
    const auto target = ParseTargetResolution(options.target);
    if (!target) {
        result.status = RunStatus::InvalidTarget;
        return result;
    }

    Tell(callbacks.collecting);
    const auto targets = CollectTargetFiles(options.folder, options.processSubFolders);
    result.fileCount = targets.size();
    Tell(callbacks.collected, targets.size());
    if (targets.empty()) {
        result.status = RunStatus::NoFiles;
        return result;
    }

    // The log is created before any file is touched, so a folder that cannot hold it is
    // reported while everything is still as it was.
    ProcessingLog log;
    if (options.writeLog) {
        result.logPath = options.folder / ProcessingLog::FileName;
        if (auto error = log.open(options.folder)) {
            result.status = RunStatus::LogNotCreated;
            result.logError = error.message();
            return result;
        }
    }
    const auto noteLogError = [&result](std::error_code error) {
        if (error && result.logError.empty())
            result.logError = error.message();
    };

    // A run killed in the middle of a save leaves its temporary file behind; this run clears
    // them away in every folder it works in.
    std::set<std::filesystem::path> folders;
    for (const auto& path : targets)
        folders.insert(path.parent_path());
    for (const auto& folder : folders)
        RemoveStaleTemporaryFiles(folder);

    abortRequested = false;
    // Told after the flag is cleared, so a caller may still ask for a stop from here on.
    Tell(callbacks.started, targets.size());
    ImagingControl control;
    auto lastPreview = Clock::now() - PreviewInterval;

    result.status = RunStatus::Completed;
    for (std::size_t index = 0; index < targets.size(); ++index) {
        Tell(callbacks.fileStarted, index, targets.size());
        if (abortRequested) {
            result.status = RunStatus::Aborted;
            break;
        }
        const FileReport report =
            ProcessOneFile(targets[index], options, *target, control, callbacks);
        if (report.outcome == FileOutcome::Resized) {
            result.totalBefore += report.before.bytes;
            result.totalAfter += report.after.bytes;
            if (log.isOpen())
                noteLogError(log.writeRow(report.path, report.before, report.after));
        } else if (report.outcome == FileOutcome::NotSaved) {
            result.notSaved.push_back(report);
        }
        if (callbacks.preview && !control.LoadPath().empty() &&
            Clock::now() - lastPreview >= PreviewInterval) {
            if (auto picture = control.Preview(callbacks.previewSide)) {
                callbacks.preview(*picture);
                lastPreview = Clock::now();
            }
        }
        Tell(callbacks.fileFinished, report);
    }
    if (log.isOpen()) {
        if (result.status == RunStatus::Completed)
            noteLogError(log.writeTotals(result.totalBefore, result.totalAfter));
        noteLogError(log.close());
    }
    Tell(callbacks.finished, result);
    return result;
}

std::string SummaryText(const RunResult& result, std::string_view thousandsSeparator) {
    std::string text;
    if (result.totalBefore == 0 && result.totalAfter == 0 && result.notSaved.empty()) {
        text = "No images required processing";
    } else {
        text = "Total before: " + FormatGrouped(result.totalBefore, thousandsSeparator) +
               " bytes\r\nTotal after: " + FormatGrouped(result.totalAfter, thousandsSeparator) +
               " bytes";
    }
    if (!result.notSaved.empty())
        text += "\r\nFiles not saved: " + std::to_string(result.notSaved.size());
    return text;
}

} // namespace kovi
