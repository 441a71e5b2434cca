#include "core/imaging/foreign/JpegDecoder.h"

#include "core/imaging/foreign/JpegErrors.h"

namespace kovi {
namespace {

// Only counted: one warning is enough to leave the file to libvips.
void CountWarning(j_common_ptr info, int level) {
    if (level < 0)
        ++info->err->num_warnings;
}

// Owns libjpeg's decompressor; destroying it also frees whatever a failed step left behind.
struct Decompressor {
    jpeg_decompress_struct info{};
    JpegErrors errors{};

    Decompressor() { info.err = JumpingJpegErrors(errors, CountWarning); }
    ~Decompressor() { jpeg_destroy_decompress(&info); }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;
};

// Each function below arms setjmp before calling into libjpeg and holds nothing with a
// destructor, so a longjmp out of libjpeg lands here and returns false cleanly.

bool ReadHeader(Decompressor* decompressor, const std::uint8_t* data, std::size_t size,
                int shrink) {
    if (setjmp(decompressor->errors.jump))
        return false;
    jpeg_create_decompress(&decompressor->info);
    jpeg_mem_src(&decompressor->info, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&decompressor->info, TRUE) != JPEG_HEADER_OK)
        return false;
    decompressor->info.scale_num = 1;
    decompressor->info.scale_denom = static_cast<unsigned int>(shrink);
    jpeg_calc_output_dimensions(&decompressor->info);
    return true;
}

// The rows of the picture only, as libvips reads them: what follows is never looked at. libjpeg
// may give a row more pixels than the picture has; they spill into the next row, which
// overwrites them, and past the last into room left for them.
bool ReadRows(Decompressor* decompressor, std::uint8_t* pixels, std::size_t rowBytes,
              JDIMENSION rows) {
    if (setjmp(decompressor->errors.jump))
        return false;
    jpeg_decompress_struct* info = &decompressor->info;
    jpeg_start_decompress(info);
    while (info->output_scanline < rows) {
        JSAMPROW row = pixels + info->output_scanline * rowBytes;
        if (jpeg_read_scanlines(info, &row, 1) != 1)
            return false;
    }
    return info->err->num_warnings == 0;
}

} // namespace

std::optional<DecodedPicture> DecodePlainJpeg(std::span<const std::uint8_t> file, int shrink,
                                              std::int64_t maxPixels) {
    Decompressor decompressor;
    if (!ReadHeader(&decompressor, file.data(), file.size(), shrink) ||
        decompressor.errors.manager.num_warnings != 0)
        return std::nullopt;
    const jpeg_decompress_struct& info = decompressor.info;
    const bool plain = (info.out_color_space == JCS_GRAYSCALE && info.output_components == 1) ||
                       (info.out_color_space == JCS_RGB && info.output_components == 3);
    // libvips' loader cuts libjpeg's reduced picture, whose sides are rounded up, to sides
    // rounded down.
    const auto width = static_cast<JDIMENSION>(info.image_width / static_cast<unsigned>(shrink));
    const auto height = static_cast<JDIMENSION>(info.image_height / static_cast<unsigned>(shrink));
    const std::int64_t pixels = std::int64_t{width} * height;
    if (!plain || width == 0 || height == 0 || width > info.output_width ||
        height > info.output_height || pixels > maxPixels)
        return std::nullopt;
    DecodedPicture decoded;
    decoded.width = static_cast<int>(width);
    decoded.height = static_cast<int>(height);
    decoded.bands = info.output_components;
    const std::size_t rowBytes = std::size_t{width} * static_cast<std::size_t>(decoded.bands);
    decoded.bytes = rowBytes * height;
    // Room for the last row as libjpeg writes it.
    const std::size_t lastRowBytes =
        std::size_t{info.output_width} * static_cast<std::size_t>(decoded.bands);
    decoded.pixels.reset(
        static_cast<std::uint8_t*>(g_malloc(decoded.bytes - rowBytes + lastRowBytes)));
    if (!ReadRows(&decompressor, decoded.pixels.get(), rowBytes, height))
        return std::nullopt;
    return decoded;
}

} // namespace kovi
