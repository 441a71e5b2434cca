#pragma once

#include <cstdint>
#include <filesystem>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/files/ByteSink.h"
#include "platform/system/File.h"

namespace kovi {

class DiskFlusher;
class RecycledFiles;

// What tells one version of a file from another: which file it is, its size and when its
// content last changed.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNanoseconds = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The identity of the file at `path`, following symbolic links; nothing when it cannot be
// reached.
std::optional<FileIdentity> IdentifyFile(const std::filesystem::path& path);

// Temporary files written beside an image while it is replaced are all named
// ".kovi-rzk-XXXXXXXX.tmp", the X letters and digits; while one is copied into a file with
// several hard links it is ".kovi-rzk-XXXXXXXX-<inode>.tmp". The walk over a folder skips them.
bool IsTemporaryFileName(std::string_view fileName);

// A new name of the first kind, its letters drawn at random.
std::string NewTemporaryFileName();

// The inode a temporary file is being copied into, for a name of the second kind.
std::optional<std::uint64_t> PendingInode(std::string_view fileName);

// Removes temporary files that a run killed mid-save left in `folder` (not in its sub-folders),
// first finishing any copy into a hard-linked file that was cut short. A temporary file that a
// live save is still writing is locked and left alone. Returns how many were removed.
int RemoveStaleTemporaryFiles(const std::filesystem::path& folder);

// A new file beside `target` that takes its place on commit() and is removed otherwise, so that
// a failed encode, a full disk or a crash never leaves a half-written image under its name.
// A symbolic link stays a link and the file it points to is replaced; a file with several hard
// links is rewritten in place once the new content is complete, so that every link sees it.
class ReplacementFile final : public ByteSink {
    struct Original;
    // Only create() makes one; the key lets it do so through std::make_unique.
    struct Key {
        explicit Key() = default;
    };

public:
    // Nothing, with the reason in `error`, when no temporary file can be made there. With
    // `recycled`, which must outlive it, the new file may be one that an earlier commit()
    // replaced, and the file it replaces is offered there in turn.
    static std::unique_ptr<ReplacementFile> create(const std::filesystem::path& target,
                                                   std::string& error,
                                                   RecycledFiles* recycled = nullptr);
    ReplacementFile(Key, std::filesystem::path destination, std::filesystem::path temporaryPath,
                    File file, std::unique_ptr<Original> original, RecycledFiles* recycled);
    ~ReplacementFile() override;
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    bool write(const void* data, std::size_t size) override;
    const std::string& error() const override { return error_; }

    const std::filesystem::path& temporaryPath() const { return temporaryPath_; }

    // Begins to flush the new content, all of it written by now, on `flusher`'s threads, which
    // must outlive this file; flush() and commit() then wait for that flush and take its answer.
    void flushAhead(DiskFlusher& flusher);

    // Flushes the new content to disk; commit() does it too when it was not done before.
    bool flush(std::string& error);

    // Puts the new content in the target's place, with the mode bits (and, where the process
    // may set them, owner and group) the target has at that moment. A target that was
    // replaced or whose content changed since create() is left as it now is, and commit()
    // fails.
    bool commit(std::string& error);

private:
    bool rewriteInPlace();

    std::filesystem::path destination_;
    std::filesystem::path temporaryPath_;
    File file_;
    std::unique_ptr<Original> original_;
    RecycledFiles* recycled_;
    std::future<std::error_code> flushingAhead_;
    bool flushed_ = false;
    bool committed_ = false;
    bool keepTemporary_ = false; // a copy in place failed part way: the next run finishes it
    std::string error_;
};

} // namespace kovi
