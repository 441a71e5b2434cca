#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace kovi {

// The four numbers of a file's fixed version record.
struct FileVersionNumbers {
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
    std::uint16_t build = 0;
    std::uint16_t revision = 0;
};

// What GetVersionExA reports: platform 1 is the 95 family, 2 the NT family, 0 anything else.
struct OsVersion {
    std::uint32_t platformId = 0;
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
};

// File version data and the system version, as the help class asks for them.
class SystemInfo {
public:
    virtual ~SystemInfo() = default;
    // The file's version resource; nothing when it has none.
    virtual std::optional<FileVersionNumbers> fileVersion(const QString& path) = 0;
    virtual OsVersion osVersion() = 0;
    // The path with every short (8.3) component in its long form.
    virtual QString longPathName(const QString& path) = 0;
    // The name under which the file system lists the file or folder at `path`, when it exists.
    virtual std::optional<QString> foundName(const QString& path) = 0;
};

// The system's own unless a test installed one (not owned); nullptr restores it.
SystemInfo& CurrentSystemInfo();
void InstallSystemInfo(SystemInfo* info);

} // namespace kovi
