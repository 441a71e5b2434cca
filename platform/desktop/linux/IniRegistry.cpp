#include "platform/desktop/linux/IniRegistry.h"

#include "platform/desktop/SystemServices.h"
#include "platform/desktop/linux/IniHive.h"

#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>

namespace kovi {
namespace {

constexpr std::uint32_t WriteRights =
    RegistryAccess::SetValue | RegistryAccess::CreateSubKey | 0xF0000;

std::filesystem::path HiveFile(RegistryHive hive) {
    return RegistryFolder() / HiveFileName(hive).toStdString();
}

// Write access is granted only where the hive file could be written.
bool CanWrite(const std::filesystem::path& file) {
    const QFileInfo info(QString::fromStdString(file.string()));
    if (info.exists())
        return info.isWritable();
    QFileInfo folder(info.path());
    while (!folder.exists() && folder.path() != folder.filePath())
        folder = QFileInfo(folder.path());
    return folder.isDir() && folder.isWritable();
}

class IniRegistryKey final : public RegistryKey {
public:
    IniRegistryKey(std::filesystem::path file, QString path, std::uint32_t access)
        : file_(std::move(file)), path_(std::move(path)), access_(access) {}

    std::optional<RegistryValueInfo> enumValue(std::uint32_t index) override {
        if (!may(RegistryAccess::QueryValue))
            return std::nullopt;
        auto hive = IniHive::load(file_);
        IniHive::Key* key = hive ? hive->findKey(path_) : nullptr;
        if (key == nullptr || index >= key->values.size())
            return std::nullopt;
        const IniHive::Value& value = key->values[index];
        return RegistryValueInfo{value.name, value.type,
                                 static_cast<std::uint32_t>(value.data.size())};
    }

    std::optional<QByteArray> queryValue(const QString& name) override {
        if (!may(RegistryAccess::QueryValue))
            return std::nullopt;
        auto hive = IniHive::load(file_);
        IniHive::Key* key = hive ? hive->findKey(path_) : nullptr;
        IniHive::Value* value = key ? IniHive::findValue(*key, name) : nullptr;
        if (value == nullptr)
            return std::nullopt;
        return value->data;
    }

    bool setValue(const QString& name, std::uint32_t type, const QByteArray& data) override {
        if (!may(RegistryAccess::SetValue))
            return false;
        auto hive = IniHive::load(file_);
        if (!hive)
            return false;
        IniHive::Key& key = hive->addKey(path_);
        if (IniHive::Value* value = IniHive::findValue(key, name)) {
            value->type = type;
            value->data = data;
        } else {
            key.values.push_back({name, type, data});
        }
        return hive->save(file_);
    }

    bool deleteValue(const QString& name) override {
        if (!may(RegistryAccess::SetValue))
            return false;
        auto hive = IniHive::load(file_);
        IniHive::Key* key = hive ? hive->findKey(path_) : nullptr;
        if (key == nullptr)
            return false;
        const auto found = std::find_if(key->values.begin(), key->values.end(), [&](auto& v) {
            return v.name.compare(name, Qt::CaseInsensitive) == 0;
        });
        if (found == key->values.end())
            return false;
        key->values.erase(found);
        return hive->save(file_);
    }

    bool close() override {
        const bool wasOpen = open_;
        open_ = false;
        return wasOpen;
    }

private:
    bool may(std::uint32_t right) const { return open_ && (access_ & right) == right; }

    std::filesystem::path file_;
    QString path_;
    std::uint32_t access_;
    bool open_ = true;
};

} // namespace

QString HiveFileName(RegistryHive hive) {
    switch (hive) {
    case RegistryHive::ClassesRoot:
        return QStringLiteral("HKEY_CLASSES_ROOT.ini");
    case RegistryHive::CurrentUser:
        return QStringLiteral("HKEY_CURRENT_USER.ini");
    case RegistryHive::LocalMachine:
        return QStringLiteral("HKEY_LOCAL_MACHINE.ini");
    case RegistryHive::Users:
        return QStringLiteral("HKEY_USERS.ini");
    case RegistryHive::CurrentConfig:
        return QStringLiteral("HKEY_CURRENT_CONFIG.ini");
    case RegistryHive::DynData:
        return QStringLiteral("HKEY_DYN_DATA.ini");
    }
    return {};
}

std::unique_ptr<RegistryKey> IniRegistry::openKey(RegistryHive hive, const QString& path,
                                                  std::uint32_t access) {
    const std::filesystem::path file = HiveFile(hive);
    const auto loaded = IniHive::load(file);
    if (!loaded || !loaded->keyExists(path))
        return nullptr;
    if ((access & WriteRights) != 0 && !CanWrite(file))
        return nullptr;
    return std::make_unique<IniRegistryKey>(file, NormalisedKeyPath(path), access);
}

std::unique_ptr<RegistryKey> IniRegistry::createKey(RegistryHive hive, const QString& path,
                                                    std::uint32_t access) {
    const std::filesystem::path file = HiveFile(hive);
    auto loaded = IniHive::load(file);
    if (!loaded)
        return nullptr;
    if (loaded->findKey(path) == nullptr) {
        loaded->addKey(path);
        if (!loaded->save(file))
            return nullptr;
    }
    return std::make_unique<IniRegistryKey>(file, NormalisedKeyPath(path), access);
}

} // namespace kovi

namespace kovi {
namespace {

std::filesystem::path& FolderOverride() {
    static std::filesystem::path folder;
    return folder;
}

} // namespace

std::filesystem::path RegistryFolder() {
    if (!FolderOverride().empty())
        return FolderOverride();
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return std::filesystem::path(config.toStdString()) / "Kovi rZk Lite" / "registry";
}

void SetRegistryFolder(const std::filesystem::path& folder) {
    FolderOverride() = folder;
}

} // namespace kovi

namespace kovi {

std::unique_ptr<Registry> CreateSystemRegistry() {
    return std::make_unique<IniRegistry>();
}

} // namespace kovi
