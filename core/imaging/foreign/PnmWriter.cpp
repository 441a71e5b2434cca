#include "core/imaging/foreign/PnmWriter.h"

#include <algorithm>
#include <cstdint>

#include "core/imaging/foreign/RowStream.h"

namespace kovi {
namespace {

constexpr int kEightBitMax = 255;
constexpr int kSixteenBitMax = 65535;
constexpr int kBlackBelow = 128;
constexpr std::size_t kPlainLineLength = 70;

// Text lines of a plain file stay within 70 characters, as the format asks.
class PlainText {
public:
    explicit PlainText(std::string& out) : out_(out) {}
    void add(int value) {
        const std::string text = std::to_string(value);
        if (lineLength_ > 0 && lineLength_ + 1 + text.size() > kPlainLineLength) {
            out_ += '\n';
            lineLength_ = 0;
        }
        if (lineLength_ > 0) {
            out_ += ' ';
            ++lineLength_;
        }
        out_ += text;
        lineLength_ += text.size();
    }
    void endRow() {
        if (lineLength_ > 0)
            out_ += '\n';
        lineLength_ = 0;
    }

private:
    std::string& out_;
    std::size_t lineLength_ = 0;
};

int Sample(const std::uint8_t* row, int index, bool sixteenBit) {
    if (!sixteenBit)
        return row[index];
    std::uint16_t value = 0;
    std::copy_n(row + 2 * static_cast<std::ptrdiff_t>(index), sizeof value,
                reinterpret_cast<std::uint8_t*>(&value));
    return value;
}

void AppendBitmapRow(const std::uint8_t* row, int width, bool ascii, std::string& out,
                     PlainText& text) {
    if (ascii) {
        for (int x = 0; x < width; ++x)
            text.add(row[x] < kBlackBelow ? 1 : 0);
        text.endRow();
        return;
    }
    for (int x = 0; x < width; x += 8) {
        unsigned int packed = 0;
        for (int bit = 0; bit < 8; ++bit)
            if (x + bit < width && row[x + bit] < kBlackBelow)
                packed |= 0x80u >> bit;
        out += static_cast<char>(packed);
    }
}

void AppendSampleRow(const std::uint8_t* row, int samples, bool sixteenBit, int maxValue,
                     bool ascii, std::string& out, PlainText& text) {
    for (int i = 0; i < samples; ++i) {
        const int value = std::min(Sample(row, i, sixteenBit), maxValue);
        if (ascii) {
            text.add(value);
        } else if (maxValue > kEightBitMax) {
            out += static_cast<char>(value >> 8);
            out += static_cast<char>(value & 0xFF);
        } else {
            out += static_cast<char>(value);
        }
    }
    if (ascii)
        text.endRow();
}

} // namespace

bool WritePnm(const vips::VImage& source, const PnmWriteSettings& settings, ByteSink& out,
              std::string& error) {
    const bool bitmap = settings.format == ImageFormat::Pbm;
    const int bands = settings.format == ImageFormat::Ppm ? 3 : 1;
    vips::VImage image = source;
    if (image.bands() > bands)
        image = image.extract_band(0, vips::VImage::option()->set("n", bands));
    if (image.bands() != bands) {
        error = "the image has too few colour channels for this format";
        return false;
    }
    const bool sixteenBit = !bitmap && image.format() == VIPS_FORMAT_USHORT;
    if (image.format() != VIPS_FORMAT_UCHAR && !sixteenBit)
        image = image.cast(VIPS_FORMAT_UCHAR);
    const int fullRange = sixteenBit ? kSixteenBitMax : kEightBitMax;
    const int maxValue = settings.maxValue > 0 ? std::min(settings.maxValue, fullRange) : fullRange;

    const char kind = static_cast<char>('0' +
                                        (bitmap       ? 1
                                         : bands == 1 ? 2
                                                      : 3) +
                                        (settings.ascii ? 0 : 3));
    std::string header = std::string("P") + kind + "\n" + std::to_string(image.width()) + " " +
                         std::to_string(image.height()) + "\n";
    if (!bitmap)
        header += std::to_string(maxValue) + "\n";
    if (!out.write(header.data(), header.size())) {
        error = out.error();
        return false;
    }

    const int width = image.width();
    std::string strip;
    const RowConsumer writeRows = [&](const std::uint8_t* const* rows, int count) {
        strip.clear();
        PlainText text(strip);
        for (int y = 0; y < count; ++y) {
            if (bitmap)
                AppendBitmapRow(rows[y], width, settings.ascii, strip, text);
            else
                AppendSampleRow(rows[y], width * bands, sixteenBit, maxValue, settings.ascii, strip,
                                text);
        }
        return out.write(strip.data(), strip.size());
    };
    if (!StreamRows(image, writeRows, error)) {
        if (error.empty())
            error = out.error();
        return false;
    }
    return true;
}

} // namespace kovi
