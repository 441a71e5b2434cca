#pragma once

#include <filesystem>

namespace kovi {

// The folder that holds the programs, the help file and the three list files.
std::filesystem::path ProgramFolder();
// Points ProgramFolder() somewhere else (tests); an empty path restores the real one.
void SetProgramFolder(const std::filesystem::path& folder);

std::filesystem::path CustomResolutionsFile();  // custom.dat
std::filesystem::path ExcludedFoldersFile();    // exflds.dat
std::filesystem::path ExcludedExtensionsFile(); // exts.dat
std::filesystem::path HelpFile();               // kovi_rzk_lite.chm

} // namespace kovi
