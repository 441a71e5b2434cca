#include "core/listing/ListingScan.h"

#include "core/imaging/ImagingControl.h"
#include "core/listing/FormatNames.h"
#include "core/run/NumberFormat.h"
#include "core/run/OrderedWork.h"
#include "core/run/TargetCollection.h"
#include "core/run/TargetResolution.h"

#include <algorithm>
#include <optional>
#include <thread>
#include <vector>

namespace kovi {

ListingResult BuildDetailedListing(const std::filesystem::path& folder, TargetResolution target,
                                   bool processSubFolders, std::atomic<bool>& abortRequested,
                                   const ListingCallbacks& callbacks) {
    ListingResult result;
    if (callbacks.collecting)
        callbacks.collecting();
    const auto targets = CollectTargetFiles(folder, processSubFolders);
    result.fileCount = targets.size();
    if (targets.empty()) {
        result.status = ListingStatus::NoFiles;
        return result;
    }

    abortRequested = false;
    if (callbacks.started)
        callbacks.started(targets.size());

    // Headers are read side by side and taken in list order; the stop flag is looked at before
    // each file as it is listed, so rows read ahead of a stop are simply not listed.
    const int workers = static_cast<int>(
        std::min<std::size_t>(std::max(1u, std::thread::hardware_concurrency()), targets.size()));
    // One control per worker, and one for a file the scan reads itself.
    std::vector<ImagingControl> controls(static_cast<std::size_t>(workers) + 1);
    const auto read = [&](std::size_t index, int worker) -> std::optional<ListingRow> {
        ImagingControl& control = controls[static_cast<std::size_t>(worker)];
        control.SetLoadPath(targets[index]);
        if (control.FileTypeCode() == 0)
            return std::nullopt;
        return ListingRow{targets[index],
                          control.FileBytes(),
                          control.ImageWidth(),
                          control.ImageHeight(),
                          GetFormatName(control.FileTypeCode()),
                          control.ColourCount(),
                          control.BitsPerPixel()};
    };
    // Rows are small and headers differ in cost (a TIFF's directory, a GIF's frames), so the
    // workers may read well ahead of the row being listed.
    constexpr int RowsAheadPerWorker = 16;
    OrderedWork<std::optional<ListingRow>> headers(
        targets.size(), workers, workers * RowsAheadPerWorker, read, abortRequested);

    for (std::size_t index = 0; index < targets.size(); ++index) {
        if (abortRequested) {
            result.status = ListingStatus::Aborted;
            break;
        }
        if (callbacks.fileStarted)
            callbacks.fileStarted(index, targets.size());
        auto row = headers.take(index);
        // A stop asked for after this file was let through came before any worker started it.
        if (!row)
            row = read(index, workers);
        if (!*row)
            continue;
        result.totalBytes += (*row)->fileBytes;
        if (NeedsResize({(*row)->width, (*row)->height}, target))
            ++result.wouldBeProcessed;
        ++result.rowCount;
        if (callbacks.row)
            callbacks.row(**row);
    }
    return result;
}

std::string ListingSummaryText(const ListingResult& result, std::string_view thousandsSeparator) {
    return "Total image bytes: " + FormatGrouped(result.totalBytes, thousandsSeparator) +
           "\r\nWould be processed by current resolution: " +
           FormatGrouped(result.wouldBeProcessed, thousandsSeparator);
}

} // namespace kovi
