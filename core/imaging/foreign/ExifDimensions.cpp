#include "core/imaging/foreign/ExifDimensions.h"

#include <cstdlib>
#include <memory>

#include <libexif/exif-data.h>
#include <libexif/exif-utils.h>

namespace kovi {
namespace {

struct ExifDataRelease {
    void operator()(ExifData* data) const { exif_data_unref(data); }
};
struct MallocRelease {
    void operator()(unsigned char* bytes) const { std::free(bytes); }
};

constexpr std::uint32_t kShortMax = 0xFFFF;

bool HasEntries(const ExifData* data) {
    for (const ExifContent* content : data->ifd)
        if (content != nullptr && content->count > 0)
            return true;
    return false;
}

void SetDimension(ExifContent* content, ExifTag tag, std::uint32_t value, ExifByteOrder order) {
    ExifEntry* entry = exif_content_get_entry(content, tag);
    if (entry == nullptr) {
        entry = exif_entry_new();
        if (entry == nullptr)
            return;
        exif_content_add_entry(content, entry);
        exif_entry_initialize(entry, tag);
        exif_entry_unref(entry); // the content holds it now
    }
    if (entry->data == nullptr || entry->components != 1)
        return;
    if (entry->format == EXIF_FORMAT_LONG)
        exif_set_long(entry->data, order, value);
    else if (entry->format == EXIF_FORMAT_SHORT && value <= kShortMax)
        exif_set_short(entry->data, order, static_cast<ExifShort>(value));
}

} // namespace

std::vector<std::uint8_t> ExifWithDimensions(const std::uint8_t* data, std::size_t size, int width,
                                             int height) {
    std::vector<std::uint8_t> original(data, data + size);
    std::unique_ptr<ExifData, ExifDataRelease> exif(exif_data_new());
    if (!exif || size == 0)
        return original;
    // Keep the block as the camera wrote it: no repairs, no dropped tags, maker note untouched.
    exif_data_unset_option(exif.get(), EXIF_DATA_OPTION_IGNORE_UNKNOWN_TAGS);
    exif_data_unset_option(exif.get(), EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_set_option(exif.get(), EXIF_DATA_OPTION_DONT_CHANGE_MAKER_NOTE);
    exif_data_load_data(exif.get(), data, static_cast<unsigned int>(size));
    if (!HasEntries(exif.get()))
        return original;

    const ExifByteOrder order = exif_data_get_byte_order(exif.get());
    ExifContent* exifDirectory = exif->ifd[EXIF_IFD_EXIF];
    SetDimension(exifDirectory, EXIF_TAG_PIXEL_X_DIMENSION, static_cast<std::uint32_t>(width),
                 order);
    SetDimension(exifDirectory, EXIF_TAG_PIXEL_Y_DIMENSION, static_cast<std::uint32_t>(height),
                 order);

    unsigned char* saved = nullptr;
    unsigned int savedSize = 0;
    exif_data_save_data(exif.get(), &saved, &savedSize);
    const std::unique_ptr<unsigned char, MallocRelease> owner(saved);
    if (saved == nullptr || savedSize == 0)
        return original;
    return {saved, saved + savedSize};
}

} // namespace kovi
