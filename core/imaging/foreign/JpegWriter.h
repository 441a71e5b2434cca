#pragma once

#include <optional>
#include <string>

#include <vips/vips8>

#include "core/files/ByteSink.h"
#include "core/imaging/foreign/RowStream.h"
#include "core/imaging/header/HeaderPeek.h"

namespace kovi {

struct JpegWriteSettings {
    int luminanceFactor = 0;
    int chrominanceFactor = 0;
    // Sampling and progressive mode of the file the image came from, kept when it fits.
    std::optional<JpegFacts> source;
    Computing computing = Computing::InStrips;
};

// Encodes an 8-bit grey, RGB or CMYK image as JPEG with libjpeg, each factor scaling its own
// quantisation table, Huffman tables optimised; EXIF (with the new pixel size), ICC profile,
// XMP and IPTC go with it. Rows are computed and encoded strip by strip.
bool WriteJpeg(const vips::VImage& image, const JpegWriteSettings& settings, ByteSink& out,
               std::string& error);

} // namespace kovi
