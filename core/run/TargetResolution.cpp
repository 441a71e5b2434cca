#include "core/run/TargetResolution.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string>

namespace kovi {
namespace {

constexpr double LargestSide = 32767;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Reads a whole piece as a number: blanks around it, an optional sign, digits that may be
// grouped by "," and an optional fraction and exponent.
std::optional<double> ReadNumber(std::string_view piece) {
    while (!piece.empty() && IsBlank(piece.front()))
        piece.remove_prefix(1);
    while (!piece.empty() && IsBlank(piece.back()))
        piece.remove_suffix(1);
    std::string plain;
    std::size_t at = 0;
    if (at < piece.size() && (piece[at] == '+' || piece[at] == '-'))
        plain += piece[at++];
    bool digits = false;
    for (; at < piece.size(); ++at) {
        const char c = piece[at];
        if (std::isdigit(static_cast<unsigned char>(c))) {
            plain += c;
            digits = true;
        } else if (c != ',' || !digits) {
            break;
        }
    }
    if (at < piece.size() && piece[at] == '.') {
        plain += piece[at++];
        for (; at < piece.size() && std::isdigit(static_cast<unsigned char>(piece[at])); ++at) {
            plain += piece[at];
            digits = true;
        }
    }
    if (!digits)
        return std::nullopt;
    if (at < piece.size() && (piece[at] == 'e' || piece[at] == 'E')) {
        plain += piece[at++];
        if (at < piece.size() && (piece[at] == '+' || piece[at] == '-'))
            plain += piece[at++];
        bool exponentDigits = false;
        for (; at < piece.size() && std::isdigit(static_cast<unsigned char>(piece[at])); ++at) {
            plain += piece[at];
            exponentDigits = true;
        }
        if (!exponentDigits)
            return std::nullopt;
    }
    if (at != piece.size())
        return std::nullopt;
    const double value = std::strtod(plain.c_str(), nullptr);
    if (!std::isfinite(value))
        return std::nullopt;
    return value;
}

// Rounds half to even whatever the floating-point environment says.
int RoundHalfEven(double value) {
    const double lower = std::floor(value);
    const double fraction = value - lower;
    double rounded = lower;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(lower, 2.0) != 0.0))
        rounded = lower + 1;
    return static_cast<int>(rounded);
}

} // namespace

std::optional<TargetResolution> ParseTargetResolution(std::string_view text) {
    const auto cut = text.find('x');
    if (cut == std::string_view::npos)
        return std::nullopt;
    const auto rest = text.substr(cut + 1);
    const auto width = ReadNumber(text.substr(0, cut));
    const auto height = ReadNumber(rest.substr(0, rest.find('x')));
    if (!width || !height)
        return std::nullopt;
    // Each side must still be a whole pixel of at least 1 once it decides a fit.
    if (*width < 1 || *height < 1 || *width > LargestSide || *height > LargestSide)
        return std::nullopt;
    return TargetResolution{*width, *height};
}

bool NeedsResize(PixelSize image, TargetResolution target) {
    return image.width > target.width || image.height > target.height;
}

PixelSize FitInside(PixelSize image, TargetResolution target) {
    const double width = image.width;
    const double height = image.height;
    const double widthRatio = width / target.width;
    const double heightRatio = height / target.height;
    PixelSize fitted;
    if (widthRatio < heightRatio) {
        fitted.height = RoundHalfEven(target.height);
        fitted.width = RoundHalfEven((target.height / height) * width);
    } else {
        fitted.width = RoundHalfEven(target.width);
        fitted.height = RoundHalfEven(height * (target.width / width));
    }
    fitted.width = std::max(fitted.width, 1);
    fitted.height = std::max(fitted.height, 1);
    return fitted;
}

} // namespace kovi
