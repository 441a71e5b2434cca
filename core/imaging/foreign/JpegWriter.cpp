#include "core/imaging/foreign/JpegWriter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/imaging/foreign/JpegErrors.h" // jerror.h builds on the jpeglib.h it includes

#include <jerror.h>

#include "core/imaging/foreign/ExifDimensions.h"
#include "core/imaging/foreign/JpegQuality.h"
#include "core/imaging/foreign/RowStream.h"

namespace kovi {
namespace {

constexpr std::size_t kOutputBufferBytes = 64 * 1024;
constexpr unsigned int kMaxMarkerBytes = 65533;
constexpr int kMarkerApp1 = JPEG_APP0 + 1;
constexpr int kMarkerApp13 = JPEG_APP0 + 13;
constexpr char kExifSignature[] = "Exif\0\0";
constexpr char kXmpSignature[] = "http://ns.adobe.com/xap/1.0/";
constexpr double kMillimetresPerInch = 25.4;
constexpr double kMillimetresPerCentimetre = 10.0;
constexpr int kDensityDotsPerInch = 1;
constexpr int kDensityDotsPerCentimetre = 2;

struct Destination {
    jpeg_destination_mgr manager;
    ByteSink* sink;
    std::array<JOCTET, kOutputBufferBytes> buffer;
};

void IgnoreMessage(j_common_ptr, int) {}

void StartBuffer(j_compress_ptr info) {
    auto* destination = reinterpret_cast<Destination*>(info->dest);
    destination->manager.next_output_byte = destination->buffer.data();
    destination->manager.free_in_buffer = destination->buffer.size();
}

boolean FlushFullBuffer(j_compress_ptr info) {
    auto* destination = reinterpret_cast<Destination*>(info->dest);
    if (!destination->sink->write(destination->buffer.data(), destination->buffer.size()))
        ERREXIT(info, JERR_FILE_WRITE);
    StartBuffer(info);
    return TRUE;
}

void FlushLastBuffer(j_compress_ptr info) {
    auto* destination = reinterpret_cast<Destination*>(info->dest);
    const std::size_t used = destination->buffer.size() - destination->manager.free_in_buffer;
    if (used > 0 && !destination->sink->write(destination->buffer.data(), used))
        ERREXIT(info, JERR_FILE_WRITE);
}

// Owns libjpeg's compressor; destroying it also frees whatever a failed step left behind.
struct Compressor {
    jpeg_compress_struct info{};
    JpegErrors errors{};
    Destination destination{};

