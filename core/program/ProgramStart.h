#pragma once

namespace kovi {

enum class ImageWork {
    Saves,       // quantises palettes and writes images: worth a restart for the libraries
    ReadsHeaders // starts sooner without one
};

// What every program of the house does first thing in main(), before its application object
// exists: the libraries' settings (which may start the program once more), the heap, and the
// names under which its settings store is found.
void StartProgram(char* argv[], ImageWork work);

} // namespace kovi
