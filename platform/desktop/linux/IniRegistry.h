#pragma once

#include "platform/desktop/Registry.h"

namespace kovi {

// The registry of this build on Linux: one INI file per hive in RegistryFolder(). Every
// call reads the file afresh and every change rewrites it at once, as the real registry
// would be seen by several programs.
class IniRegistry final : public Registry {
public:
    std::unique_ptr<RegistryKey> openKey(RegistryHive hive, const QString& path,
                                         std::uint32_t access) override;
    std::unique_ptr<RegistryKey> createKey(RegistryHive hive, const QString& path,
                                           std::uint32_t access) override;
};

// The hive's file name, e.g. "HKEY_LOCAL_MACHINE.ini".
QString HiveFileName(RegistryHive hive);

} // namespace kovi
