#pragma once

#include <optional>
#include <string_view>

namespace kovi {

// The box every image must fit in, as read from a resolution text such as "640x480".
// The sides keep what the text says (a custom entry may be " 800" or "12.5"); the side that
// decides a fit is rounded to a whole pixel.
struct TargetResolution {
    double width = 0;
    double height = 0;
};

// Splits the text at every lower-case "x" and reads the first two pieces as numbers (blanks
// around, a sign, "," as thousands separator, "." as decimal point and an exponent are
// accepted). Anything else, a side below 1 or above 32767 gives nothing.
std::optional<TargetResolution> ParseTargetResolution(std::string_view text);

struct PixelSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

// Whether an image of this size is larger than the target in either side (equal is not).
bool NeedsResize(PixelSize image, TargetResolution target);

// The size that fits inside the target with the aspect ratio kept. The side whose ratio to
// the target is larger decides and takes the target's value; the other is scaled and rounded
// half to even. A side that would round to 0 becomes 1.
PixelSize FitInside(PixelSize image, TargetResolution target);

} // namespace kovi
