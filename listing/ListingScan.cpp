#include "listing/ListingScan.h"

#include "engine/ImagingControl.h"
#include "engine/NumberFormat.h"
#include "engine/TargetCollection.h"
#include "engine/TargetResolution.h"
#include "listing/FormatNames.h"

namespace kovi {

ListingResult BuildDetailedListing(const std::filesystem::path& folder, const std::string& target,
                                   bool processSubFolders, std::atomic<bool>& abortRequested,
                                   const ListingCallbacks& callbacks) {
    ListingResult result;
    const auto box = ParseTargetResolution(target);
    if (!box) {
        result.status = ListingStatus::InvalidTarget;
        return result;
    }
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
    ImagingControl control;
    for (std::size_t index = 0; index < targets.size(); ++index) {
        if (abortRequested) {
            result.status = ListingStatus::Aborted;
            break;
        }
        if (callbacks.fileStarted)
            callbacks.fileStarted(index, targets.size());
        control.SetLoadPath({});
        control.SetLoadPath(targets[index]);
        if (control.FileTypeCode() == 0)
            continue;
        ListingRow row{targets[index],
                       control.FileBytes(),
                       control.ImageWidth(),
                       control.ImageHeight(),
                       GetFormatName(control.FileTypeCode()),
                       control.ColourCount(),
                       control.BitsPerPixel()};
        result.totalBytes += row.fileBytes;
        if (NeedsResize({row.width, row.height}, *box))
            ++result.wouldBeProcessed;
        ++result.rowCount;
        if (callbacks.row)
            callbacks.row(row);
    }
    return result;
}

std::string ListingSummaryText(const ListingResult& result, std::string_view thousandsSeparator) {
    return "Total image bytes: " + FormatGrouped(result.totalBytes, thousandsSeparator) +
           "\r\nWould be processed by current resolution: " +
           FormatGrouped(result.wouldBeProcessed, thousandsSeparator);
}

} // namespace kovi
