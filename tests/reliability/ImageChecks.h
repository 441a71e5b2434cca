#pragma once

#include "engine/TargetResolution.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kovi::testing {

// What a file is after a run that may have been cut short: the bytes it had, a complete image
// of the size the run gives it, or anything else (which would be a lost picture).
enum class FileState { Original, Resized, Damaged };

// One picture of a test folder, with everything needed to judge it after a run.
struct Picture {
    std::filesystem::path path;
    std::string bytes;  // as it was made
    std::string loader; // the libvips loader that reads it, "jpegload", ...
    PixelSize fitted;   // the size a run gives it
};

struct Decoded {
    PixelSize size; // of one page or frame
    int pages = 1;
    int bands = 0;
    int bandFormat = 0; // VipsBandFormat: 0 uchar, 2 ushort, ...
};

// Reads every page and pixel of the file strictly: a truncated or damaged file gives nothing.
std::optional<Decoded> Decode(const std::filesystem::path& path);

// Reads the whole image strictly (a truncated or damaged file fails) and gives its size; the
// height is of one page or frame. Nothing when it is no complete image.
std::optional<PixelSize> DecodedSize(const std::filesystem::path& path);

// The loader that libvips would use for the file, "" when none.
std::string LoaderOf(const std::filesystem::path& path);

// Writes the picture's bytes back, so that a folder can be run over again.
void Restore(const Picture& picture);

// Original when the bytes are unchanged; Resized when it is a complete image in the same
// format at the fitted size; Damaged otherwise. `why` says what was wrong.
FileState Judge(const Picture& picture, std::string* why = nullptr);

// Whether the file holds exactly these bytes; on failure says how it differs without printing
// a picture's bytes.
::testing::AssertionResult HoldsBytes(const std::filesystem::path& path, const std::string& bytes);

// The program's temporary files in a folder.
std::vector<std::filesystem::path> TemporaryFilesIn(const std::filesystem::path& folder);

// The mean absolute difference per sample between two images of the same size and bands,
// after both are decoded; a negative number when they cannot be compared.
double MeanDifference(const std::filesystem::path& a, const std::filesystem::path& b);

} // namespace kovi::testing
