#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kovi {

class RecycledFiles;
class ReplacementFile;

// A small 8-bit RGB picture for showing the image held; rows are tightly packed.
struct PreviewPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
};

// Holds one image at a time: loads and measures it from its header, resamples it and writes it
// back in the format it had. Loading reads only the header; pixels are decoded when a resize or
// a save needs them. No member throws: failures leave the control empty (loading) or return
// false with a reason in LastError() (resizing, saving).
//
// One instance is not thread-safe; use one per thread.
class ImagingControl {
public:
    ImagingControl();
    ~ImagingControl();
    ImagingControl(const ImagingControl&) = delete;
    ImagingControl& operator=(const ImagingControl&) = delete;

    // Writing a path loads that file's header; writing the empty path clears the control.
    // After a load that failed (no readable image, a folder, a vanished file) LoadPath() reads
    // back empty and FileTypeCode() is 0.
    void SetLoadPath(const std::filesystem::path& path);
    const std::filesystem::path& LoadPath() const;

    // Pixel size as stored (an EXIF orientation is not applied); 0 when empty.
    int ImageWidth() const;
    int ImageHeight() const;
    // Size in bytes of the file last loaded.
    std::int64_t FileBytes() const;
    // The format of the file last loaded: the listing's table codes (8 JPEG, 10 PNG, ...),
    // codes above 38 for readable formats without a table entry, 0 when no readable image.
    int FileTypeCode() const;
    // Bits per pixel as the file stores them (1, 4, 8, 24, 32, 48, ...).
    int BitsPerPixel() const;
    // 2^BitsPerPixel up to 24 bits per pixel, 16,777,216 above.
    std::int64_t ColourCount() const;

    // Resamples the image held to exactly width x height (both at least 1). Decodes at the
    // largest reduction the format offers that still covers the requested size.
    bool ResizeImage(int width, int height);

    // The path the next save writes to.
    void SetSavePath(const std::filesystem::path& path);
    const std::filesystem::path& SavePath() const;

    // Writes the image held to SavePath() in the format it was loaded from, through a
    // temporary file in the same folder that is renamed over the target only when complete.
    // On failure the file at SavePath() is untouched and false is returned.
    bool SaveImage();

    // Writes the image held, completely, to a temporary file beside SavePath() without
    // replacing anything yet: commit() on the result flushes it to disk and puts it in place (as
    // SaveImage() does at once), dropping it removes it. The flush is left to commit() so that
    // a run can go on shrinking the next picture while the disk takes this one. Nothing on
    // failure, with the reason in LastError(). A run passes its `recycled` files (see
    // ReplacementFile::create()).
    std::unique_ptr<ReplacementFile> SaveImageAside(RecycledFiles* recycled = nullptr);

    // Whether the image held can be written back in its own format at all; when it cannot,
    // LastError() says why.
    bool CanSave() const;

    // Factors 0 to 255 for the JPEG chrominance and luminance quantisation tables; each gives
    // the quality round(100 - f * 99 / 255) for its own table.
    void SetJpegChromFactor(int factor);
    void SetJpegLumFactor(int factor);
    int JpegChromFactor() const;
    int JpegLumFactor() const;

    // A generous guess at the memory, in bytes, that shrinking the image held to width x height
    // and saving it takes, so that files worked on side by side can be kept within a budget.
    std::int64_t WorkingSetEstimate(int width, int height) const;

    // Why the last ResizeImage(), SaveImage() or CanSave() failed.
    const std::string& LastError() const;

    // A picture of the image held that fits in maxSide x maxSide, for display.
    std::optional<PreviewPicture> Preview(int maxSide) const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace kovi
