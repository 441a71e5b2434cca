#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kovi {

// Lower-cases UTF-8 text character by character; bytes that are no valid UTF-8 are kept as
// they are, so any path can be compared.
std::string FoldCase(std::string_view text);

// Whether the batch run leaves this file alone: its path contains "." followed by one of the
// extensions, or one of the folder entries, anywhere, without regard to case. An empty
// extension entry therefore matches every path with a ".", an empty folder entry every path.
bool IsExcluded(const std::filesystem::path& path, const std::vector<std::string>& extensions,
                const std::vector<std::string>& folders);

// Reads both list files afresh (a change saved between two files applies to the next one)
// and tests the path against them.
bool IsExcludedByListFiles(const std::filesystem::path& path,
                           const std::filesystem::path& extensionsFile,
                           const std::filesystem::path& foldersFile);

} // namespace kovi
