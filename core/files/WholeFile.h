#pragma once

#include <filesystem>
#include <string_view>
#include <system_error>

namespace kovi {

// Writes `bytes` as the whole content of the file at `path`, so that a failure or a crash
// leaves the file as it was: written beside it under a temporary name, flushed to the disk,
// then renamed over it with the old file's mode and owner. A symbolic link is written through
// to its target. Where no file can be made beside it (a folder the user may not write to) and
// where other hard links name it, an existing file is written in place, as a plain write
// would.
std::error_code WriteWholeFile(const std::filesystem::path& path, std::string_view bytes);

} // namespace kovi
