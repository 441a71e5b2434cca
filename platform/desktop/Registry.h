#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

namespace kovi {

enum class RegistryHive { ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig, DynData };

// Access rights asked for when a key is opened or created.
namespace RegistryAccess {
inline constexpr std::uint32_t QueryValue = 0x0001;
inline constexpr std::uint32_t SetValue = 0x0002;
inline constexpr std::uint32_t CreateSubKey = 0x0004;
inline constexpr std::uint32_t AllAccess = 0xF003F;
} // namespace RegistryAccess

// Value types.
namespace RegistryType {
inline constexpr std::uint32_t String = 1;       // REG_SZ
inline constexpr std::uint32_t ExpandString = 2; // REG_EXPAND_SZ
} // namespace RegistryType

struct RegistryValueInfo {
    QString name;
    std::uint32_t type = 0;
    std::uint32_t dataLength = 0; // bytes, a string's terminating NUL included when stored
};

// An open key; it is closed when destroyed.
class RegistryKey {
public:
    virtual ~RegistryKey() = default;

    // The value at `index` in the key's own order; nothing past the last one.
    virtual std::optional<RegistryValueInfo> enumValue(std::uint32_t index) = 0;
    // The value's data exactly as stored; nothing when the key has no such value. Names
    // are compared without regard to case.
    virtual std::optional<QByteArray> queryValue(const QString& name) = 0;
    virtual bool setValue(const QString& name, std::uint32_t type, const QByteArray& data) = 0;
    virtual bool deleteValue(const QString& name) = 0;
    // Closes the key at once; false when closing failed.
    virtual bool close() = 0;
};

// The registry calls of the help class (RegOpenKeyExA, RegCreateKeyExA and friends).
class Registry {
public:
    virtual ~Registry() = default;
    // Nothing when the key does not exist or the access cannot be granted. Key paths are
    // backslash-separated and compared without regard to case.
    virtual std::unique_ptr<RegistryKey> openKey(RegistryHive hive, const QString& path,
                                                 std::uint32_t access) = 0;
    // Opens the key, creating it (and the keys above it) when it is missing.
    virtual std::unique_ptr<RegistryKey> createKey(RegistryHive hive, const QString& path,
                                                   std::uint32_t access) = 0;
};

// The registry in force: the system's own unless a test installed one.
Registry& CurrentRegistry();
// Installs a registry (not owned), or the system's own again with nullptr.
void InstallRegistry(Registry* registry);

// Where the store of our own keeps its hive files (Linux: one INI file per hive in the
// user's config folder). An empty path restores the default; tests point it elsewhere.
std::filesystem::path RegistryFolder();
void SetRegistryFolder(const std::filesystem::path& folder);

} // namespace kovi
