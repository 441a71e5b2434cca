#pragma once

#include <optional>

#include <vips/vips8>

namespace kovi {

// libvips' Lanczos3 resize of an 8-bit picture read top to bottom, to width x height, with the
// same arithmetic and so the same bytes, but with its masks kept from one picture to the next:
// libvips builds them, and compiles vector code for them, for every picture, which took longer
// than shrinking a thumbnail. Nothing is computed until the result is read.
//
// Empty where it would not give libvips' bytes: another sample format, a side not reduced or
// reduced by four or more (libvips then box-shrinks first), or a libvips whose result on a
// probe picture differs from this one's.
std::optional<vips::VImage> ReduceAsResizeWould(const vips::VImage& page, int width, int height);

} // namespace kovi
