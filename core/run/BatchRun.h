#pragma once

#include "core/imaging/ImagingControl.h"
#include "core/imaging/base/JpegFactors.h"
#include "core/run/ProcessingLog.h"
#include "core/run/TargetResolution.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace kovi {

// What one batch run is asked to do; the window or the command line fills it in.
struct BatchOptions {
    std::filesystem::path folder;
    TargetResolution target; // read from its text where the user gave it
    bool processSubFolders = false;
    bool writeLog = true;
    std::filesystem::path excludedExtensionsFile; // exts.dat
    std::filesystem::path excludedFoldersFile;    // exflds.dat
    // Read before each JPEG is saved, so a change made during a run applies to the next file.
    // Called from the threads that work on the files.
    std::function<JpegFactors()> jpegFactors = [] {
        return JpegFactors{};
    };
    // How many files are worked on at the same time; 0 means one per core.
    int workers = 0;
};

enum class FileOutcome {
    Resized,
    SmallEnough,
    Excluded,
    NotAnImage,
    NotSaved,
};

struct FileReport {
    std::filesystem::path path;
    FileOutcome outcome = FileOutcome::NotAnImage;
    ImageMeasure before;
    ImageMeasure after;
    std::string reason; // why a file was not saved
};

enum class RunStatus {
    Completed,
    Aborted,
    NoFiles,
    LogNotCreated,
};

struct RunResult {
    RunStatus status = RunStatus::Completed;
    std::size_t fileCount = 0;
    std::int64_t totalBefore = 0;
    std::int64_t totalAfter = 0;
    std::vector<FileReport> notSaved;
    std::filesystem::path logPath;
    std::string logError; // why the log could not be created or written
};

// What the run tells the one who started it. Every member may be empty; all are called on
// the thread that runs ProcessImages.
struct RunCallbacks {
    std::function<void()> collecting;                 // "Acquiring target files..."
    std::function<void(std::size_t count)> collected; // after the walk
    std::function<void(std::size_t count)> started;   // the running state begins
    std::function<void(std::size_t index, std::size_t count)> fileStarted;
    std::function<void(const std::filesystem::path& path)> fileLoading;
    // A picture of the file just handled, at most previewSide pixels across; made only when
    // set, and not more often than the eye can follow.
    std::function<void(const PreviewPicture& picture)> preview;
    int previewSide = 200;
    std::function<void(const FileReport& report)> fileFinished;
    std::function<void(const RunResult& result)> finished; // the running state ends
};

// The whole batch resize: collects the files, then for each one in order tests the stop flag,
// skips it when the exclusion lists name it, makes it writable, and shrinks it to fit the
// target when it is larger. A file once started is always finished. abortRequested is cleared
// when the run begins and tested before every file. Files are worked on side by side, but each
// is put in place only at its turn, so what happens to the files, the log, the totals and the
// callbacks (in list order, on the calling thread) is as if they were handled one at a time.
RunResult ProcessImages(const BatchOptions& options, std::atomic<bool>& abortRequested,
                        const RunCallbacks& callbacks = {});

// "No images required processing", or the two totals lines, then the count of files that could
// not be saved when there are any. Lines are joined by CR LF.
std::string SummaryText(const RunResult& result, std::string_view thousandsSeparator);

} // namespace kovi
