#pragma once

#include <cerrno>
#include <cstddef>
#include <filesystem>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace kovi::testing {

// Takes every free byte of the file system that holds `filler`, in one file, then gives back
// `leave` bytes of it: a disk that fills up at a chosen moment.
inline void FillDisk(const std::filesystem::path& filler, std::size_t leave = 0) {
    const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    const std::string block(64 * 1024, 'x');
    for (std::size_t size = block.size(); size > 0; size /= 2)
        while (::write(fd, block.data(), size) == static_cast<ssize_t>(size)) {
        }
    if (leave > 0) {
        const off_t length = ::lseek(fd, 0, SEEK_END);
        (void)::ftruncate(
            fd, length > static_cast<off_t>(leave) ? length - static_cast<off_t>(leave) : 0);
    }
    ::close(fd);
}

inline void FreeDisk(const std::filesystem::path& filler) {
    std::error_code ignored;
    std::filesystem::remove(filler, ignored);
}

} // namespace kovi::testing
