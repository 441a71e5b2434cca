#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <system_error>

namespace kovi {

// What the file system tells of a file.
struct FileStatus {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNanoseconds = 0;
    std::uint64_t links = 0;
    std::uint32_t permissions = 0; // the mode's permission bits, set-id and sticky bits included
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
    bool regular = false;
};

enum class OpenMode {
    Read,              // an existing file
    ReadNoFollow,      // an existing file, not through a link, and without waiting on a pipe
    ReadWriteNoFollow, // the same, read and written
    Write,             // an existing file, written in place
    CreateNew,         // a file that does not exist yet, read and written
    CreateOrTruncate,  // a file made empty, or new, written
};

// An open file, closed when it goes. Each call that can fail says why in a std::error_code of
// the generic category.
class File {
public:
    File() = default;
    // Opens or creates `path`; a new file gets `permissions` less the umask. See isOpen() and
    // openError().
    File(const std::filesystem::path& path, OpenMode mode, std::uint32_t permissions = 0666);
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool isOpen() const { return descriptor_ >= 0; }
    std::error_code openError() const { return openError_; }

    // All of `size` bytes, at the current position or at `offset`.
    std::error_code writeAll(const void* data, std::size_t size);
    std::error_code writeAllAt(const void* data, std::size_t size, std::int64_t offset);
    // Up to `size` bytes from `offset`: how many were read, 0 at the end.
    std::int64_t readAt(void* data, std::size_t size, std::int64_t offset,
                        std::error_code& error) const;
    // To the disk.
    std::error_code sync();
    // A descriptor of its own for the same open file, so that another thread may use it while
    // this one goes on or is closed; not open, with the reason in openError(), when none is left.
    File duplicate() const;
    // Cuts or extends the file to `length`, and goes on writing there.
    std::error_code truncate(std::int64_t length);
    // Takes the disk space for `length` bytes without changing the size; a file system that
    // cannot is no error.
    std::error_code reserve(std::int64_t length);
    // Cuts the file to nothing, but only while no other open file refers to it, in this process
    // or another (a viewer still reading it, say): an error when one does, or when the file
    // system cannot tell.
    std::error_code emptyIfUnshared();
    // An exclusive lock, without waiting: std::errc::operation_would_block when another holds it.
    std::error_code tryLock();
    std::optional<FileStatus> status(std::error_code& error) const;
    // The inode's flags (as chattr sets them); nothing where the file system keeps none.
    std::optional<std::uint32_t> inodeFlags() const;
    // Whether the file carries extended attributes (an access list, a security label), or might:
    // true when they cannot be listed.
    bool hasExtendedAttributes() const;
    // Best effort each: a file system without owners or modes refuses them.
    std::error_code setOwner(std::uint32_t owner, std::uint32_t group);
    std::error_code setGroup(std::uint32_t group);
    std::error_code setPermissions(std::uint32_t permissions);
    // Closes now: whether the last writes reached the file.
    std::error_code close();

private:
    int descriptor_ = -1;
    std::error_code openError_;
};

// The file at `path`, or at the end of its links.
std::optional<FileStatus> StatusOf(const std::filesystem::path& path, std::error_code& error);
// The link itself when `path` is one.
std::optional<FileStatus> LinkStatusOf(const std::filesystem::path& path);
// Swaps the files two names refer to, in one step; an error where the file system cannot.
std::error_code ExchangeFiles(const std::filesystem::path& first,
                              const std::filesystem::path& second);
// Brings a folder's entries (a rename, a new name) to the disk; best effort.
void SyncFolder(const std::filesystem::path& folder);
// The permissions a new file loses, read without changing them for the other threads.
std::uint32_t CurrentUmask();

} // namespace kovi
