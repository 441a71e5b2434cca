#include "core/run/BatchRun.h"

#include "core/files/DiskFlusher.h"
#include "core/files/FileRoutines.h"
#include "core/files/RecycledFiles.h"
#include "core/files/SafeReplace.h"
#include "core/imaging/base/ImageFormat.h"
#include "core/imaging/base/VipsRuntime.h"
#include "core/run/Exclusions.h"
#include "core/run/MemoryGate.h"
#include "core/run/NumberFormat.h"
#include "core/run/OrderedWork.h"
#include "core/run/TargetCollection.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <set>
#include <thread>

namespace kovi {
namespace {

using Clock = std::chrono::steady_clock;
// Ten pictures a second are more than the eye follows when the files fly past; making and
// drawing one for every file cost the window a seventh of the run.
constexpr auto PreviewInterval = std::chrono::milliseconds(100);

template <typename Callback, typename... Arguments>
void Tell(const Callback& callback, Arguments&&... arguments) {
    if (callback)
        callback(std::forward<Arguments>(arguments)...);
}

// One file worked on ahead of its turn: its outcome as it would be, the new image written
// beside it but not yet in its place, and now and then a picture for the caller to show.
struct Prepared {
    FileReport report;
    std::unique_ptr<ReplacementFile> replacement;
    std::optional<PreviewPicture> preview;
    // The JPEG factors the new image was written with, when they shape it at all.
    std::optional<JpegFactors> factors;
    // The file as it was before it was loaded, to tell whether it changed before its turn.
    std::optional<FileIdentity> identity;
};

JpegFactors CurrentFactors(const BatchOptions& options) {
    return options.jpegFactors ? options.jpegFactors() : JpegFactors{};
}

// How many files a worker may have finished ahead of the file whose turn it is. Photographs of a
// folder differ in size, and with no more than one each, a worker that finished a small one
// sat idle behind a large one: a quarter of the run's time on a camera folder. Small pictures
// wait on the disk instead: each is flushed at its turn, a third of a millisecond here and now
// and then several, and with four each the workers stood still behind such a flush (a fifth of
// a run of small pictures; a twentieth with twelve). What waits is a small file beside its
// original, which a stop removes.
constexpr int FilesAheadPerWorker = 12;

// New images are flushed as soon as they are written, several at once: the disk here took a
// third of a millisecond for one flush and a ninth each with four side by side, and flushed one
// after another at their turns they held up the run of small pictures.
constexpr int FlushThreads = 4;

int WorkerCount(const BatchOptions& options, std::size_t files) {
    int workers = options.workers;
    if (workers <= 0)
        workers = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    return static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(workers), files));
}

// Pictures are made no more often than the eye can follow; only one worker gets each turn.
bool TakePreviewTurn(std::atomic<Clock::rep>& last) {
    const auto now = Clock::now().time_since_epoch().count();
    auto previous = last.load();
    if (now - previous < std::chrono::duration_cast<Clock::duration>(PreviewInterval).count())
        return false;
    return last.compare_exchange_strong(previous, now);
}

ImageMeasure Measure(const ImagingControl& control) {
    return {control.ImageWidth(), control.ImageHeight(), control.FileBytes()};
}

constexpr std::int64_t MiB = 1024 * 1024;
// What the files worked on side by side may hold at once, beside the program itself.
constexpr std::int64_t MemoryBudget = 200 * MiB;

// Loads and measures one file and, when it is larger than the target, writes the shrunk image
// beside it. Nothing on disk changes here: the file's turn decides whether the new image is
// put in place.
Prepared PrepareFile(const std::filesystem::path& path, const BatchOptions& options,
                     const ExclusionLists& lists, ImagingControl& control, MemoryGate& gate,
                     RecycledFiles& recycled) {
    Prepared prepared;
    FileReport& report = prepared.report;
    report.path = path;
    if (lists.matchLastRead(path)) {
        report.outcome = FileOutcome::Excluded;
        return prepared;
    }
    prepared.identity = IdentifyFile(path);
    control.SetLoadPath(path);
    if (control.LoadPath().empty()) {
        report.outcome = FileOutcome::NotAnImage;
        return prepared;
    }
    report.before = Measure(control);
    const PixelSize size{report.before.width, report.before.height};
    if (!NeedsResize(size, options.target)) {
        report.outcome = FileOutcome::SmallEnough;
        return prepared;
    }
    report.outcome = FileOutcome::NotSaved;
    if (!control.CanSave()) {
        report.reason = control.LastError();
        return prepared;
    }
    const JpegFactors factors = CurrentFactors(options);
    if (control.FileTypeCode() == TraitsOf(ImageFormat::Jpeg).typeCode)
        prepared.factors = factors;
    control.SetJpegChromFactor(factors.chrominance);
    control.SetJpegLumFactor(factors.luminance);
    const PixelSize fitted = FitInside(size, options.target);
    const MemoryGate::Pass pass =
        gate.enter(control.WorkingSetEstimate(fitted.width, fitted.height));
    control.SetSavePath(path);
    std::unique_ptr<ReplacementFile> replacement;
    if (control.ResizeImage(fitted.width, fitted.height))
        replacement = control.SaveImageAside(&recycled);
    if (!replacement) {
        report.reason = control.LastError();
        control.SetLoadPath(path);
        return prepared;
    }
    // The new file is what the image will be once it is in place; measure it from there.
    control.SetLoadPath(replacement->temporaryPath());
    if (control.LoadPath().empty()) {
        report.reason = "the new image cannot be read back";
        return prepared;
    }
    report.after = Measure(control);
    report.outcome = FileOutcome::Resized;
    prepared.replacement = std::move(replacement);
    return prepared;
}

