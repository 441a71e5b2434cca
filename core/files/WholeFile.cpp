#include "core/files/WholeFile.h"

#include "core/files/SafeReplace.h"
#include "platform/system/File.h"

#include <optional>

namespace kovi {
namespace {

constexpr int MaxLinks = 40;
constexpr int CreateAttempts = 64;
constexpr std::uint32_t NewFileMode = 0666;

// The file a chain of symbolic links ends at, which need not exist yet.
std::filesystem::path EndOfLinks(std::filesystem::path path) {
    std::error_code error;
    for (int hop = 0; hop < MaxLinks && std::filesystem::is_symlink(path, error); ++hop) {
        const std::filesystem::path next = std::filesystem::read_symlink(path, error);
        if (error)
            break;
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return path;
}

std::error_code WriteInPlace(const std::filesystem::path& path, std::string_view bytes) {
    File file(path, OpenMode::CreateOrTruncate, NewFileMode);
    if (!file.isOpen())
        return file.openError();
    std::error_code error = file.writeAll(bytes.data(), bytes.size());
    if (!error)
        error = file.sync();
    const std::error_code closed = file.close();
    return error ? error : closed;
}

} // namespace

std::error_code WriteWholeFile(const std::filesystem::path& path, std::string_view bytes) {
    const std::filesystem::path target = EndOfLinks(path);
    std::error_code error;
    const std::optional<FileStatus> existing = StatusOf(target, error);
    if (existing && existing->regular && existing->links > 1)
        return WriteInPlace(target, bytes);

    std::filesystem::path folder = target.parent_path();
    if (folder.empty())
        folder = ".";
    File file;
    std::filesystem::path temporary;
    for (int attempt = 0; attempt < CreateAttempts && !file.isOpen(); ++attempt) {
        temporary = folder / NewTemporaryFileName();
        file = File(temporary, OpenMode::CreateNew, existing ? 0600 : NewFileMode);
        if (!file.isOpen() && file.openError() != std::errc::file_exists)
            break;
    }
    if (!file.isOpen()) {
        const bool locked = file.openError() == std::errc::permission_denied ||
                            file.openError() == std::errc::read_only_file_system;
        return existing && existing->regular && locked ? WriteInPlace(target, bytes)
                                                       : file.openError();
    }

    error = file.writeAll(bytes.data(), bytes.size());
    if (!error)
        error = file.sync();
    if (!error && existing) {
        // Best effort, as a plain write keeps both; a file system without owners refuses them.
        if (file.setOwner(existing->owner, existing->group))
            file.setGroup(existing->group);
        file.setPermissions(existing->permissions);
    }
    if (const std::error_code closed = file.close(); !error)
        error = closed;
    if (!error)
        std::filesystem::rename(temporary, target, error);
    if (error) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
    }
    return error;
}

} // namespace kovi
