// Updating the pixel size in an EXIF block keeps everything else the camera wrote.
#include <cstdlib>
#include <cstring>
#include <memory>

#include <gtest/gtest.h>
#include <libexif/exif-data.h>

#include "engine/ExifDimensions.h"

namespace kovi {
namespace {

constexpr ExifByteOrder kOrder = EXIF_BYTE_ORDER_INTEL;

struct ExifRelease {
    void operator()(ExifData* data) const { exif_data_unref(data); }
};
using Exif = std::unique_ptr<ExifData, ExifRelease>;

ExifEntry* AddRaw(ExifData* exif, ExifIfd ifd, ExifTag tag, ExifFormat format,
                  const std::string& bytes) {
    ExifEntry* entry = exif_entry_new();
    exif_content_add_entry(exif->ifd[ifd], entry);
    entry->tag = tag;
    entry->format = format;
    entry->components = bytes.size() / static_cast<std::size_t>(exif_format_get_size(format));
    entry->size = static_cast<unsigned int>(bytes.size());
    entry->data = static_cast<unsigned char*>(std::malloc(bytes.size()));
    std::memcpy(entry->data, bytes.data(), bytes.size());
    exif_entry_unref(entry);
    return entry;
}

std::vector<std::uint8_t> Saved(ExifData* exif) {
    unsigned char* data = nullptr;
    unsigned int size = 0;
    exif_data_save_data(exif, &data, &size);
    std::vector<std::uint8_t> bytes(data, data + size);
    std::free(data);
    return bytes;
}

Exif Loaded(const std::vector<std::uint8_t>& bytes) {
    Exif exif(exif_data_new());
    exif_data_unset_option(exif.get(), EXIF_DATA_OPTION_IGNORE_UNKNOWN_TAGS);
    exif_data_load_data(exif.get(), bytes.data(), static_cast<unsigned int>(bytes.size()));
    return exif;
}

std::string Raw(ExifData* exif, ExifIfd ifd, ExifTag tag) {
    const ExifEntry* entry = exif_content_get_entry(exif->ifd[ifd], tag);
    return entry == nullptr ? ""
                            : std::string(reinterpret_cast<const char*>(entry->data), entry->size);
}

unsigned Dimension(ExifData* exif, ExifTag tag) {
    const ExifEntry* entry = exif_content_get_entry(exif->ifd[EXIF_IFD_EXIF], tag);
    if (entry == nullptr)
        return 0;
    return entry->format == EXIF_FORMAT_SHORT ? exif_get_short(entry->data, kOrder)
                                              : exif_get_long(entry->data, kOrder);
}

Exif CameraExif() {
    Exif exif(exif_data_new());
    exif_data_set_byte_order(exif.get(), kOrder);
    AddRaw(exif.get(), EXIF_IFD_0, EXIF_TAG_MAKE, EXIF_FORMAT_ASCII, std::string("Canon", 6));
    std::string makerNote;
    for (int i = 0; i < 40; ++i)
        makerNote += static_cast<char>(i * 7);
    AddRaw(exif.get(), EXIF_IFD_EXIF, EXIF_TAG_MAKER_NOTE, EXIF_FORMAT_UNDEFINED, makerNote);
    AddRaw(exif.get(), EXIF_IFD_EXIF, static_cast<ExifTag>(0xC7A1), EXIF_FORMAT_UNDEFINED,
           "vendor");
    return exif;
}

TEST(ExifDimensionsTest, UpdatesLongDimensionsAndKeepsTheRest) {
    Exif exif = CameraExif();
    AddRaw(exif.get(), EXIF_IFD_EXIF, EXIF_TAG_PIXEL_X_DIMENSION, EXIF_FORMAT_LONG,
           std::string("\xA0\x0F\0\0", 4));
    AddRaw(exif.get(), EXIF_IFD_EXIF, EXIF_TAG_PIXEL_Y_DIMENSION, EXIF_FORMAT_LONG,
           std::string("\xB8\x0B\0\0", 4));
    const auto before = Saved(exif.get());

    const auto after = ExifWithDimensions(before.data(), before.size(), 640, 480);
    const Exif result = Loaded(after);
    EXPECT_EQ(Dimension(result.get(), EXIF_TAG_PIXEL_X_DIMENSION), 640u);
    EXPECT_EQ(Dimension(result.get(), EXIF_TAG_PIXEL_Y_DIMENSION), 480u);
    EXPECT_EQ(Raw(result.get(), EXIF_IFD_0, EXIF_TAG_MAKE),
              Raw(exif.get(), EXIF_IFD_0, EXIF_TAG_MAKE));
    EXPECT_EQ(Raw(result.get(), EXIF_IFD_EXIF, EXIF_TAG_MAKER_NOTE),
              Raw(exif.get(), EXIF_IFD_EXIF, EXIF_TAG_MAKER_NOTE));
    EXPECT_EQ(Raw(result.get(), EXIF_IFD_EXIF, static_cast<ExifTag>(0xC7A1)), "vendor");
}

TEST(ExifDimensionsTest, UpdatesShortDimensions) {
    Exif exif = CameraExif();
    AddRaw(exif.get(), EXIF_IFD_EXIF, EXIF_TAG_PIXEL_X_DIMENSION, EXIF_FORMAT_SHORT,
           std::string("\xA0\x0F", 2));
    const auto before = Saved(exif.get());

    const Exif result = Loaded(ExifWithDimensions(before.data(), before.size(), 640, 480));
    EXPECT_EQ(Dimension(result.get(), EXIF_TAG_PIXEL_X_DIMENSION), 640u);
}

TEST(ExifDimensionsTest, AddsMissingDimensions) {
    Exif exif = CameraExif();
    const auto before = Saved(exif.get());

    const Exif result = Loaded(ExifWithDimensions(before.data(), before.size(), 641, 97));
    EXPECT_EQ(Dimension(result.get(), EXIF_TAG_PIXEL_X_DIMENSION), 641u);
    EXPECT_EQ(Dimension(result.get(), EXIF_TAG_PIXEL_Y_DIMENSION), 97u);
}

TEST(ExifDimensionsTest, AnUnreadableBlockIsKeptAsItWas) {
    const std::vector<std::uint8_t> garbage{'E', 'x', 'i', 'f', 0,   0,   'n',
                                            'o', 't', ' ', 't', 'i', 'f', 'f'};
    EXPECT_EQ(ExifWithDimensions(garbage.data(), garbage.size(), 10, 10), garbage);
}

} // namespace
} // namespace kovi