// The file's turn: the exclusion lists as they are now decide, the file is made writable, and
// a new image is put in place.
FileReport CompleteFile(Prepared prepared, const BatchOptions& options, ExclusionLists& lists,
                        ImagingControl& control, MemoryGate& gate, RecycledFiles& recycled) {
    const std::filesystem::path& path = prepared.report.path;
    if (lists.readAndMatch(path)) {
        FileReport report;
        report.path = path;
        report.outcome = FileOutcome::Excluded;
        return report;
    }
    // The lists named the file when it was worked on ahead and no longer do, the JPEG factors
    // were changed since it was written, or the file itself changed since it was measured (an
    // earlier file of the run may be a hard link to it): work on it again now.
    if (prepared.report.outcome == FileOutcome::Excluded ||
        (prepared.factors && *prepared.factors != CurrentFactors(options)) ||
        IdentifyFile(path) != prepared.identity)
        prepared = PrepareFile(path, options, lists, control, gate, recycled);
    ResetFileAttributes(path);
    FileReport report = std::move(prepared.report);
    if (prepared.replacement) {
        std::string error;
        if (!prepared.replacement->commit(error)) {
            report.outcome = FileOutcome::NotSaved;
            report.reason = error;
            report.after = {};
        }
    }
    return report;
}

} // namespace

RunResult ProcessImages(const BatchOptions& options, std::atomic<bool>& abortRequested,
                        const RunCallbacks& callbacks) {
    RunResult result;

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

    // Files are worked on ahead, one per core, but each is put in place only at its turn, in
    // list order and after the stop flag and the exclusion lists were looked at for it, so the
    // files, the log, the totals and what the caller is told are as from one file at a time.
    // A file worked on ahead whose turn does not come leaves nothing behind.
    ExclusionLists lists(options.excludedExtensionsFile, options.excludedFoldersFile);
    const int workers = WorkerCount(options, targets.size());
    SetImagingThreads(workers > 1 ? 1 : 0);
    std::vector<ImagingControl> controls(static_cast<std::size_t>(workers));
    ImagingControl ownControl;
    MemoryGate gate(MemoryBudget);
    // Declared before the workers, so that they outlast every file the workers worked on.
    RecycledFiles recycled;
    DiskFlusher flusher(FlushThreads);
    std::atomic<Clock::rep> lastPreview{
        (Clock::now() - PreviewInterval).time_since_epoch().count()};
    const auto work = [&](std::size_t index, int worker) {
        ImagingControl& control = controls[static_cast<std::size_t>(worker)];
        Prepared prepared = PrepareFile(targets[index], options, lists, control, gate, recycled);
        if (prepared.replacement)
            prepared.replacement->flushAhead(flusher);
        // The first file is always shown, so a run shows something from its start.
        if (callbacks.preview && !control.LoadPath().empty() &&
            (TakePreviewTurn(lastPreview) || index == 0))
            prepared.preview = control.Preview(callbacks.previewSide);
        return prepared;
    };
    OrderedWork<Prepared> files(targets.size(), workers, workers * FilesAheadPerWorker, work,
                                abortRequested);

    result.status = RunStatus::Completed;
    for (std::size_t index = 0; index < targets.size(); ++index) {
        Tell(callbacks.fileStarted, index, targets.size());
        if (abortRequested) {
            result.status = RunStatus::Aborted;
            break;
        }
        std::optional<Prepared> prepared = files.take(index);
        // A stop asked for after this file was let through came before any worker started it.
        if (!prepared)
            prepared = PrepareFile(targets[index], options, lists, ownControl, gate, recycled);
        std::optional<PreviewPicture> preview = std::move(prepared->preview);
        const FileReport report =
            CompleteFile(std::move(*prepared), options, lists, ownControl, gate, recycled);
        if (report.outcome != FileOutcome::Excluded)
            Tell(callbacks.fileLoading, report.path);
        if (report.outcome == FileOutcome::Resized) {
            result.totalBefore += report.before.bytes;
            result.totalAfter += report.after.bytes;
            if (log.isOpen())
                noteLogError(log.writeRow(report.path, report.before, report.after));
        } else if (report.outcome == FileOutcome::NotSaved) {
            result.notSaved.push_back(report);
        }
        if (preview && report.outcome != FileOutcome::Excluded)
            callbacks.preview(*preview);
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
