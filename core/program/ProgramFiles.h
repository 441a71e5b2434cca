#pragma once

#include <filesystem>

namespace kovi {

// Where the program's own files live. main() finds them once and hands them to the windows and
// the run; nothing else looks them up.
struct ProgramFiles {
    std::filesystem::path folder;             // holds the programs; the help class's bare names
    std::filesystem::path helpFile;           // kovi_rzk_lite.chm
    std::filesystem::path customResolutions;  // custom.dat
    std::filesystem::path excludedFolders;    // exflds.dat
    std::filesystem::path excludedExtensions; // exts.dat
    std::filesystem::path exportFolder;       // where the export dialog starts

    // Everything in `folder`, as a build keeps it.
    static ProgramFiles In(const std::filesystem::path& folder);
};

// The files of the running program.
ProgramFiles LocateProgramFiles();

} // namespace kovi
