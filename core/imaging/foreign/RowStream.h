#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include <vips/vips8>

namespace kovi {

// Receives `count` rows of pixels, top to bottom; false stops the stream.
using RowConsumer = std::function<bool(const std::uint8_t* const* rows, int count)>;

// Computes the image strip by strip and hands the rows to `consume` in order, one strip at a
// time; libvips computes the strips ahead on its worker threads. The whole image is never
// held in memory. Returns false when computing failed (reason in `error`) or when `consume`
// stopped the stream (its own reason stands; `error` is left alone).
bool StreamRows(const vips::VImage& image, const RowConsumer& consume, std::string& error);

} // namespace kovi
