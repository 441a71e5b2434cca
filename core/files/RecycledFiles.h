#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/system/File.h"

namespace kovi {

// The files that a run's new images took the place of, emptied and kept under temporary names to
// hold the next new images of their folders. A new image is then written into a file that was
// freed a moment ago instead of a new one: on ext4 without a journal, every new file searched
// past all the files deleted in the last minutes, and for a folder of small pictures that search
// took a seventh of the run.
//
// A replaced file is kept only when it can pass for a new one: no other name links to it, no
// one else has it open, it carries no extended attributes (nor do new files there) and its
// owner, group and flags are those that a new file of its folder gets. The rest are removed, as
// a rename would have. Whatever is kept is removed when the run ends; a run killed before
// leaves empty temporary files, which the next run in that folder clears away.
class RecycledFiles {
public:
    RecycledFiles() = default;
    ~RecycledFiles();
    RecycledFiles(const RecycledFiles&) = delete;
    RecycledFiles& operator=(const RecycledFiles&) = delete;

    struct Taken {
        std::filesystem::path path;
        File file;
    };
    // An empty file of `folder`, open under its temporary name, which create() then locks as it
    // does a new one; nothing when there is none that can be used.
    std::optional<Taken> take(const std::filesystem::path& folder);

    // What a new file made in `folder` looks like, for the replaced files to be compared with.
    void noteNewFile(const std::filesystem::path& folder, const File& file);

    // `path`, a temporary name, now names `replaced`, the file a new image took the place of:
    // kept for a later take(), or removed.
    void keep(const std::filesystem::path& path, const FileStatus& replaced);

private:
    // The owner, group and flags of a new file, and whether it has extended attributes.
    struct Look {
        std::uint32_t owner = 0;
        std::uint32_t group = 0;
        std::optional<std::uint32_t> flags;
        bool attributes = false;
        friend bool operator==(const Look&, const Look&) = default;
    };
    struct Kept {
        std::filesystem::path path;
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
    };
    struct Folder {
        std::optional<Look> newFile;
        std::vector<Kept> kept;
    };

    static Look LookOf(const File& file, const FileStatus& status);
    static void Remove(const Kept& kept);

    std::mutex lock_;
    std::map<std::filesystem::path, Folder> folders_;
    // The folder whose files were put in place last; the only one with kept files.
    std::filesystem::path currentFolder_;
};

} // namespace kovi
