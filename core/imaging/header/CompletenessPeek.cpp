#include "core/imaging/header/HeaderPeek.h"

#include <cctype>
#include <limits>

namespace kovi {
namespace {

constexpr std::size_t kScanWindow = 64 * 1024;
constexpr long kGifMaxBlocks = 16'000'000;
constexpr std::uint8_t kGifExtension = 0x21;
constexpr std::uint8_t kGifImage = 0x2C;
constexpr std::uint8_t kGifTrailer = 0x3B;
constexpr std::uint8_t kGifColourTableFlag = 0x80;
constexpr std::size_t kPnmHeaderMax = 4096;
constexpr int kPnmMaxDigits = 10;
constexpr std::uint64_t kPnmLargestSide = std::uint64_t{1} << 31;

// Byte by byte through a file, a window at a time: walking thousands of small blocks must not
// cost a read each.
class Scanner {
public:
    explicit Scanner(HeaderReader& reader) : reader_(reader) {}

    std::optional<std::uint8_t> at(std::uint64_t position) {
        if (position < base_ || position - base_ >= window_.size()) {
            window_ = reader_.read(position, kScanWindow);
            base_ = position;
            if (window_.empty())
                return std::nullopt;
        }
        return window_[static_cast<std::size_t>(position - base_)];
    }

private:
    HeaderReader& reader_;
    std::uint64_t base_ = 0;
    std::vector<std::uint8_t> window_;
};

// Steps over a chain of data sub-blocks (a length byte, that many bytes, ... a zero length).
bool SkipSubBlocks(Scanner& scanner, std::uint64_t& at, long& budget) {
    while (--budget > 0) {
        const auto length = scanner.at(at);
        if (!length)
            return false;
        at += 1 + *length;
        if (*length == 0)
            return true;
    }
    return false;
}

std::uint64_t ColourTableBytes(std::uint8_t flags) {
    return (flags & kGifColourTableFlag) != 0 ? std::uint64_t{3} << ((flags & 7) + 1) : 0;
}

// The next decimal number of a PNM header, after blanks and comments.
std::optional<std::uint64_t> PnmNumber(const std::vector<std::uint8_t>& b, std::size_t& at) {
    while (at < b.size()) {
        if (b[at] == '#') {
            while (at < b.size() && b[at] != '\n' && b[at] != '\r')
                ++at;
        } else if (std::isspace(b[at])) {
            ++at;
        } else {
            break;
        }
    }
    std::uint64_t value = 0;
    int digits = 0;
    for (; at < b.size() && std::isdigit(b[at]); ++at, ++digits) {
        if (digits == kPnmMaxDigits)
            return std::nullopt;
        value = value * 10 + (b[at] - '0');
    }
    if (digits == 0)
        return std::nullopt;
    return value;
}

} // namespace

bool GifComplete(HeaderReader& reader) {
    Scanner scanner(reader);
    const auto screenFlags = scanner.at(10);
    if (!screenFlags)
        return false;
    std::uint64_t at = 13 + ColourTableBytes(*screenFlags);
    long budget = kGifMaxBlocks;
    while (--budget > 0) {
        const auto block = scanner.at(at);
        if (!block)
            return false;
        if (*block == kGifTrailer)
            return true;
        if (*block == kGifExtension) {
            at += 2;
        } else if (*block == kGifImage) {
            const auto imageFlags = scanner.at(at + 9);
            if (!imageFlags)
                return false;
            at += 10 + ColourTableBytes(*imageFlags) + 1; // then the LZW code size
        } else {
            return false;
        }
        if (!SkipSubBlocks(scanner, at, budget))
            return false;
    }
    return false;
}

bool PnmComplete(HeaderReader& reader, std::uint64_t fileBytes) {
    const auto b = reader.read(0, kPnmHeaderMax);
    if (b.size() < 2 || b[0] != 'P' || (b[1] != '4' && b[1] != '5' && b[1] != '6'))
        return true; // text forms and float maps carry no size to check against
    std::size_t at = 2;
    const auto width = PnmNumber(b, at);
    const auto height = PnmNumber(b, at);
    const auto maximum = b[1] == '4' ? std::optional<std::uint64_t>(1) : PnmNumber(b, at);
    if (!width || !height || !maximum || at >= b.size())
        return false;
    if (*width == 0 || *height == 0 || *width > kPnmLargestSide || *height > kPnmLargestSide)
        return false;
    const std::uint64_t dataStart = at + 1; // one blank ends the header
    std::uint64_t rowBytes = (*width + 7) / 8;
    if (b[1] != '4')
        rowBytes = *width * (b[1] == '6' ? 3 : 1) * (*maximum > 255 ? 2 : 1);
    return fileBytes >= dataStart && (fileBytes - dataStart) / *height >= rowBytes;
}

} // namespace kovi
