#pragma once

#include <filesystem>

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kovi::testing {

// The status of the file itself, not of a link's target; all zero when there is no file.
inline struct stat StatOf(const std::filesystem::path& path) {
    struct stat info {};
    ::lstat(path.c_str(), &info);
    return info;
}

// While it lives, the calling thread obeys file modes as any user does, even as root: without
// it, root reads a file of mode 000 and writes into a read-only folder. Other threads keep
// their rights. `active()` is false where the rights cannot be dropped.
class ObeyFileModes {
public:
    ObeyFileModes() {
        if (::syscall(SYS_capget, &header_, saved_) != 0)
            return;
        __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
        lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        active_ = ::syscall(SYS_capset, &header_, lowered) == 0;
    }
    ~ObeyFileModes() {
        if (active_)
            ::syscall(SYS_capset, &header_, saved_);
    }
    ObeyFileModes(const ObeyFileModes&) = delete;
    ObeyFileModes& operator=(const ObeyFileModes&) = delete;

    bool active() const { return active_; }

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
    bool active_ = false;
};

} // namespace kovi::testing
