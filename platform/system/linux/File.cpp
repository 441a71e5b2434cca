#include "platform/system/File.h"

#include <cerrno>
#include <fstream>
#include <string>
#include <utility>

#include <csignal>

#include <fcntl.h>
#include <linux/fs.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace kovi {
namespace {

constexpr std::uint32_t UsualUmask = 022;

std::error_code LastError() {
    return {errno != 0 ? errno : EIO, std::generic_category()};
}

int Flags(OpenMode mode) {
    switch (mode) {
    case OpenMode::Read:
        return O_RDONLY;
    case OpenMode::ReadNoFollow:
        return O_RDONLY | O_NOFOLLOW | O_NONBLOCK;
    case OpenMode::ReadWriteNoFollow:
        return O_RDWR | O_NOFOLLOW | O_NONBLOCK;
    case OpenMode::Write:
        return O_WRONLY;
    case OpenMode::CreateNew:
        return O_RDWR | O_CREAT | O_EXCL;
    case OpenMode::CreateOrTruncate:
        return O_WRONLY | O_CREAT | O_TRUNC;
    }
    return O_RDONLY;
}

FileStatus StatusFrom(const struct stat& info) {
    FileStatus status;
    status.device = static_cast<std::uint64_t>(info.st_dev);
    status.inode = static_cast<std::uint64_t>(info.st_ino);
    status.size = static_cast<std::int64_t>(info.st_size);
    status.modifiedNanoseconds =
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    status.links = static_cast<std::uint64_t>(info.st_nlink);
    status.permissions = static_cast<std::uint32_t>(info.st_mode & 07777);
    status.owner = static_cast<std::uint32_t>(info.st_uid);
    status.group = static_cast<std::uint32_t>(info.st_gid);
    status.regular = S_ISREG(info.st_mode);
    return status;
}

// Writes until all is written: one write may take only a part, or be interrupted.
template <typename Write>
std::error_code WriteLoop(const void* data, std::size_t size, Write write) {
    const char* bytes = static_cast<const char*>(data);
    std::int64_t written = 0;
    while (size > 0) {
        errno = 0;
        const ssize_t count = write(bytes, size, written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return LastError();
        bytes += count;
        size -= static_cast<std::size_t>(count);
        written += count;
    }
    return {};
}

} // namespace

File::File(const std::filesystem::path& path, OpenMode mode, std::uint32_t permissions) {
    errno = 0;
    descriptor_ = ::open(path.c_str(), Flags(mode) | O_CLOEXEC, static_cast<mode_t>(permissions));
    if (descriptor_ < 0)
        openError_ = LastError();
}

File::~File() {
    if (descriptor_ >= 0)
        ::close(descriptor_);
}

File::File(File&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)), openError_(other.openError_) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        if (descriptor_ >= 0)
            ::close(descriptor_);
        descriptor_ = std::exchange(other.descriptor_, -1);
        openError_ = other.openError_;
    }
    return *this;
}

std::error_code File::writeAll(const void* data, std::size_t size) {
    return WriteLoop(data, size, [this](const char* bytes, std::size_t count, std::int64_t) {
        return ::write(descriptor_, bytes, count);
    });
}

std::error_code File::writeAllAt(const void* data, std::size_t size, std::int64_t offset) {
    return WriteLoop(
        data, size, [this, offset](const char* bytes, std::size_t count, std::int64_t written) {
            return ::pwrite(descriptor_, bytes, count, static_cast<off_t>(offset + written));
        });
}

