#pragma once

#include <filesystem>

namespace kovi {

// True when something (a file or a folder) exists at the path. Never throws.
bool FileExists(const std::filesystem::path& path);

// Makes an existing file writable by its owner so that it can be replaced or deleted; every
// other mode bit is left alone. Failures are ignored: the caller finds out when it writes.
void ResetFileAttributes(const std::filesystem::path& path);

} // namespace kovi
