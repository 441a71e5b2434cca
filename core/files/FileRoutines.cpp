#include "core/files/FileRoutines.h"

#include <system_error>

namespace kovi {

bool FileExists(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

void ResetFileAttributes(const std::filesystem::path& path) {
    namespace fs = std::filesystem;
    if (!FileExists(path))
        return;
    std::error_code error;
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add, error);
}

} // namespace kovi
