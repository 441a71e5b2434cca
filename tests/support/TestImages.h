#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <vips/vips8>

namespace kovi::testing {

// Red rises from left to right, green from top to bottom, blue is fixed: a flipped, mirrored
// or shifted result shows in the corners. A fourth band is an alpha that rises left to right.
vips::VImage ColourRamp(int width, int height, int bands = 3);
vips::VImage GreyRamp(int width, int height);
vips::VImage Solid(int width, int height, const std::vector<double>& colour);
// The ramp with a black ink band added, as CMYK.
vips::VImage Cmyk(int width, int height);
// The image at 16 bits per sample, its full range kept.
vips::VImage Sixteen(const vips::VImage& image);

// The image's pixels as bytes, row after row, for comparing decoders byte for byte.
std::vector<std::uint8_t> PixelBytes(const vips::VImage& image);

// Frames stacked for an animated or multi-page save, with delays in milliseconds and loop 0.
vips::VImage Animation(const std::vector<vips::VImage>& frames, int delay);

// Saves in the format the name's suffix says, with libvips save options written as
// "palette,bitdepth=4". BMP, TGA, PCX and ICO go through ImageMagick, which libvips never
// picks by suffix.
void SaveAs(const vips::VImage& image, const std::filesystem::path& path,
            const std::string& options = "");

// The image at `path` as it is stored, for checks on what a save wrote: its header and
// metadata, and its pixels decoded once into memory for reading them at will.
struct Saved {
    vips::VImage header;
    vips::VImage pixels;
};
Saved Reload(const std::filesystem::path& path);
// Whether each band differs by at most `tolerance`.
bool Near(const std::vector<double>& actual, const std::vector<double>& expected, double tolerance);

// An integer metadata field of a reloaded image, -1 when it has none.
int IntField(const vips::VImage& image, const char* name);
// The leading number of a libvips EXIF field ("640 (640, Long, ...)"), -1 when missing.
int ExifNumber(const vips::VImage& image, const char* field);
// The bytes of a blob field, empty when it has none.
std::string BlobBytes(const vips::VImage& image, const char* field);

// An ICC profile (libvips' sRGB) and the XMP packet kTestXmp, to carry through saves.
vips::VImage WithIccAndXmp(const vips::VImage& image);
extern const std::string kTestXmp;
std::string SrgbProfile();
// An EXIF block from a camera called kCameraMake, which says the picture is 10 x 10 pixels.
vips::VImage WithCameraExif(const vips::VImage& image);
inline constexpr const char* kCameraMake = "Kovi Test Camera";

} // namespace kovi::testing
