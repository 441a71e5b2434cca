#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace kovi {

// One registry hive kept as an INI file: a section per key, a line per value
// ("name=sz:data"). Names and data are percent-encoded where the format needs it, so any
// bytes survive, a string's terminating NUL included.
class IniHive {
public:
    struct Value {
        QString name;
        std::uint32_t type = 0;
        QByteArray data;
    };
    struct Key {
        QString path;
        std::vector<Value> values;
    };

    // A missing file is an empty hive; nothing when the file cannot be read.
    static std::optional<IniHive> load(const std::filesystem::path& file);
    // Replaces the file in one step, creating its folder when needed.
    bool save(const std::filesystem::path& file) const;

    // Keys are compared without regard to case; a key also exists when a key below it does.
    bool keyExists(const QString& path) const;
    Key* findKey(const QString& path);
    Key& addKey(const QString& path);

    static Value* findValue(Key& key, const QString& name);

private:
    std::vector<Key> keys_;
};

// "Software\\Microsoft\\" and "software\microsoft" name the same key.
QString NormalisedKeyPath(const QString& path);

} // namespace kovi
