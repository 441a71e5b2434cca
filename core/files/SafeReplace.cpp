#include "core/files/SafeReplace.h"

#include "core/files/DiskFlusher.h"
#include "core/files/RecycledFiles.h"
#include "platform/system/File.h"

#include <cctype>
#include <charconv>
#include <random>
#include <system_error>

namespace kovi {
namespace {

constexpr std::string_view kPrefix = ".kovi-rzk-";
constexpr std::string_view kSuffix = ".tmp";
constexpr std::size_t kRandomLength = 8;
constexpr int kCreateAttempts = 64;
constexpr std::uint32_t kTemporaryFileMode = 0600;
constexpr std::uint32_t kNewFileMode = 0666;
constexpr std::size_t kCopyChunk = 256 * 1024;

} // namespace

std::string NewTemporaryFileName() {
    static constexpr std::string_view letters =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937_64 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, letters.size() - 1);
    std::string name(kPrefix);
    for (std::size_t i = 0; i < kRandomLength; ++i)
        name += letters[pick(generator)];
    name += kSuffix;
    return name;
}

namespace {

// Whether the open file is still the one under `path`: a cleaner may have removed the name.
bool StillNamed(const File& file, const std::filesystem::path& path) {
    std::error_code ignored;
    const auto open = file.status(ignored);
    const auto named = LinkStatusOf(path);
    return open && named && open->device == named->device && open->inode == named->inode;
}

// Best effort: file systems without POSIX owners or modes (a camera card) refuse these, and
// the image matters more. The owner goes first, as changing it clears the set-id bits.
void CopyOwnerAndMode(File& file, const FileStatus& from) {
    if (file.setOwner(from.owner, from.group))
        file.setGroup(from.group);
    file.setPermissions(from.permissions);
}

FileIdentity IdentityOf(const FileStatus& status) {
    return {status.device, status.inode, status.size, status.modifiedNanoseconds};
}

// A file with several hard links is rewritten in place from a complete temporary file. While
// it is copied, that file is named after the target's inode ("-<inode>" before the suffix), so
// that a run killed part way leaves the next run what it needs to finish the copy.
std::string PendingName(const std::filesystem::path& temporaryPath, std::uint64_t inode) {
    std::string name = temporaryPath.filename().string();
    name.insert(name.size() - kSuffix.size(), "-" + std::to_string(inode));
    return name;
}

// Copies all of `source` over the content of the file at `target`, in place, and cuts it to
// length. Space for the new content is taken first: once copying starts, only a failing disk
// can interrupt it.
bool CopyInPlace(const File& source, const std::filesystem::path& target, std::string& error) {
    std::error_code failure;
    const auto fresh = source.status(failure);
    if (!fresh) {
        error = "cannot measure the new image: " + failure.message();
        return false;
    }
    File out(target, OpenMode::Write);
    const auto old = out.isOpen() ? out.status(failure) : std::nullopt;
    if (!old) {
        error = "cannot open " + target.string() +
                " for writing: " + (out.isOpen() ? failure : out.openError()).message();
        return false;
    }
    if (fresh->size > old->size) {
        if (const auto reserved = out.reserve(fresh->size)) {
            error = "no room for the new image: " + reserved.message();
            return false;
        }
    }
    std::string chunk(kCopyChunk, '\0');
    for (std::int64_t offset = 0; offset < fresh->size;) {
        const std::int64_t got = source.readAt(chunk.data(), chunk.size(), offset, failure);
        if (!failure && got == 0)
            failure = std::make_error_code(std::errc::io_error);
        if (!failure)
            failure = out.writeAllAt(chunk.data(), static_cast<std::size_t>(got), offset);
        if (failure) {
            error =
                "rewriting " + target.string() +
                " failed part way; the next run in its folder finishes it: " + failure.message();
            return false;
        }
        offset += got;
    }
    failure = out.truncate(fresh->size);
    if (!failure)
        failure = out.sync();
    if (const auto closed = out.close(); !failure)
        failure = closed;
    if (failure) {
        error = "rewriting " + target.string() + " failed: " + failure.message();
        return false;
    }
    return true;
}

// The file of this folder that has the given inode, if one has.
std::optional<std::filesystem::path> FileWithInode(const std::filesystem::path& folder,
                                                   std::uint64_t device, std::uint64_t inode) {
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        const auto status = LinkStatusOf(entry->path());
        if (status && status->regular && status->device == device && status->inode == inode &&
            !IsTemporaryFileName(entry->path().filename().string()))
            return entry->path();
    }
    return std::nullopt;
}

} // namespace

