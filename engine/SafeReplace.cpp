#include "engine/SafeReplace.h"

#include <cctype>
#include <cerrno>
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

} // namespace

struct ReplacementFile::Original {
    bool exists = false;
    struct stat info {};
};

bool IsTemporaryFileName(std::string_view fileName) {
    if (fileName.size() != kPrefix.size() + kRandomLength + kSuffix.size() ||
        fileName.substr(0, kPrefix.size()) != kPrefix ||
        fileName.substr(fileName.size() - kSuffix.size()) != kSuffix)
        return false;
    for (const char c : fileName.substr(kPrefix.size(), kRandomLength))
        if (!std::isalnum(static_cast<unsigned char>(c)))
            return false;
    return true;
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
    if (!committed_)
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
    // The file may have changed since the new image was begun (its mode made writable, a link
    // added, or the file taken away); what is there now decides how it is replaced.
    if (original_->exists) {
        struct stat now {};
        if (::stat(destination_.c_str(), &now) != 0 || !S_ISREG(now.st_mode)) {
            error = destination_.string() + " is gone or is no longer a file";
            return false;
        }
        original_->info = now;
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

// Every hard link names the same file, so its content is replaced where it is. Space for the
// new content is taken first: once copying starts, only a failing disk can interrupt it.
bool ReplacementFile::rewriteInPlace() {
    struct stat fresh {};
    if (::fstat(descriptor_, &fresh) != 0) {
        error_ = "cannot measure the new image: " + Reason(errno);
        return false;
    }
    Descriptor target(::open(destination_.c_str(), O_WRONLY | O_CLOEXEC));
    if (target.get() < 0) {
        error_ = "cannot open " + destination_.string() + " for writing: " + Reason(errno);
        return false;
    }
    if (fresh.st_size > original_->info.st_size &&
        ::fallocate(target.get(), FALLOC_FL_KEEP_SIZE, 0, fresh.st_size) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS) {
        error_ = "no room for the new image: " + Reason(errno);
        return false;
    }
    std::string chunk(kCopyChunk, '\0');
    off_t offset = 0;
    while (offset < fresh.st_size) {
        const ssize_t got = ::pread(descriptor_, chunk.data(), chunk.size(), offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0 ||
            !WriteAll(target.get(), chunk.data(), static_cast<std::size_t>(got), offset, true)) {
            error_ = "rewriting " + destination_.string() +
                     " failed part way, it may be damaged: " + Reason(errno);
            return false;
        }
        offset += got;
    }
    if (::ftruncate(target.get(), fresh.st_size) != 0 || ::fsync(target.get()) != 0 ||
        !target.close()) {
        error_ = "rewriting " + destination_.string() + " failed: " + Reason(errno);
        return false;
    }
    return true;
}

} // namespace kovi
