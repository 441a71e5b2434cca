#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include <vips/vips8>

namespace kovi {

// Receives `count` rows of pixels, top to bottom; false stops the stream.
using RowConsumer = std::function<bool(const std::uint8_t* const* rows, int count)>;

enum class Computing {
    InStrips,  // strip by strip, ahead on libvips' worker threads; never all of it at once
    InOnePiece // all of it at once on the calling thread, for a picture that is small throughout
};

// Computes the image and hands the rows to `consume` in order, a strip (or all of them) at a
// time. Returns false when computing failed (reason in `error`) or when `consume` stopped the
// stream (its own reason stands; `error` is left alone).
bool StreamRows(const vips::VImage& image, const RowConsumer& consume, std::string& error,
                Computing computing = Computing::InStrips);

} // namespace kovi