std::optional<FileIdentity> IdentifyFile(const std::filesystem::path& path) {
    std::error_code ignored;
    const auto status = StatusOf(path, ignored);
    if (!status)
        return std::nullopt;
    return IdentityOf(*status);
}

std::optional<std::uint64_t> PendingInode(std::string_view fileName) {
    const std::size_t start = kPrefix.size() + kRandomLength;
    if (fileName.size() < start + 2 + kSuffix.size() || fileName[start] != '-')
        return std::nullopt;
    const auto digits = fileName.substr(start + 1, fileName.size() - start - 1 - kSuffix.size());
    std::uint64_t inode = 0;
    const auto [end, failure] =
        std::from_chars(digits.data(), digits.data() + digits.size(), inode);
    if (failure != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    return inode;
}

struct ReplacementFile::Original {
    bool exists = false;
    FileStatus status;
};

bool IsTemporaryFileName(std::string_view fileName) {
    if (fileName.size() < kPrefix.size() + kRandomLength + kSuffix.size() ||
        fileName.substr(0, kPrefix.size()) != kPrefix ||
        fileName.substr(fileName.size() - kSuffix.size()) != kSuffix)
        return false;
    for (const char c : fileName.substr(kPrefix.size(), kRandomLength))
        if (!std::isalnum(static_cast<unsigned char>(c)))
            return false;
    const auto rest =
        fileName.substr(kPrefix.size() + kRandomLength,
                        fileName.size() - kPrefix.size() - kRandomLength - kSuffix.size());
    return rest.empty() || PendingInode(fileName).has_value();
}

int RemoveStaleTemporaryFiles(const std::filesystem::path& folder) {
    int removed = 0;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::filesystem::path& path = entry->path();
        if (!IsTemporaryFileName(path.filename().string()))
            continue;
        File file(path, OpenMode::ReadNoFollow);
        std::error_code failure;
        const auto status = file.isOpen() ? file.status(failure) : std::nullopt;
        if (!status || !status->regular)
            continue;
        // A save in progress holds the lock until its file is renamed or removed.
        if (file.tryLock() || !StillNamed(file, path))
            continue;
        // A rewrite in place that did not finish is finished first: the new content is whole.
        if (const auto inode = PendingInode(path.filename().string())) {
            const auto target = FileWithInode(folder, status->device, *inode);
            std::string ignored;
            if (target && !CopyInPlace(file, *target, ignored))
                continue;
        }
        if (std::filesystem::remove(path, failure))
            ++removed;
    }
    return removed;
}

ReplacementFile::ReplacementFile(Key, std::filesystem::path destination,
                                 std::filesystem::path temporaryPath, File file,
                                 std::unique_ptr<Original> original, RecycledFiles* recycled)
    : destination_(std::move(destination)), temporaryPath_(std::move(temporaryPath)),
      file_(std::move(file)), original_(std::move(original)), recycled_(recycled) {}

ReplacementFile::~ReplacementFile() {
    // Removed while still locked, so that no cleaner can mistake it for a stale one meanwhile.
    if (!committed_ && !keepTemporary_) {
        std::error_code ignored;
        std::filesystem::remove(temporaryPath_, ignored);
    }
}

std::unique_ptr<ReplacementFile> ReplacementFile::create(const std::filesystem::path& target,
                                                         std::string& error,
                                                         RecycledFiles* recycled) {
    std::error_code failure;
    std::filesystem::path destination = target;
    if (std::filesystem::is_symlink(target, failure)) {
        destination = std::filesystem::canonical(target, failure);
        if (failure) {
            error = "the link " + target.string() + " leads to no file";
            return nullptr;
        }
    }
    auto original = std::make_unique<Original>();
    if (const auto status = StatusOf(destination, failure)) {
        if (!status->regular) {
            error = destination.string() + " is not a file";
            return nullptr;
        }
        original->exists = true;
        original->status = *status;
    } else if (failure != std::errc::no_such_file_or_directory) {
        error = "cannot reach " + destination.string() + ": " + failure.message();
        return nullptr;
    }

    std::filesystem::path folder = destination.parent_path();
    if (folder.empty())
        folder = ".";
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        auto taken = recycled != nullptr ? recycled->take(folder) : std::nullopt;
        const std::filesystem::path path =
            taken ? std::move(taken->path) : folder / NewTemporaryFileName();
        File file =
            taken ? std::move(taken->file) : File(path, OpenMode::CreateNew, kTemporaryFileMode);
        if (file.openError() == std::errc::file_exists)
            continue;
        if (!file.isOpen()) {
            error = "cannot create a temporary file in " + folder.string() + ": " +
                    file.openError().message();
            return nullptr;
        }
        // Between open and lock a cleaner elsewhere may take the new file for a stale one; it
        // then holds the lock or has removed the name, and removes the file itself. On a file
        // system without locks the file goes on unlocked, and cleaners there leave it alone.
        const bool cleanerHoldsIt = file.tryLock() == std::errc::operation_would_block;
        if (cleanerHoldsIt || !StillNamed(file, path))
            continue;
        if (taken)
            file.setPermissions(kTemporaryFileMode);
        else if (recycled != nullptr)
            recycled->noteNewFile(folder, file);
        return std::make_unique<ReplacementFile>(Key(), destination, path, std::move(file),
                                                 std::move(original), recycled);
    }
    error = "cannot create a temporary file in " + folder.string();
    return nullptr;
}

