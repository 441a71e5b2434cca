#pragma once

#include "core/run/TargetResolution.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace kovi {

// One readable image of a listing, as its row shows it.
struct ListingRow {
    std::filesystem::path path;
    std::int64_t fileBytes = 0;
    int width = 0;
    int height = 0;
    std::string format; // GetFormatName of the file-type code
    std::int64_t colours = 0;
    int bitsPerPixel = 0;
};

enum class ListingStatus {
    Completed,
    Aborted,
    NoFiles,
};

struct ListingResult {
    ListingStatus status = ListingStatus::Completed;
    std::size_t fileCount = 0; // files collected, readable or not
    std::size_t rowCount = 0;  // readable images listed
    std::int64_t totalBytes = 0;
    std::int64_t wouldBeProcessed = 0;
};

// All members may be empty; all are called on the thread that runs the scan.
struct ListingCallbacks {
    std::function<void()> collecting; // "Acquiring target files..."
    // The scan begins; told after the stop flag is cleared, so a stop may be asked from here.
    std::function<void(std::size_t count)> started;
    std::function<void(std::size_t index, std::size_t count)> fileStarted;
    std::function<void(const ListingRow& row)> row;
};

// A dry run of the batch resize: collects the same files, reads each one's header (never its
// pixels) and reports a row for every readable image, with the byte total and how many images
// the target would shrink. abortRequested is cleared when the scan starts and tested before
// every file.
ListingResult BuildDetailedListing(const std::filesystem::path& folder, TargetResolution target,
                                   bool processSubFolders, std::atomic<bool>& abortRequested,
                                   const ListingCallbacks& callbacks = {});

// "Total image bytes: " and "Would be processed by current resolution: " with their numbers,
// joined by CR LF.
std::string ListingSummaryText(const ListingResult& result, std::string_view thousandsSeparator);

} // namespace kovi
