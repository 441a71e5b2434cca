#include "platform/desktop/SystemServices.h"

#include <QFileInfo>

namespace kovi {
namespace {

// Linux has no version resources and no short names; files keep the names they are given.
class LinuxSystemInfo final : public SystemInfo {
public:
    std::optional<FileVersionNumbers> fileVersion(const QString&) override { return std::nullopt; }
    OsVersion osVersion() override { return {}; }
    QString longPathName(const QString& path) override { return path; }
    std::optional<QString> foundName(const QString& path) override {
        const QFileInfo info(path);
        if (!info.exists() && !info.isSymLink())
            return std::nullopt;
        return info.fileName();
    }
};

} // namespace

std::unique_ptr<SystemInfo> CreateSystemInfo() {
    return std::make_unique<LinuxSystemInfo>();
}

} // namespace kovi