bool ReplacementFile::write(const void* data, std::size_t size) {
    const auto failure = file_.writeAll(data, size);
    if (!failure)
        return true;
    error_ = "writing the new image failed: " + failure.message();
    return false;
}

void ReplacementFile::flushAhead(DiskFlusher& flusher) {
    if (flushed_ || flushingAhead_.valid())
        return;
    if (File copy = file_.duplicate(); copy.isOpen())
        flushingAhead_ = flusher.flush(std::move(copy));
}

bool ReplacementFile::flush(std::string& error) {
    if (flushed_)
        return true;
    // A flush that failed is not tried again: a second one may well succeed with the written
    // pages already dropped, and the new image is then not what was written.
    if (const auto failure = flushingAhead_.valid() ? flushingAhead_.get() : file_.sync()) {
        error = "writing the new image to disk failed: " + failure.message();
        return false;
    }
    flushed_ = true;
    return true;
}

bool ReplacementFile::commit(std::string& error) {
    if (!flush(error))
        return false;
    // Someone else's newer file in its place is never overwritten with an older picture. Its
    // mode (made writable) and its links may have changed since, and what is there now
    // decides how it is replaced.
    const auto changed = [&] {
        error = "the file was changed by someone else while the new image was written";
        return false;
    };
    if (original_->exists) {
        std::error_code ignored;
        const auto now = StatusOf(destination_, ignored);
        if (!now || !now->regular) {
            error = destination_.string() + " is gone or is no longer a file";
            return false;
        }
        if (IdentityOf(*now) != IdentityOf(original_->status))
            return changed();
        original_->status = *now;
    } else if (IdentifyFile(destination_)) {
        return changed();
    }
    if (original_->exists && original_->status.links > 1) {
        if (!rewriteInPlace()) {
            error = error_;
            return false;
        }
        return true;
    }
    if (original_->exists)
        CopyOwnerAndMode(file_, original_->status);
    else
        file_.setPermissions(kNewFileMode & ~CurrentUmask());
    // The two swap names, and the replaced file, now under the temporary name, may hold a
    // later new image. Where the file system cannot swap, it is renamed over as usual.
    if (recycled_ != nullptr && original_->exists && !ExchangeFiles(temporaryPath_, destination_)) {
        committed_ = true;
        recycled_->keep(temporaryPath_, original_->status);
        return true;
    }
    std::error_code failure;
    std::filesystem::rename(temporaryPath_, destination_, failure);
    if (failure) {
        error = "cannot put the new image in place of " + destination_.string() + ": " +
                failure.message();
        return false;
    }
    // The folder is not synced: a rename lost to a power cut leaves the old image and a
    // temporary file that the next run clears away, never a damaged one, and syncing each
    // folder after each file would cost more than the whole resize.
    committed_ = true;
    return true;
}

// Every hard link names the same file, so its content is replaced where it is, from the complete
// temporary file, which is first renamed to say which file it belongs to.
bool ReplacementFile::rewriteInPlace() {
    const auto folder = temporaryPath_.parent_path();
    const auto pending = folder / PendingName(temporaryPath_, original_->status.inode);
    std::error_code failure;
    std::filesystem::rename(temporaryPath_, pending, failure);
    if (failure) {
        error_ =
            "cannot prepare the rewrite of " + destination_.string() + ": " + failure.message();
        return false;
    }
    temporaryPath_ = pending;
    SyncFolder(folder);
    if (!CopyInPlace(file_, destination_, error_)) {
        // Part of the target may be new already; the pending file lets the next run finish.
        keepTemporary_ = true;
        return false;
    }
    return true;
}

} // namespace kovi
