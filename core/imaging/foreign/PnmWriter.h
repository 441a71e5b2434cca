#pragma once

#include <string>

#include <vips/vips8>

#include "core/files/ByteSink.h"
#include "core/imaging/base/ImageFormat.h"

namespace kovi {

struct PnmWriteSettings {
    ImageFormat format = ImageFormat::Ppm; // Pbm, Pgm or Ppm
    bool ascii = false;
    // The largest sample value the file declares; 0 takes the full range of the samples.
    int maxValue = 0;
};

// Writes a bitmap (1 bit, black where the grey is below half), grey map or pixel map, binary
// or plain text as the file was, with the sample range the file had. Streams strip by strip.
bool WritePnm(const vips::VImage& image, const PnmWriteSettings& settings, ByteSink& out,
              std::string& error);

} // namespace kovi
