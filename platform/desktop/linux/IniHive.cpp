#include "platform/desktop/linux/IniHive.h"

#include <QFile>
#include <QSaveFile>

#include <system_error>

namespace kovi {
namespace {

// Bytes that stay readable in the file; '=', '[', ']', '%' and control bytes are encoded.
QByteArray PlainBytes() {
    QByteArray bytes(" !\"#$&'()*+,/:;<>?@\\^`{|}");
    for (int byte = 0x80; byte <= 0xFF; ++byte)
        bytes.append(static_cast<char>(byte));
    return bytes;
}

QByteArray Encode(const QByteArray& bytes) {
    static const QByteArray plain = PlainBytes();
    return bytes.toPercentEncoding(plain);
}

QByteArray Decode(const QByteArray& text) {
    return QByteArray::fromPercentEncoding(text);
}

QByteArray TypeName(std::uint32_t type) {
    switch (type) {
    case 1:
        return "sz";
    case 2:
        return "expand_sz";
    default:
        return QByteArray::number(type);
    }
}

std::optional<std::uint32_t> TypeFromName(const QByteArray& name) {
    if (name == "sz")
        return 1;
    if (name == "expand_sz")
        return 2;
    bool ok = false;
    const uint number = name.toUInt(&ok);
    return ok ? std::optional<std::uint32_t>(number) : std::nullopt;
}

} // namespace

QString NormalisedKeyPath(const QString& path) {
    QString result = path;
    result.replace(u'/', u'\\');
    while (result.contains(QStringLiteral("\\\\")))
        result.replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
    while (result.startsWith(u'\\'))
        result.remove(0, 1);
    while (result.endsWith(u'\\'))
        result.chop(1);
    return result;
}

std::optional<IniHive> IniHive::load(const std::filesystem::path& file) {
    IniHive hive;
    std::error_code error;
    if (!std::filesystem::exists(file, error))
        return hive;
    QFile in(QString::fromStdString(file.string()));
    if (!in.open(QIODevice::ReadOnly))
        return std::nullopt;

    Key* current = nullptr;
    while (!in.atEnd()) {
        QByteArray line = in.readLine();
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty() || line.startsWith(';'))
            continue;
        if (line.startsWith('[') && line.endsWith(']')) {
            current = &hive.addKey(QString::fromUtf8(Decode(line.mid(1, line.size() - 2))));
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (current == nullptr || equals < 0)
            continue;
        const QByteArray rest = line.mid(equals + 1);
        const qsizetype colon = rest.indexOf(':');
        const auto type = TypeFromName(colon < 0 ? QByteArray() : rest.left(colon));
        if (!type)
            continue;
        const QString name = QString::fromUtf8(Decode(line.left(equals)));
        Value value{name, *type, Decode(rest.mid(colon + 1))};
        if (Value* existing = findValue(*current, name))
            *existing = value;
        else
            current->values.push_back(value);
    }
    return hive;
}

bool IniHive::save(const std::filesystem::path& file) const {
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    QSaveFile out(QString::fromStdString(file.string()));
    if (!out.open(QIODevice::WriteOnly))
        return false;
    for (const Key& key : keys_) {
        out.write("[" + Encode(key.path.toUtf8()) + "]\n");
        for (const Value& value : key.values)
            out.write(Encode(value.name.toUtf8()) + "=" + TypeName(value.type) + ":" +
                      Encode(value.data) + "\n");
        out.write("\n");
    }
    return out.commit();
}

bool IniHive::keyExists(const QString& path) const {
    const QString wanted = NormalisedKeyPath(path);
    const QString below = wanted + u'\\';
    for (const Key& key : keys_) {
        if (key.path.compare(wanted, Qt::CaseInsensitive) == 0 || wanted.isEmpty() ||
            key.path.startsWith(below, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

IniHive::Key* IniHive::findKey(const QString& path) {
    const QString wanted = NormalisedKeyPath(path);
    for (Key& key : keys_) {
        if (key.path.compare(wanted, Qt::CaseInsensitive) == 0)
            return &key;
    }
    return nullptr;
}

IniHive::Key& IniHive::addKey(const QString& path) {
    if (Key* key = findKey(path))
        return *key;
    keys_.push_back(Key{NormalisedKeyPath(path), {}});
    return keys_.back();
}

IniHive::Value* IniHive::findValue(Key& key, const QString& name) {
    for (Value& value : key.values) {
        if (value.name.compare(name, Qt::CaseInsensitive) == 0)
            return &value;
    }
    return nullptr;
}

} // namespace kovi
