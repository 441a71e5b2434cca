#pragma once

#include <filesystem>

namespace kovi {

// Where the program's own files live. main() finds them once and hands them to the windows and
// the run; nothing else looks them up.
struct ProgramFiles {
    std::filesystem::path folder;             // the help class's bare names are looked for here
    std::filesystem::path helpFile;           // kovi_rzk_lite.chm
    std::filesystem::path customResolutions;  // custom.dat
    std::filesystem::path excludedFolders;    // exflds.dat
    std::filesystem::path excludedExtensions; // exts.dat
    std::filesystem::path exportFolder;       // where the export dialog starts

    // Everything in `folder`, as a build keeps it beside the programs.
    static ProgramFiles In(const std::filesystem::path& folder);
};

// The files of programs in `programFolder`. Installed (the data folder share/kovi-rzk-lite holds
// the help file beside the programs' bin folder), the programs' folder is not the user's to
// write: the help file is read from the data folder, the list files live in the user's
// `configHome`/kovi-rzk-lite, made when first needed, and exports start in `home`. Otherwise all
// of them are beside the programs.
ProgramFiles ProgramFilesFor(const std::filesystem::path& programFolder,
                             const std::filesystem::path& configHome,
                             const std::filesystem::path& home);

// The files of the running program, for this user.
ProgramFiles LocateProgramFiles();

} // namespace kovi
