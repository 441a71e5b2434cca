#pragma once

#include <cstdint>
#include <string>

#include <vips/vips8>

namespace kovi::testing {

// The bytes of `image` saved by libvips in the format of `suffix` (".png", ...).
std::string Encoded(const vips::VImage& image, const char* suffix,
                    vips::VOption* options = nullptr);

// Small, otherwise valid files whose headers claim the given size: a few bytes that would ask
// a careless decoder for gigabytes.
std::string JpegClaiming(unsigned width, unsigned height);
std::string PngClaiming(std::uint32_t width, std::uint32_t height);
std::string GifClaiming(unsigned width, unsigned height); // the screen and the first frame
std::string BmpClaiming(std::uint32_t width, std::uint32_t height);
std::string TiffClaiming(std::uint32_t width, std::uint32_t height);

// A complete, valid GIF of a few dozen bytes whose frames cover width x height: the picture
// data ends after its first pixel, which GIF allows. Decoding it takes memory for the whole
// frame.
std::string GifBomb(unsigned width, unsigned height, int frames = 1);

} // namespace kovi::testing
