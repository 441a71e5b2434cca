#include "core/imaging/ImagingControl.h"

#include <algorithm>

#include <vips/vips8>

#include "core/files/SafeReplace.h"
#include "core/imaging/base/VipsRuntime.h"
#include "core/imaging/foreign/ImageWriter.h"
#include "core/imaging/foreign/JpegQuality.h"
#include "core/imaging/header/ImageHeader.h"
#include "core/imaging/resample/Resampler.h"

namespace kovi {

namespace {

constexpr std::int64_t kTrueColourCount = std::int64_t{1} << 24;
constexpr int kTrueColourBits = 24;

struct Size {
    int width = 0;
    int height = 0;
};

} // namespace

struct ImagingControl::State {
    std::filesystem::path loadPath;
    std::filesystem::path savePath;
    std::optional<ImageHeader> header;
    // The file as it was when measured: the picture saved must be the picture measured.
    std::optional<FileIdentity> loaded;
    std::optional<Size> resized;
    // The lazy resampling pipeline; it reads its file once, so it is built again per save.
    std::optional<vips::VImage> pipeline;
    int luminanceFactor = 0;
    int chrominanceFactor = 0;
    std::string lastError;

    bool fail(std::string reason) {
        lastError = std::move(reason);
        return false;
    }
};

ImagingControl::ImagingControl() : state_(std::make_unique<State>()) {
    StartVips();
}

ImagingControl::~ImagingControl() = default;

void ImagingControl::SetLoadPath(const std::filesystem::path& path) {
    state_->pipeline.reset();
    state_->resized.reset();
    // Taken before the header is read: a file replaced in between then never matches again.
    state_->loaded = path.empty() ? std::nullopt : IdentifyFile(path);
    state_->header = ReadImageHeader(path);
    state_->loadPath = state_->header ? path : std::filesystem::path();
}

const std::filesystem::path& ImagingControl::LoadPath() const {
    return state_->loadPath;
}

int ImagingControl::ImageWidth() const {
    if (state_->resized)
        return state_->resized->width;
    return state_->header ? state_->header->width : 0;
}

int ImagingControl::ImageHeight() const {
    if (state_->resized)
        return state_->resized->height;
    return state_->header ? state_->header->height : 0;
}

std::int64_t ImagingControl::FileBytes() const {
    return state_->header ? state_->header->fileBytes : 0;
}

int ImagingControl::FileTypeCode() const {
    return state_->header ? TraitsOf(state_->header->format).typeCode : 0;
}

int ImagingControl::BitsPerPixel() const {
    return state_->header ? state_->header->bitsPerPixel : 0;
}

std::int64_t ImagingControl::ColourCount() const {
    const int bits = BitsPerPixel();
    if (bits <= 0)
        return 0;
    return bits >= kTrueColourBits ? kTrueColourCount : std::int64_t{1} << bits;
}

bool ImagingControl::ResizeImage(int width, int height) {
    state_->lastError.clear();
    if (!state_->header)
        return state_->fail("no image is loaded");
    if (width < 1 || height < 1)
        return state_->fail("the new size must be at least 1 x 1 pixels");
    if (auto breach = PixelLimitBreach(*state_->header, width, height))
        return state_->fail(*breach);
    try {
        state_->pipeline = BuildResizedImage(*state_->header, width, height);
    } catch (const vips::VError&) {
        state_->pipeline.reset();
        return state_->fail(TakeVipsError("the image could not be read"));
    }
    state_->resized = Size{width, height};
    return true;
}

void ImagingControl::SetSavePath(const std::filesystem::path& path) {
    state_->savePath = path;
}

const std::filesystem::path& ImagingControl::SavePath() const {
    return state_->savePath;
}

bool ImagingControl::CanSave() const {
    if (!state_->header) {
        state_->lastError = "no image is loaded";
        return false;
    }
    if (auto refusal = SaveRefusal(*state_->header)) {
        state_->lastError = *refusal;
        return false;
    }
    return true;
}

bool ImagingControl::SaveImage() {
    auto replacement = SaveImageAside();
    if (!replacement)
        return false;
    std::string error;
    if (!replacement->commit(error))
        return state_->fail(error);
    return true;
}

std::unique_ptr<ReplacementFile> ImagingControl::SaveImageAside(RecycledFiles* recycled) {
    state_->lastError.clear();
    if (!state_->header) {
        state_->fail("no image is loaded");
        return nullptr;
    }
    const ImageHeader& header = *state_->header;
    if (auto refusal = SaveRefusal(header)) {
        state_->fail(*refusal);
        return nullptr;
    }
    if (state_->savePath.empty()) {
        state_->fail("no path to save to");
        return nullptr;
    }

    std::optional<vips::VImage> pipeline;
    pipeline.swap(state_->pipeline);
    if (!pipeline) {
        const Size size = state_->resized.value_or(Size{header.width, header.height});
        if (auto breach = PixelLimitBreach(header, size.width, size.height)) {
            state_->fail(*breach);
            return nullptr;
        }
        try {
            pipeline = BuildResizedImage(header, size.width, size.height);
        } catch (const vips::VError&) {
            state_->fail(TakeVipsError("the image could not be read"));
            return nullptr;
        }
    }

    std::string error;
    auto file = ReplacementFile::create(state_->savePath, error, recycled);
    if (!file) {
        state_->fail(error);
        return nullptr;
    }
    // Checked once the decoder has opened the file and the target has been looked at, so
    // that a file replaced at any time before is caught here or when the new one is committed.
    if (!state_->loaded || IdentifyFile(state_->loadPath) != state_->loaded) {
        state_->fail("the file was changed by someone else after it was measured");
        return nullptr;
    }
    const JpegFactors factors{.chrominance = state_->chrominanceFactor,
                              .luminance = state_->luminanceFactor};
    if (!WriteImage(*pipeline, header, factors, *file, error)) {
        state_->fail(error);
        return nullptr;
    }
    return file;
}

void ImagingControl::SetJpegChromFactor(int factor) {
    state_->chrominanceFactor = std::clamp(factor, 0, kJpegFactorMax);
}

void ImagingControl::SetJpegLumFactor(int factor) {
    state_->luminanceFactor = std::clamp(factor, 0, kJpegFactorMax);
}

int ImagingControl::JpegChromFactor() const {
    return state_->chrominanceFactor;
}

int ImagingControl::JpegLumFactor() const {
    return state_->luminanceFactor;
}

std::int64_t ImagingControl::WorkingSetEstimate(int width, int height) const {
    constexpr std::int64_t MiB = 1024 * 1024;
    if (!state_->header)
        return 0;
    const ImageHeader& header = *state_->header;
    const std::int64_t pixels = static_cast<std::int64_t>(header.width) * header.height;
    const std::int64_t pages = KeepsAllPages(header) ? header.pages : 1;
    switch (header.format) {
    case ImageFormat::Jpeg:
        // A progressive file keeps every coefficient of the whole image while it is decoded;
        // a baseline one is decoded in strips at a reduced scale.
        if (header.jpeg && header.jpeg->progressive)
            return pixels * std::max(header.jpeg->components, 1) * 2 + 16 * MiB;
        return 16 * MiB;
    case ImageFormat::Bmp:
        // Decoded by the program itself: the file, and the picture at 8 bits a sample.
        if (DecodesBmpWhole(header))
            return pixels * 3 + header.fileBytes + 16 * MiB;
        [[fallthrough]];
    case ImageFormat::Tga:
    case ImageFormat::Pcx:
    case ImageFormat::Ico:
    case ImageFormat::Cursor:
    case ImageFormat::Dcx:
    case ImageFormat::OtherMagick:
        // ImageMagick holds 16 bits per sample of its own copy, and builds colour tables of
        // about 133 MB when it reduces a picture to a palette again.
        return pixels * pages * 16 + (header.bitsPerPixel <= 8 ? 136 * MiB : 0) + 16 * MiB;
    default:
        break;
    }
    const std::int64_t sampleBytes = header.bitsPerPixel > 32 ? 2 : 1;
    const std::int64_t bands = std::max(header.bands, 3);
    // libwebp scales a lossy still picture as it decodes it, holding a few rows of the file's
    // size (an alpha plane it would hold whole); the encoder then holds the new picture several
    // times over.
    if (header.format == ImageFormat::WebP && !header.lossless && header.bands == 3 && pages == 1) {
        const std::int64_t shrink = WebpShrinkOnLoad(header, width, height);
        const std::int64_t target = static_cast<std::int64_t>(width) * height;
        return pixels / (shrink * shrink) * bands * 2 + target * 8 + 16 * MiB;
    }
    // A PNG decoded whole holds its picture and its file, and with an alpha that is not opaque
    // a quarter more at most for the weighted colour; one that libpng decodes and shrinks row
    // by row (without alpha, not interlaced) holds well under one copy of the picture.
    if (DecodesPngWhole(header))
        return pixels * bands * sampleBytes * 5 / 4 + header.fileBytes + 16 * MiB;
    const bool alpha = header.bands == 2 || header.bands == 4;
    if (header.format == ImageFormat::Png && header.png && !header.png->interlaced && !alpha &&
        pages == 1)
        return pixels * bands * sampleBytes + 16 * MiB;
    return pixels * pages * bands * sampleBytes * 2 + 16 * MiB;
}

const std::string& ImagingControl::LastError() const {
    return state_->lastError;
}

std::optional<PreviewPicture> ImagingControl::Preview(int maxSide) const {
    if (!state_->header || maxSide < 1)
        return std::nullopt;
    const ImageHeader& header = *state_->header;
    if (PixelLimitBreach(header, std::min(header.width, maxSide), std::min(header.height, maxSide)))
        return std::nullopt;
    try {
        const vips::VImage image = BuildPreviewImage(header, maxSide);
        std::size_t bytes = 0;
        const std::unique_ptr<void, decltype(&g_free)> memory(image.write_to_memory(&bytes),
                                                              g_free);
        PreviewPicture picture;
        picture.width = image.width();
        picture.height = image.height();
        const auto* pixels = static_cast<const std::uint8_t*>(memory.get());
        picture.rgb.assign(pixels, pixels + bytes);
        return picture;
    } catch (const vips::VError&) {
        vips_error_clear();
        return std::nullopt;
    }
}

} // namespace kovi