std::int64_t File::readAt(void* data, std::size_t size, std::int64_t offset,
                          std::error_code& error) const {
    while (true) {
        errno = 0;
        const ssize_t got = ::pread(descriptor_, data, size, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        error = got < 0 ? LastError() : std::error_code{};
        return got < 0 ? 0 : got;
    }
}

std::error_code File::sync() {
    errno = 0;
    return ::fsync(descriptor_) == 0 ? std::error_code{} : LastError();
}

File File::duplicate() const {
    File copy;
    errno = 0;
    copy.descriptor_ = ::fcntl(descriptor_, F_DUPFD_CLOEXEC, 0);
    if (copy.descriptor_ < 0)
        copy.openError_ = LastError();
    return copy;
}

std::error_code File::truncate(std::int64_t length) {
    errno = 0;
    if (::ftruncate(descriptor_, static_cast<off_t>(length)) != 0 ||
        ::lseek(descriptor_, static_cast<off_t>(length), SEEK_SET) < 0)
        return LastError();
    return {};
}

std::error_code File::reserve(std::int64_t length) {
    errno = 0;
    if (::fallocate(descriptor_, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(length)) == 0 ||
        errno == EOPNOTSUPP || errno == ENOSYS)
        return {};
    return LastError();
}

std::error_code File::emptyIfUnshared() {
    // A write lease is granted only to the one open file of an inode, and while it is held, any
    // other open waits for its release. Its break would be told with SIGIO, which ends a
    // process; SIGURG is ignored unless asked for.
    errno = 0;
    if (::fcntl(descriptor_, F_SETSIG, SIGURG) != 0 ||
        ::fcntl(descriptor_, F_SETLEASE, F_WRLCK) != 0)
        return LastError();
    const bool emptied = ::ftruncate(descriptor_, 0) == 0;
    const std::error_code failure = emptied ? std::error_code{} : LastError();
    ::fcntl(descriptor_, F_SETLEASE, F_UNLCK);
    return failure;
}

std::error_code File::tryLock() {
    errno = 0;
    return ::flock(descriptor_, LOCK_EX | LOCK_NB) == 0 ? std::error_code{} : LastError();
}

std::optional<FileStatus> File::status(std::error_code& error) const {
    struct stat info {};
    errno = 0;
    if (::fstat(descriptor_, &info) != 0) {
        error = LastError();
        return std::nullopt;
    }
    error.clear();
    return StatusFrom(info);
}

std::optional<std::uint32_t> File::inodeFlags() const {
    int flags = 0;
    if (::ioctl(descriptor_, FS_IOC_GETFLAGS, &flags) != 0)
        return std::nullopt;
    return static_cast<std::uint32_t>(flags);
}

bool File::hasExtendedAttributes() const {
    errno = 0;
    const ssize_t size = ::flistxattr(descriptor_, nullptr, 0);
    return size != 0 && !(size < 0 && errno == ENOTSUP);
}

std::error_code File::setOwner(std::uint32_t owner, std::uint32_t group) {
    errno = 0;
    return ::fchown(descriptor_, static_cast<uid_t>(owner), static_cast<gid_t>(group)) == 0
               ? std::error_code{}
               : LastError();
}

std::error_code File::setGroup(std::uint32_t group) {
    errno = 0;
    return ::fchown(descriptor_, static_cast<uid_t>(-1), static_cast<gid_t>(group)) == 0
               ? std::error_code{}
               : LastError();
}

std::error_code File::setPermissions(std::uint32_t permissions) {
    errno = 0;
    return ::fchmod(descriptor_, static_cast<mode_t>(permissions)) == 0 ? std::error_code{}
                                                                        : LastError();
}

std::error_code File::close() {
    const int descriptor = std::exchange(descriptor_, -1);
    errno = 0;
    return ::close(descriptor) == 0 ? std::error_code{} : LastError();
}

std::optional<FileStatus> StatusOf(const std::filesystem::path& path, std::error_code& error) {
    struct stat info {};
    errno = 0;
    if (::stat(path.c_str(), &info) != 0) {
        error = LastError();
        return std::nullopt;
    }
    error.clear();
    return StatusFrom(info);
}

std::optional<FileStatus> LinkStatusOf(const std::filesystem::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return std::nullopt;
    return StatusFrom(info);
}

std::error_code ExchangeFiles(const std::filesystem::path& first,
                              const std::filesystem::path& second) {
    errno = 0;
    return ::renameat2(AT_FDCWD, first.c_str(), AT_FDCWD, second.c_str(), RENAME_EXCHANGE) == 0
               ? std::error_code{}
               : LastError();
}

void SyncFolder(const std::filesystem::path& folder) {
    const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor >= 0) {
        ::fsync(descriptor);
        ::close(descriptor);
    }
}

std::uint32_t CurrentUmask() {
    // Reading it through umask() would briefly change it for every thread.
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<std::uint32_t>(std::stoul(line.substr(6), nullptr, 8));
    return UsualUmask;
}

} // namespace kovi
