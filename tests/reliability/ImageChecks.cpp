#include "tests/reliability/ImageChecks.h"

#include "engine/ImageHeader.h"
#include "engine/SafeReplace.h"
#include "engine/VipsRuntime.h"
#include "tests/support/TempFolder.h"

#include <vips/vips8>

#include <algorithm>

namespace kovi::testing {
namespace {

using vips::VImage;

// Whether the loader can read every page or frame of a file at once.
bool ReadsPages(const std::string& loader) {
    VipsOperation* operation = vips_operation_new(loader.c_str());
    if (operation == nullptr) {
        vips_error_clear();
        return false;
    }
    GParamSpec* parameter = nullptr;
    VipsArgumentClass* argumentClass = nullptr;
    VipsArgumentInstance* argumentInstance = nullptr;
    const bool pages = vips_object_get_argument(VIPS_OBJECT(operation), "n", &parameter,
                                                &argumentClass, &argumentInstance) == 0;
    g_object_unref(operation);
    return pages;
}

// Every page, every pixel, and no tolerance for damage.
std::optional<VImage> LoadStrictly(const std::filesystem::path& path) {
    LoadImagingModules();
    auto* options = VImage::option()->set("fail_on", VIPS_FAIL_ON_ERROR);
    if (ReadsPages(LoaderOf(path)))
        options->set("n", -1);
    try {
        VImage image = VImage::new_from_file(VipsFileName(path).c_str(), options);
        // Decoding every pixel is what finds a file cut short.
        image = image.copy_memory();
        return image;
    } catch (const vips::VError&) {
        vips_error_clear();
        return std::nullopt;
    }
}

} // namespace

std::optional<Decoded> Decode(const std::filesystem::path& path) {
    const auto image = LoadStrictly(path);
    if (!image)
        return std::nullopt;
    const int pageHeight = vips_image_get_page_height(image->get_image());
    return Decoded{{image->width(), pageHeight},
                   image->height() / pageHeight,
                   image->bands(),
                   static_cast<int>(image->format())};
}

std::optional<PixelSize> DecodedSize(const std::filesystem::path& path) {
    const auto decoded = Decode(path);
    return decoded ? std::optional(decoded->size) : std::nullopt;
}

std::string LoaderOf(const std::filesystem::path& path) {
    LoadImagingModules();
    const char* name = vips_foreign_find_load(VipsFileName(path).c_str());
    if (name == nullptr) {
        vips_error_clear();
        return {};
    }
    return vips_nickname_find(g_type_from_name(name));
}

void Restore(const Picture& picture) {
    WriteBytes(picture.path, picture.bytes);
}

FileState Judge(const Picture& picture, std::string* why) {
    const auto say = [why](std::string text) {
        if (why != nullptr)
            *why = std::move(text);
        return FileState::Damaged;
    };
    std::error_code error;
    if (!std::filesystem::is_regular_file(picture.path, error))
        return say("the file is gone");
    if (ReadBytes(picture.path) == picture.bytes)
        return FileState::Original;
    const std::string loader = LoaderOf(picture.path);
    if (loader != picture.loader)
        return say("read by \"" + loader + "\", was \"" + picture.loader + "\"");
    const auto size = DecodedSize(picture.path);
    if (!size)
        return say("changed, and no complete image");
    if (*size != picture.fitted)
        return say("changed to " + std::to_string(size->width) + " x " +
                   std::to_string(size->height) + ", expected " +
                   std::to_string(picture.fitted.width) + " x " +
                   std::to_string(picture.fitted.height));
    return FileState::Resized;
}

::testing::AssertionResult HoldsBytes(const std::filesystem::path& path, const std::string& bytes) {
    const std::string held = ReadBytes(path);
    if (held == bytes)
        return ::testing::AssertionSuccess();
    const auto differ = std::mismatch(held.begin(), held.end(), bytes.begin(), bytes.end());
    return ::testing::AssertionFailure()
           << path << " holds " << held.size() << " bytes, expected " << bytes.size()
           << ", first difference at byte " << (differ.first - held.begin());
}

std::vector<std::filesystem::path> TemporaryFilesIn(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> found;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error))
        if (IsTemporaryFileName(it->path().filename().string()))
            found.push_back(it->path());
    return found;
}

double MeanDifference(const std::filesystem::path& a, const std::filesystem::path& b) {
    const auto first = LoadStrictly(a);
    const auto second = LoadStrictly(b);
    if (!first || !second || first->width() != second->width() ||
        first->height() != second->height() || first->bands() != second->bands())
        return -1;
    try {
        return (first->cast(VIPS_FORMAT_DOUBLE) - second->cast(VIPS_FORMAT_DOUBLE)).abs().avg();
    } catch (const vips::VError&) {
        vips_error_clear();
        return -1;
    }
}

} // namespace kovi::testing
