#include "core/files/RecycledFiles.h"

#include <system_error>
#include <utility>

namespace kovi {
namespace {

// More than the files a run works on ahead of the one whose turn it is.
constexpr std::size_t kMostKeptPerFolder = 16;

bool SameFile(const FileStatus& status, std::uint64_t device, std::uint64_t inode) {
    return status.device == device && status.inode == inode;
}

} // namespace

RecycledFiles::~RecycledFiles() {
    for (const auto& [folder, state] : folders_)
        for (const Kept& kept : state.kept)
            Remove(kept);
}

RecycledFiles::Look RecycledFiles::LookOf(const File& file, const FileStatus& status) {
    return Look{status.owner, status.group, file.inodeFlags(), file.hasExtendedAttributes()};
}

void RecycledFiles::Remove(const Kept& kept) {
    const auto status = LinkStatusOf(kept.path);
    std::error_code ignored;
    if (status && SameFile(*status, kept.device, kept.inode))
        std::filesystem::remove(kept.path, ignored);
}

void RecycledFiles::noteNewFile(const std::filesystem::path& folder, const File& file) {
    {
        const std::lock_guard<std::mutex> held(lock_);
        if (folders_[folder].newFile)
            return;
    }
    std::error_code failure;
    const auto status = file.status(failure);
    if (!status)
        return;
    const auto look = LookOf(file, *status);
    const std::lock_guard<std::mutex> held(lock_);
    folders_[folder].newFile = look;
}

void RecycledFiles::keep(const std::filesystem::path& path, const FileStatus& replaced) {
    const std::filesystem::path folder = path.parent_path();
    std::optional<Look> newFile;
    std::vector<Kept> leftBehind;
    {
        const std::lock_guard<std::mutex> held(lock_);
        // Files are put in place folder by folder: when the run moves on, what it kept in the
        // folder before is not needed again.
        if (folder != currentFolder_) {
            if (const auto before = folders_.find(currentFolder_); before != folders_.end())
                leftBehind = std::exchange(before->second.kept, {});
            currentFolder_ = folder;
        }
        const Folder& state = folders_[folder];
        if (state.kept.size() < kMostKeptPerFolder)
            newFile = state.newFile;
    }
    for (const Kept& kept : leftBehind)
        Remove(kept);

    bool usable = false;
    if (newFile && !newFile->attributes) {
        File file(path, OpenMode::ReadWriteNoFollow);
        std::error_code failure;
        const auto status = file.isOpen() ? file.status(failure) : std::nullopt;
        usable = status && status->regular && status->links == 1 &&
                 SameFile(*status, replaced.device, replaced.inode) &&
                 LookOf(file, *status) == newFile && !file.emptyIfUnshared();
    }
    if (!usable) {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        return;
    }
    const std::lock_guard<std::mutex> held(lock_);
    folders_[folder].kept.push_back({path, replaced.device, replaced.inode});
}

std::optional<RecycledFiles::Taken> RecycledFiles::take(const std::filesystem::path& folder) {
    while (true) {
        Kept kept;
        {
            const std::lock_guard<std::mutex> held(lock_);
            const auto found = folders_.find(folder);
            if (found == folders_.end() || found->second.kept.empty())
                return std::nullopt;
            kept = std::move(found->second.kept.back());
            found->second.kept.pop_back();
        }
        File file(kept.path, OpenMode::ReadWriteNoFollow);
        std::error_code failure;
        const auto status = file.isOpen() ? file.status(failure) : std::nullopt;
        if (status && SameFile(*status, kept.device, kept.inode) && status->size == 0 &&
            status->links == 1)
            return Taken{std::move(kept.path), std::move(file)};
        Remove(kept);
    }
}

} // namespace kovi
