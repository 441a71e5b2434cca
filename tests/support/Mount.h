#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace kovi::testing {

// A mount over a test folder, taken down again when the test ends: a read-only bind mount (a
// folder that even root cannot write) or a small tmpfs (a disk that fills up). Both need root
// and mount; tests skip when they are not available.
class Mount {
public:
    explicit Mount(std::filesystem::path at) : at_(std::move(at)) {}
    ~Mount() {
        if (mounted_)
            Run("umount " + Quoted(at_));
    }
    Mount(const Mount&) = delete;
    Mount& operator=(const Mount&) = delete;

    bool readOnly() {
        mounted_ = Run("mount --bind " + Quoted(at_) + " " + Quoted(at_));
        return mounted_ && Run("mount -o remount,bind,ro " + Quoted(at_));
    }
    bool smallTmpfs(const char* size) {
        mounted_ = Run("mount -t tmpfs -o size=" + std::string(size) + " tmpfs " + Quoted(at_));
        return mounted_;
    }

private:
    static bool Run(const std::string& command) {
        return std::system((command + " 2>/dev/null").c_str()) == 0;
    }
    static std::string Quoted(const std::filesystem::path& path) {
        return "'" + path.string() + "'";
    }

    std::filesystem::path at_;
    bool mounted_ = false;
};

} // namespace kovi::testing
