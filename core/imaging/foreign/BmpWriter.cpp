#include "core/imaging/foreign/BmpWriter.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include <libimagequant.h>

#include "core/imaging/base/DecodedPicture.h"
#include "core/imaging/header/BmpLayout.h"

namespace kovi {
namespace {

constexpr std::uint32_t kInfoHeaderBytes = 40;
constexpr std::size_t kLongestRun = 255;
constexpr std::size_t kShortestLiteral = 3; // shorter stretches are cheaper as runs of one

void PutLe16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    PutLe16(out, value & 0xFFFF);
    PutLe16(out, value >> 16);
}

std::uint32_t PixelsPerMetre(double pixelsPerMillimetre) {
    const double value = std::round(pixelsPerMillimetre * bmp::kMillimetresPerMetre);
    return value > 0 && value < INT32_MAX ? static_cast<std::uint32_t>(value) : 0;
}

struct Picture {
    std::unique_ptr<std::uint8_t, GFreeDeleter> rgb;
    std::size_t width = 0;
    std::size_t height = 0;
    const std::uint8_t* row(std::size_t y) const { return rgb.get() + y * width * 3; }
};

// Both headers; the sizes of the file and of the pixel data are filled in at the end.
std::vector<std::uint8_t> Headers(const vips::VImage& image, const BmpWriteSettings& settings,
                                  std::uint32_t paletteEntries) {
    std::vector<std::uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    PutLe32(out, 0); // file size
    PutLe32(out, 0); // reserved
    PutLe32(out, static_cast<std::uint32_t>(bmp::kFileHeaderBytes + kInfoHeaderBytes +
                                            4 * paletteEntries));
    PutLe32(out, kInfoHeaderBytes);
    PutLe32(out, static_cast<std::uint32_t>(image.width()));
    PutLe32(out, static_cast<std::uint32_t>(image.height()));
    PutLe16(out, 1); // planes
    PutLe16(out, static_cast<std::uint32_t>(settings.bitsPerPixel));
    PutLe32(out, settings.runLength ? bmp::kRunLength8 : bmp::kUncompressed);
    PutLe32(out, 0); // pixel data size
    PutLe32(out, PixelsPerMetre(image.xres()));
    PutLe32(out, PixelsPerMetre(image.yres()));
    PutLe32(out, paletteEntries);
    PutLe32(out, 0); // all colours are important
    return out;
}

void FinishSizes(std::vector<std::uint8_t>& out, std::size_t pixelOffset) {
    const auto put = [&out](std::size_t at, std::size_t value) {
        for (int i = 0; i < 4; ++i)
            out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    };
    put(2, out.size());
    put(bmp::kFileHeaderBytes + 20, out.size() - pixelOffset);
}

void AppendColourRows(const Picture& picture, std::vector<std::uint8_t>& out) {
    const std::size_t stride = bmp::RowBytes(picture.width, 24);
    for (std::size_t y = picture.height; y-- > 0;) {
        const std::uint8_t* in = picture.row(y);
        const std::size_t start = out.size();
        out.resize(start + stride, 0);
        std::uint8_t* bgr = out.data() + start;
        for (std::size_t x = 0; x < picture.width; ++x, in += 3, bgr += 3) {
            bgr[0] = in[2];
            bgr[1] = in[1];
            bgr[2] = in[0];
        }
    }
}

void AppendPackedRows(const std::vector<std::uint8_t>& indices, std::size_t width,
                      std::size_t height, int bits, std::vector<std::uint8_t>& out) {
    const std::size_t stride = bmp::RowBytes(width, bits);
    const std::size_t perByte = static_cast<std::size_t>(8 / bits);
    for (std::size_t y = height; y-- > 0;) {
        const std::uint8_t* in = indices.data() + y * width;
        const std::size_t start = out.size();
        out.resize(start + stride, 0);
        for (std::size_t x = 0; x < width; ++x) {
            const int shift = 8 - bits * static_cast<int>(1 + x % perByte);
            out[start + x / perByte] |= static_cast<std::uint8_t>(in[x] << shift);
        }
    }
}

std::size_t RunAt(const std::uint8_t* row, std::size_t x, std::size_t width) {
    std::size_t run = 1;
    while (x + run < width && run < kLongestRun && row[x + run] == row[x])
        ++run;
    return run;
}

// Runs of two or more as runs; what lies between them as literal stretches where they are
// long enough to pay for their escape.
void AppendRunLengthRow(const std::uint8_t* row, std::size_t width,
                        std::vector<std::uint8_t>& out) {
    std::size_t x = 0;
    while (x < width) {
        const std::size_t run = RunAt(row, x, width);
        if (run >= 2) {
            out.push_back(static_cast<std::uint8_t>(run));
            out.push_back(row[x]);
            x += run;
            continue;
        }
        std::size_t end = x + 1;
        while (end < width && end - x < kLongestRun && RunAt(row, end, width) < 2)
            ++end;
        const std::size_t length = end - x;
        if (length < kShortestLiteral) {
            for (; x < end; ++x) {
                out.push_back(1);
                out.push_back(row[x]);
            }
            continue;
        }
        out.push_back(0);
        out.push_back(static_cast<std::uint8_t>(length));
        out.insert(out.end(), row + x, row + end);
        if (length % 2 != 0)
            out.push_back(0);
        x = end;
    }
}

void AppendRunLengthRows(const std::vector<std::uint8_t>& indices, std::size_t width,
                         std::size_t height, std::vector<std::uint8_t>& out) {
    for (std::size_t y = height; y-- > 0;) {
        AppendRunLengthRow(indices.data() + y * width, width, out);
        out.push_back(0);
        out.push_back(y == 0 ? 1 : 0); // end of bitmap after the last row, else end of line
    }
}

struct QuantiserRelease {
    void operator()(liq_attr* attr) const { liq_attr_destroy(attr); }
    void operator()(liq_image* image) const { liq_image_destroy(image); }
    void operator()(liq_result* result) const { liq_result_destroy(result); }
};

// The picture's own table of at most 2^bits colours, and each pixel's index into it.
bool Quantise(const Picture& picture, int bits, std::vector<std::uint8_t>& palette,
              std::vector<std::uint8_t>& indices) {
    const std::size_t pixels = picture.width * picture.height;
    std::vector<std::uint8_t> rgba(pixels * 4);
    const std::uint8_t* rgb = picture.rgb.get();
    for (std::size_t i = 0; i < pixels; ++i) {
        std::memcpy(&rgba[4 * i], rgb + 3 * i, 3);
        rgba[4 * i + 3] = 255;
    }
    const std::unique_ptr<liq_attr, QuantiserRelease> attr(liq_attr_create());
    if (!attr || liq_set_max_colors(attr.get(), 1 << bits) != LIQ_OK)
        return false;
    const std::unique_ptr<liq_image, QuantiserRelease> image(
        liq_image_create_rgba(attr.get(), rgba.data(), static_cast<int>(picture.width),
                              static_cast<int>(picture.height), 0));
    if (!image)
        return false;
    liq_result* quantised = nullptr;
    if (liq_image_quantize(image.get(), attr.get(), &quantised) != LIQ_OK)
        return false;
    const std::unique_ptr<liq_result, QuantiserRelease> result(quantised);
    indices.resize(pixels);
    if (liq_write_remapped_image(result.get(), image.get(), indices.data(), indices.size()) !=
        LIQ_OK)
        return false;
    const liq_palette* colours = liq_get_palette(result.get());
    for (unsigned int i = 0; i < colours->count; ++i) {
        const liq_color& colour = colours->entries[i];
        palette.insert(palette.end(), {colour.b, colour.g, colour.r, 0});
    }
    return true;
}

} // namespace

