#include "core/files/SafeReplace.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <fstream>
#include <random>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kovi {
namespace {

constexpr std::string_view kPrefix = ".kovi-rzk-";
constexpr std::string_view kSuffix = ".tmp";
constexpr std::size_t kRandomLength = 8;
constexpr int kCreateAttempts = 64;
constexpr mode_t kPermissionBits = 07777;
constexpr mode_t kNewFileMode = 0666;
constexpr mode_t kUsualUmask = 022;
constexpr std::size_t kCopyChunk = 256 * 1024;

std::string Reason(int error) {
    return std::generic_category().message(error);
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // Closes now and reports whether the last writes reached the file.
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

std::string RandomName() {
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

// Whether the open file is still the one under `path`: a cleaner may have removed the name.
bool StillNamed(int fd, const std::filesystem::path& path) {
    struct stat open {};
    struct stat named {};
    return ::fstat(fd, &open) == 0 && ::lstat(path.c_str(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

mode_t CurrentUmask() {
    // Reading it through umask() would briefly change it for every thread.
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
    return kUsualUmask;
}

void SyncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Best effort: file systems without POSIX owners or modes (a camera card) refuse these, and
// the image matters more. The owner goes first, as changing it clears the set-id bits.
bool CopyOwnerAndMode(int fd, const struct stat& from) {
    const bool owner = ::fchown(fd, from.st_uid, from.st_gid) == 0 ||
                       ::fchown(fd, static_cast<uid_t>(-1), from.st_gid) == 0;
    const bool mode = ::fchmod(fd, from.st_mode & kPermissionBits) == 0;
    return owner && mode;
}

bool SetMode(int fd, mode_t mode) {
    return ::fchmod(fd, mode) == 0;
}

bool WriteAll(int fd, const char* data, std::size_t size, off_t offset, bool positioned) {
    while (size > 0) {
        const ssize_t written =
            positioned ? ::pwrite(fd, data, size, offset) : ::write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= static_cast<std::size_t>(written);
        offset += written;
    }
    return true;
}

FileIdentity IdentityOf(const struct stat& info) {
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
            static_cast<std::int64_t>(info.st_size),
            static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

// A file with several hard links is rewritten in place from a complete temporary file. While
// it is copied, that file is named after the target's inode ("-<inode>" before the suffix), so
// that a run killed part way leaves the next run what it needs to finish the copy.
std::string PendingName(const std::filesystem::path& temporaryPath, ino_t inode) {
    std::string name = temporaryPath.filename().string();
    name.insert(name.size() - kSuffix.size(), "-" + std::to_string(inode));
    return name;
}

// Copies all of `source` over the content of the file at `target`, in place, and cuts it to
// length. Space for the new content is taken first: once copying starts, only a failing disk
// can interrupt it.
bool CopyInPlace(int source, const std::filesystem::path& target, std::string& error) {
    struct stat fresh {};
    if (::fstat(source, &fresh) != 0) {
        error = "cannot measure the new image: " + Reason(errno);
        return false;
    }
    Descriptor out(::open(target.c_str(), O_WRONLY | O_CLOEXEC));
    struct stat old {};
    if (out.get() < 0 || ::fstat(out.get(), &old) != 0) {
        error = "cannot open " + target.string() + " for writing: " + Reason(errno);
        return false;
    }
    if (fresh.st_size > old.st_size &&
        ::fallocate(out.get(), FALLOC_FL_KEEP_SIZE, 0, fresh.st_size) != 0 && errno != EOPNOTSUPP &&
        errno != ENOSYS) {
        error = "no room for the new image: " + Reason(errno);
        return false;
    }
    std::string chunk(kCopyChunk, '\0');
    off_t offset = 0;
    while (offset < fresh.st_size) {
        const ssize_t got = ::pread(source, chunk.data(), chunk.size(), offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0 ||
            !WriteAll(out.get(), chunk.data(), static_cast<std::size_t>(got), offset, true)) {
            error = "rewriting " + target.string() +
                    " failed part way; the next run in its folder finishes it: " + Reason(errno);
            return false;
        }
        offset += got;
    }
    if (::ftruncate(out.get(), fresh.st_size) != 0 || ::fsync(out.get()) != 0 || !out.close()) {
        error = "rewriting " + target.string() + " failed: " + Reason(errno);
        return false;
    }
    return true;
}

// The file of this folder that has the given inode, if one has.
std::optional<std::filesystem::path> FileWithInode(const std::filesystem::path& folder,
                                                   dev_t device, std::uint64_t inode) {
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        struct stat info {};
        if (::lstat(entry->path().c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            info.st_dev == device && info.st_ino == inode &&
            !IsTemporaryFileName(entry->path().filename().string()))
            return entry->path();
    }
    return std::nullopt;
}

} // namespace

std::optional<FileIdentity> IdentifyFile(const std::filesystem::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return IdentityOf(info);
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
    struct stat info {};
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
        Descriptor file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat info {};
        if (file.get() < 0 || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
            continue;
        // A save in progress holds the lock until its file is renamed or removed.
        if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0 || !StillNamed(file.get(), path))
            continue;
        // A rewrite in place that did not finish is finished first: the new content is whole.
        if (const auto inode = PendingInode(path.filename().string())) {
            const auto target = FileWithInode(folder, info.st_dev, *inode);
            std::string ignored;
            if (target && !CopyInPlace(file.get(), *target, ignored))
                continue;
        }
        if (::unlink(path.c_str()) == 0)
            ++removed;
    }
    return removed;
}

ReplacementFile::ReplacementFile(Key, std::filesystem::path destination,
                                 std::filesystem::path temporaryPath, int descriptor,
                                 std::unique_ptr<Original> original)
    : destination_(std::move(destination)), temporaryPath_(std::move(temporaryPath)),
      descriptor_(descriptor), original_(std::move(original)) {}

ReplacementFile::~ReplacementFile() {
    // Removed while still locked, so that no cleaner can mistake it for a stale one meanwhile.
    if (!committed_ && !keepTemporary_)
        ::unlink(temporaryPath_.c_str());
    ::close(descriptor_);
}

std::unique_ptr<ReplacementFile> ReplacementFile::create(const std::filesystem::path& target,
                                                         std::string& error) {
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
    if (::stat(destination.c_str(), &original->info) == 0) {
        if (!S_ISREG(original->info.st_mode)) {
            error = destination.string() + " is not a file";
            return nullptr;
        }
        original->exists = true;
    } else if (errno != ENOENT) {
        error = "cannot reach " + destination.string() + ": " + Reason(errno);
        return nullptr;
    }

    std::filesystem::path folder = destination.parent_path();
    if (folder.empty())
        folder = ".";
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        const std::filesystem::path path = folder / RandomName();
        const int fd =
            ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0) {
            error = "cannot create a temporary file in " + folder.string() + ": " + Reason(errno);
            return nullptr;
        }
        // Between open and flock a cleaner elsewhere may take the new file for a stale one; it
        // then holds the lock or has removed the name, and removes the file itself. On a file
        // system without locks the file goes on unlocked, and cleaners there leave it alone.
        const bool cleanerHoldsIt = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        if (cleanerHoldsIt || !StillNamed(fd, path)) {
            ::close(fd);
            continue;
        }
        return std::make_unique<ReplacementFile>(Key(), destination, path, fd, std::move(original));
    }
    error = "cannot create a temporary file in " + folder.string();
    return nullptr;
}

bool ReplacementFile::write(const void* data, std::size_t size) {
    if (WriteAll(descriptor_, static_cast<const char*>(data), size, 0, false))
        return true;
    error_ = "writing the new image failed: " + Reason(errno);
    return false;
}

bool ReplacementFile::flush(std::string& error) {
    if (flushed_)
        return true;
    if (::fsync(descriptor_) != 0) {
        error = "writing the new image to disk failed: " + Reason(errno);
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
        struct stat now {};
        if (::stat(destination_.c_str(), &now) != 0 || !S_ISREG(now.st_mode)) {
            error = destination_.string() + " is gone or is no longer a file";
            return false;
        }
        if (IdentityOf(now) != IdentityOf(original_->info))
            return changed();
        original_->info = now;
    } else if (IdentifyFile(destination_)) {
        return changed();
    }
    if (original_->exists && original_->info.st_nlink > 1) {
        if (!rewriteInPlace()) {
            error = error_;
            return false;
        }
        return true;
    }
    if (original_->exists)
        CopyOwnerAndMode(descriptor_, original_->info);
    else
        SetMode(descriptor_, kNewFileMode & ~CurrentUmask());
    if (::rename(temporaryPath_.c_str(), destination_.c_str()) != 0) {
        error =
            "cannot put the new image in place of " + destination_.string() + ": " + Reason(errno);
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
    const auto pending = folder / PendingName(temporaryPath_, original_->info.st_ino);
    if (::rename(temporaryPath_.c_str(), pending.c_str()) != 0) {
        error_ = "cannot prepare the rewrite of " + destination_.string() + ": " + Reason(errno);
        return false;
    }
    temporaryPath_ = pending;
    SyncFolder(folder);
    if (!CopyInPlace(descriptor_, destination_, error_)) {
        // Part of the target may be new already; the pending file lets the next run finish.
        keepTemporary_ = true;
        return false;
    }
    return true;
}

} // namespace kovi
