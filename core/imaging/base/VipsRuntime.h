#pragma once

#include <optional>
#include <string>

namespace kovi {

// Sets up the heap for images: called first thing in main(), before any thread is started, as
// the heap's arenas are made then; StartVips() calls it too, for programs that do not.
void TuneHeapForImages();

// Lets the OpenMP threads of the libraries under libvips (libimagequant, ImageMagick) sleep
// when idle, and the heap take memory in huge pages. Called first thing in main(), with main's
// argv: as both settings are read before main(), the program may start itself once more, under
// its own name; the programs it starts later see the user's own environment.
void SettleLibraryThreads(char* argv[]);

// The GLIBC_TUNABLES text that adds huge pages for the heap to `tunables` (null when unset), or
// nothing when it already says how the heap should use them.
std::optional<std::string> TunablesWithHugePages(const char* tunables);

// Starts libvips once for the whole program, from any thread. Warnings that libvips and the
// libraries under it print for damaged files are silenced: every file of a folder passes
// through here and a bad one is an ordinary outcome, not a message for the terminal.
void StartVips();

// Loads the libvips modules (ImageMagick, HEIF, JPEG XL, PDF, OpenSlide), which StartVips()
// leaves out for speed. Once per program; later calls return at once.
void LoadImagingModules();

// Makes sure the libvips operation `nickname` ("magickload", "heifsave") can be called, loading
// the modules if it is one of theirs.
void RequireOperation(const std::string& nickname);

// How many threads libvips may use inside one image; 0 gives its default (one per core). When
// files are worked on side by side, one each keeps the cores from being asked twice.
void SetImagingThreads(int threads);

// Takes the text of libvips' error buffer and empties it, so that one file's failure does not
// leak into the reason given for the next. Falls back to `fallback` when the buffer is empty.
std::string TakeVipsError(const std::string& fallback);

} // namespace kovi