bool WriteBmp(const vips::VImage& image, const BmpWriteSettings& settings, ByteSink& out,
              std::string& error) {
    vips::VImage rgb = image.colourspace(VIPS_INTERPRETATION_sRGB).cast(VIPS_FORMAT_UCHAR);
    if (rgb.bands() > 3)
        rgb = rgb.extract_band(0, vips::VImage::option()->set("n", 3));
    std::size_t size = 0;
    Picture picture{std::unique_ptr<std::uint8_t, GFreeDeleter>(
                        static_cast<std::uint8_t*>(rgb.write_to_memory(&size))),
                    static_cast<std::size_t>(rgb.width()), static_cast<std::size_t>(rgb.height())};
    if (!picture.rgb || size != picture.width * picture.height * 3) {
        error = "the image could not be written";
        return false;
    }
    std::vector<std::uint8_t> file;
    std::size_t pixelOffset = 0;
    if (settings.bitsPerPixel == 24) {
        file = Headers(rgb, settings, 0);
        pixelOffset = file.size();
        AppendColourRows(picture, file);
    } else {
        std::vector<std::uint8_t> palette;
        std::vector<std::uint8_t> indices;
        if (!Quantise(picture, settings.bitsPerPixel, palette, indices)) {
            error = "the image's colours could not be reduced to a palette";
            return false;
        }
        file = Headers(rgb, settings, static_cast<std::uint32_t>(palette.size() / 4));
        file.insert(file.end(), palette.begin(), palette.end());
        pixelOffset = file.size();
        if (settings.runLength)
            AppendRunLengthRows(indices, picture.width, picture.height, file);
        else
            AppendPackedRows(indices, picture.width, picture.height, settings.bitsPerPixel, file);
    }
    FinishSizes(file, pixelOffset);
    if (!out.write(file.data(), file.size())) {
        error = out.error();
        return false;
    }
    return true;
}

} // namespace kovi
