#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>

struct chmFile;

namespace kovi {

// What the compiler recorded about the help file in its #SYSTEM object.
struct ChmSystemInfo {
    QString contentsFile; // "/contents.hhc"
    QString indexFile;
    QString defaultTopic;
    QString title;
};

// A compiled help file opened through chmlib. Paths inside it are "/page.html"; a
// "#fragment" or "?query" is ignored and the look-up ignores case.
class ChmFile {
public:
    // Nothing when the file cannot be opened as a compiled help file.
    static std::unique_ptr<ChmFile> open(const QString& path);

    struct Closer {
        void operator()(chmFile* handle) const;
    };
    using Handle = std::unique_ptr<chmFile, Closer>;
    explicit ChmFile(Handle handle) : handle_(std::move(handle)) {}

    std::optional<QByteArray> read(const QString& innerPath) const;
    // Every stored file (not the internal objects), as "/name".
    QStringList fileNames() const;
    ChmSystemInfo systemInfo() const;
    // The stored file that the context number is mapped to, when the file maps it.
    std::optional<QString> contextTopic(std::int32_t id) const;

    // "page.html#a", "chm:/page.html" and "%20" all become the plain inner path.
    static QString innerPathOf(const QString& reference);

private:
    // An object by its exact stored path, such as "/#SYSTEM".
    std::optional<QByteArray> readObject(const QByteArray& path) const;

    Handle handle_;
};

} // namespace kovi
