#pragma once

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace kovi {

// The three list files beside the program (custom resolutions, excluded folders, excluded
// extensions) share one format: one UTF-8 entry per line, each line ended by CR LF. Readers
// also accept LF and a lone CR; a final line end gives no extra entry, a blank line inside
// the file is an empty entry. A missing or empty file is an empty list.

std::vector<std::string> LoadList(const std::filesystem::path& path);

// Adds one entry at the end, creating the file (and its folder) when it is missing. A file whose
// last line has no line end gets one first.
std::error_code AppendEntry(const std::filesystem::path& path, const std::string& entry);

// Replaces the whole file with these entries (WriteWholeFile); an empty list leaves an empty
// file. A failure keeps the old list.
std::error_code RewriteList(const std::filesystem::path& path,
                            const std::vector<std::string>& entries);

// Deletes the file, also when it is read-only. A file that is already gone is no error.
std::error_code DeleteList(const std::filesystem::path& path);

// Splits text into entries by the readers' rules above.
std::vector<std::string> SplitListText(const std::string& text);

} // namespace kovi
