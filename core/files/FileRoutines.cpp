#include "core/files/FileRoutines.h"

#include <system_error>

namespace kovi {

bool FileExists(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

void ResetFileAttributes(const std::filesystem::path& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    // A change of mode is a write to the disk's journal even when nothing changes: a cost
    // that every file of a folder of thumbnails paid.
    if (error || (status.permissions() & fs::perms::owner_write) != fs::perms::none)
        return;
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add, error);
}

} // namespace kovi
