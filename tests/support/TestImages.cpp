#include "tests/support/TestImages.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "core/imaging/base/VipsRuntime.h"
#include "core/imaging/header/ImageHeader.h"

namespace kovi::testing {

using vips::VImage;

VImage ColourRamp(int width, int height, int bands) {
    LoadImagingModules();
    const VImage xy = VImage::xyz(width, height);
    const VImage red = xy[0] * (255.0 / std::max(1, width - 1));
    const VImage green = xy[1] * (255.0 / std::max(1, height - 1));
    const VImage blue = VImage::black(width, height) + 100;
    VImage image = VImage::bandjoin({red, green, blue});
    if (bands == 4)
        image = image.bandjoin(xy[0] * (200.0 / std::max(1, width - 1)) + 55);
    return image.cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

VImage GreyRamp(int width, int height) {
    LoadImagingModules();
    const VImage xy = VImage::xyz(width, height);
    return (xy[0] * (255.0 / std::max(1, width - 1)))
        .cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_B_W));
}

VImage Solid(int width, int height, const std::vector<double>& colour) {
    LoadImagingModules();
    const auto interpretation =
        colour.size() >= 3 ? VIPS_INTERPRETATION_sRGB : VIPS_INTERPRETATION_B_W;
    return (VImage::black(width, height,
                          VImage::option()->set("bands", static_cast<int>(colour.size()))) +
            colour)
        .cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", interpretation));
}

VImage Cmyk(int width, int height) {
    return ColourRamp(width, height)
        .bandjoin(VImage::black(width, height) + 30)
        .cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_CMYK));
}

VImage Sixteen(const VImage& image) {
    const auto interpretation =
        image.bands() >= 3 ? VIPS_INTERPRETATION_RGB16 : VIPS_INTERPRETATION_GREY16;
    return (image.cast(VIPS_FORMAT_USHORT) * 257)
        .cast(VIPS_FORMAT_USHORT)
        .copy(VImage::option()->set("interpretation", interpretation));
}

void SaveAs(const VImage& image, const std::filesystem::path& path, const std::string& options) {
    std::string format = path.extension().string().substr(1);
    for (char& c : format)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (format == "BMP" || format == "TGA" || format == "PCX" || format == "ICO") {
        VImage::call_option_string(
            "magicksave", ("format=" + format + (options.empty() ? "" : "," + options)).c_str(),
            VImage::option()->set("in", image)->set("filename", path.c_str()));
    } else {
        image.write_to_file((path.string() + (options.empty() ? "" : "[" + options + "]")).c_str());
    }
}

std::vector<std::uint8_t> PixelBytes(const VImage& image) {
    std::size_t size = 0;
    const std::unique_ptr<void, decltype(&g_free)> memory(image.write_to_memory(&size), g_free);
    const auto* bytes = static_cast<const std::uint8_t*>(memory.get());
    return {bytes, bytes + size};
}

VImage Animation(const std::vector<VImage>& frames, int delay) {
    VImage joined = VImage::arrayjoin(frames, VImage::option()->set("across", 1)).copy();
    joined.set("page-height", frames.front().height());
    joined.set("delay", std::vector<int>(frames.size(), delay));
    joined.set("loop", 0);
    return joined;
}

Saved Reload(const std::filesystem::path& path) {
    LoadImagingModules();
    const VImage header = VImage::new_from_file(VipsFileName(path).c_str());
    // Pixels are decoded once: some loaders (JPEG 2000 here) fail when asked twice. The copy's
    // metadata may point into a loader that is gone (HEIF), so it is read from the header.
    return {header, header.copy_memory()};
}

bool Near(const std::vector<double>& actual, const std::vector<double>& expected,
          double tolerance) {
    if (actual.size() != expected.size())
        return false;
    for (std::size_t i = 0; i < actual.size(); ++i)
        if (std::abs(actual[i] - expected[i]) > tolerance)
            return false;
    return true;
}

int IntField(const VImage& image, const char* name) {
    return image.get_typeof(name) != 0 ? image.get_int(name) : -1;
}

int ExifNumber(const VImage& image, const char* field) {
    if (image.get_typeof(field) == 0)
        return -1;
    return std::atoi(image.get_string(field));
}

const std::string kTestXmp =
    "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
    "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description "
    "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" dc:format=\"kovi-test\"/></rdf:RDF></x:xmpmeta>";

std::string SrgbProfile() {
    VipsBlob* profile = VImage::profile_load("srgb");
    std::size_t length = 0;
    const auto* data = static_cast<const char*>(vips_blob_get(profile, &length));
    std::string bytes(data, length);
    vips_area_unref(VIPS_AREA(profile));
    return bytes;
}

std::string BlobBytes(const VImage& image, const char* field) {
    if (image.get_typeof(field) == 0)
        return {};
    std::size_t length = 0;
    const auto* data = static_cast<const char*>(image.get_blob(field, &length));
    return {data, length};
}

VImage WithIccAndXmp(const VImage& image) {
    VImage copy = image.copy();
    const std::string profile = SrgbProfile();
    vips_image_set_blob_copy(copy.get_image(), "icc-profile-data", profile.data(), profile.size());
    vips_image_set_blob_copy(copy.get_image(), "xmp-data", kTestXmp.data(), kTestXmp.size());
    return copy;
}

VImage WithCameraExif(const VImage& image) {
    VImage small = Solid(10, 10, {0, 0, 0}).copy();
    small.set("exif-ifd0-Make", kCameraMake);
    void* buffer = nullptr;
    std::size_t length = 0;
    small.write_to_buffer(".jpg", &buffer, &length);
    const VImage camera = VImage::new_from_buffer(buffer, length, "");
    std::size_t exifLength = 0;
    const void* exif = camera.get_blob("exif-data", &exifLength);
    VImage copy = image.copy();
    vips_image_set_blob_copy(copy.get_image(), "exif-data", exif, exifLength);
    g_free(buffer);
    return copy;
}

} // namespace kovi::testing