    explicit Compressor(ByteSink& sink) {
        info.err = JumpingJpegErrors(errors, IgnoreMessage);
        destination.sink = &sink;
        destination.manager.init_destination = StartBuffer;
        destination.manager.empty_output_buffer = FlushFullBuffer;
        destination.manager.term_destination = FlushLastBuffer;
    }
    ~Compressor() { jpeg_destroy_compress(&info); }
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;
};

struct Blob {
    const JOCTET* data = nullptr;
    unsigned int size = 0;
};

// Everything the encoder is told, as plain data: it is read between setjmp and longjmp.
struct EncodeParameters {
    JDIMENSION width;
    JDIMENSION height;
    int components;
    J_COLOR_SPACE colourSpace;
    int horizontalSampling[4];
    int verticalSampling[4];
    bool keepSampling;
    bool progressive;
    int luminanceQuality;
    int chrominanceQuality;
    bool writeJfif;
    int densityUnit; // 0: leave libjpeg's default
    int densityX;
    int densityY;
    Blob exif;
    Blob icc;
    Blob xmp;
    Blob iptc;
};

// Each function below arms setjmp before calling into libjpeg and holds nothing with a
// destructor, so a longjmp out of libjpeg lands here and returns false cleanly.

bool CreateCompressor(Compressor* compressor) {
    if (setjmp(compressor->errors.jump))
        return false;
    jpeg_create_compress(&compressor->info);
    compressor->info.dest = &compressor->destination.manager;
    return true;
}

bool StartCompressor(Compressor* compressor, const EncodeParameters* parameters) {
    if (setjmp(compressor->errors.jump))
        return false;
    jpeg_compress_struct* info = &compressor->info;
    info->image_width = parameters->width;
    info->image_height = parameters->height;
    info->input_components = parameters->components;
    info->in_color_space = parameters->colourSpace;
    jpeg_set_defaults(info);
    jpeg_add_quant_table(info, 0, kStandardLuminanceTable.data(),
                         jpeg_quality_scaling(parameters->luminanceQuality), TRUE);
    jpeg_add_quant_table(info, 1, kStandardChrominanceTable.data(),
                         jpeg_quality_scaling(parameters->chrominanceQuality), TRUE);
    if (parameters->keepSampling)
        for (int c = 0; c < parameters->components; ++c) {
            info->comp_info[c].h_samp_factor = parameters->horizontalSampling[c];
            info->comp_info[c].v_samp_factor = parameters->verticalSampling[c];
        }
    info->optimize_coding = TRUE;
    if (parameters->progressive)
        jpeg_simple_progression(info);
    info->write_JFIF_header = parameters->writeJfif ? TRUE : FALSE;
    if (parameters->densityUnit != 0) {
        info->density_unit = static_cast<UINT8>(parameters->densityUnit);
        info->X_density = static_cast<UINT16>(parameters->densityX);
        info->Y_density = static_cast<UINT16>(parameters->densityY);
    }
    jpeg_start_compress(info, TRUE);

    if (parameters->exif.size > 0)
        jpeg_write_marker(info, kMarkerApp1, parameters->exif.data, parameters->exif.size);
    if (parameters->icc.size > 0)
        jpeg_write_icc_profile(info, parameters->icc.data, parameters->icc.size);
    if (parameters->xmp.size > 0)
        jpeg_write_marker(info, kMarkerApp1, parameters->xmp.data, parameters->xmp.size);
    if (parameters->iptc.size > 0)
        jpeg_write_marker(info, kMarkerApp13, parameters->iptc.data, parameters->iptc.size);
    return true;
}

bool WriteRows(Compressor* compressor, JSAMPARRAY rows, JDIMENSION count) {
    if (setjmp(compressor->errors.jump))
        return false;
    jpeg_write_scanlines(&compressor->info, rows, count);
    return true;
}

bool FinishCompressor(Compressor* compressor) {
    // Armed again: finishing writes the last data and can still fail.
    if (setjmp(compressor->errors.jump))
        return false;
    jpeg_finish_compress(&compressor->info);
    return true;
}

bool SamplingFits(const JpegFacts& facts, int components) {
    if (facts.components != components)
        return false;
    int blocks = 0;
    for (int c = 0; c < components; ++c) {
        const int h = facts.horizontalSampling[static_cast<std::size_t>(c)];
        const int v = facts.verticalSampling[static_cast<std::size_t>(c)];
        if (h < 1 || h > 4 || v < 1 || v > 4)
            return false;
        blocks += h * v;
    }
    return blocks <= C_MAX_BLOCKS_IN_MCU;
}

std::vector<std::uint8_t> BlobField(const vips::VImage& image, const char* name) {
    if (image.get_typeof(name) == 0)
        return {};
    std::size_t length = 0;
    const auto* data = static_cast<const std::uint8_t*>(image.get_blob(name, &length));
    return {data, data + length};
}

std::string StringField(const vips::VImage& image, const char* name) {
    return image.get_typeof(name) != 0 ? image.get_string(name) : std::string();
}

Blob AsBlob(const std::vector<std::uint8_t>& bytes, unsigned int limit) {
    // A marker cannot hold more; such a block is dropped rather than the whole file failing.
    if (bytes.empty() || bytes.size() > limit)
        return {};
    return {bytes.data(), static_cast<unsigned int>(bytes.size())};
}

bool StartsWith(const std::vector<std::uint8_t>& bytes, const char* text, std::size_t length) {
    return bytes.size() >= length && std::memcmp(bytes.data(), text, length) == 0;
}

void SetDensity(const vips::VImage& image, EncodeParameters& parameters) {
    const std::string unit = StringField(image, "resolution-unit");
    double scale = 0;
    if (unit == "in") {
        parameters.densityUnit = kDensityDotsPerInch;
        scale = kMillimetresPerInch;
    } else if (unit == "cm") {
        parameters.densityUnit = kDensityDotsPerCentimetre;
        scale = kMillimetresPerCentimetre;
    } else {
        return;
    }
    parameters.densityX =
        std::clamp(static_cast<int>(std::lround(image.xres() * scale)), 1, 0xFFFF);
    parameters.densityY =
        std::clamp(static_cast<int>(std::lround(image.yres() * scale)), 1, 0xFFFF);
}

} // namespace

bool WriteJpeg(const vips::VImage& source, const JpegWriteSettings& settings, ByteSink& out,
               std::string& error) {
    vips::VImage image = source;
    const int components = image.bands();
    const bool cmyk = image.interpretation() == VIPS_INTERPRETATION_CMYK && components == 4;
    if (image.format() != VIPS_FORMAT_UCHAR || (components != 1 && components != 3 && !cmyk)) {
        error = "JPEG holds only 8-bit grey, RGB or CMYK pixels";
        return false;
    }
    // libjpeg marks CMYK with an Adobe marker, and readers take such data as inverted.
    if (cmyk)
        image = image.invert();

    EncodeParameters parameters{};
    parameters.width = static_cast<JDIMENSION>(image.width());
    parameters.height = static_cast<JDIMENSION>(image.height());
    parameters.components = components;
    parameters.colourSpace = cmyk ? JCS_CMYK : components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    parameters.luminanceQuality = JpegQualityOfFactor(settings.luminanceFactor);
    parameters.chrominanceQuality = JpegQualityOfFactor(settings.chrominanceFactor);
    if (settings.source && components > 1 && SamplingFits(*settings.source, components)) {
        parameters.keepSampling = true;
        for (int c = 0; c < components; ++c) {
            parameters.horizontalSampling[c] =
                settings.source->horizontalSampling[static_cast<std::size_t>(c)];
            parameters.verticalSampling[c] =
                settings.source->verticalSampling[static_cast<std::size_t>(c)];
        }
    }
    parameters.progressive = settings.source && settings.source->progressive;

    std::vector<std::uint8_t> exif = BlobField(image, "exif-data");
    if (!exif.empty()) {
        auto updated = ExifWithDimensions(exif.data(), exif.size(), image.width(), image.height());
        // Rewritten EXIF can outgrow its marker; the block as it was is better than none.
        if (updated.size() <= kMaxMarkerBytes)
            exif = std::move(updated);
        if (!StartsWith(exif, kExifSignature, sizeof kExifSignature - 1))
            exif.clear();
    }
    const std::vector<std::uint8_t> icc = BlobField(image, "icc-profile-data");
    std::vector<std::uint8_t> xmp = BlobField(image, "xmp-data");
    if (!xmp.empty())
        xmp.insert(xmp.begin(), kXmpSignature, kXmpSignature + sizeof kXmpSignature);
    const std::vector<std::uint8_t> iptc = BlobField(image, "iptc-data");
    parameters.exif = AsBlob(exif, kMaxMarkerBytes);
    parameters.icc = icc.empty() ? Blob{} : Blob{icc.data(), static_cast<unsigned int>(icc.size())};
    parameters.xmp = AsBlob(xmp, kMaxMarkerBytes);
    parameters.iptc = AsBlob(iptc, kMaxMarkerBytes);
    // A file with EXIF carries its resolution there; JFIF beside it only confuses readers.
    parameters.writeJfif = parameters.exif.size == 0 && !cmyk;
    if (parameters.writeJfif)
        SetDensity(image, parameters);

    Compressor compressor(out);
    const auto failure = [&]() {
        error = out.error().empty() ? std::string(compressor.errors.message) : out.error();
        return false;
    };
    if (!CreateCompressor(&compressor) || !StartCompressor(&compressor, &parameters))
        return failure();
    std::vector<JSAMPROW> rowPointers;
    const RowConsumer encodeRows = [&](const std::uint8_t* const* rows, int count) {
        // libjpeg's row type is not const, but it only reads the rows it is given.
        rowPointers.resize(static_cast<std::size_t>(count));
        for (int y = 0; y < count; ++y)
            rowPointers[static_cast<std::size_t>(y)] = const_cast<JSAMPROW>(rows[y]);
        return WriteRows(&compressor, rowPointers.data(), static_cast<JDIMENSION>(count));
    };
    if (!StreamRows(image, encodeRows, error, settings.computing))
        return error.empty() ? failure() : false;
    if (!FinishCompressor(&compressor))
        return failure();
    return true;
}

} // namespace kovi
