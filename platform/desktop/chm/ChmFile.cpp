#include "platform/desktop/chm/ChmFile.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QUrl>
#include <QtEndian>

#include <chm_lib.h>

namespace kovi {
namespace {

// chmlib keeps its own objects beside the stored files: names starting with '#' or '$',
// and the archive's read-me.
bool IsStoredFile(const QString& path) {
    if (path.endsWith(u'/'))
        return false;
    const QString name = path.mid(1);
    return !name.startsWith(u'#') && !name.startsWith(u'$') && !name.startsWith(u':') &&
           name != u"_#_README_#_";
}

// A damaged or hostile file may claim any length; no help page comes near this.
constexpr LONGUINT64 LargestObject = 256ULL << 20;

// Called by chmlib: nothing may be thrown through it.
int CollectName(chmFile*, chmUnitInfo* unit, void* context) noexcept {
    try {
        static_cast<QStringList*>(context)->append(QString::fromUtf8(unit->path));
        return CHM_ENUMERATOR_CONTINUE;
    } catch (...) {
        return CHM_ENUMERATOR_FAILURE;
    }
}

std::uint32_t ReadDword(const QByteArray& bytes, qsizetype offset) {
    return qFromLittleEndian<std::uint32_t>(bytes.constData() + offset);
}

std::uint16_t ReadWord(const QByteArray& bytes, qsizetype offset) {
    return qFromLittleEndian<std::uint16_t>(bytes.constData() + offset);
}

QString CString(const QByteArray& bytes) {
    const qsizetype end = bytes.indexOf('\0');
    return QString::fromUtf8(end < 0 ? bytes : bytes.left(end));
}

} // namespace

std::unique_ptr<ChmFile> ChmFile::open(const QString& path) {
    Handle handle(chm_open(QFile::encodeName(path).constData()));
    if (!handle)
        return nullptr;
    return std::make_unique<ChmFile>(std::move(handle));
}

void ChmFile::Closer::operator()(chmFile* handle) const {
    chm_close(handle);
}

QString ChmFile::innerPathOf(const QString& reference) {
    QString path = reference;
    if (path.startsWith(QStringLiteral("chm:"), Qt::CaseInsensitive))
        path = path.mid(4);
    const qsizetype cut = path.indexOf(QRegularExpression(QStringLiteral("[#?]")));
    if (cut >= 0)
        path.truncate(cut);
    path = QUrl::fromPercentEncoding(path.toUtf8());
    path.replace(u'\\', u'/');
    path = QDir::cleanPath(u'/' + path);
    return path;
}

std::optional<QByteArray> ChmFile::read(const QString& innerPath) const {
    return readObject(innerPathOf(innerPath).toUtf8());
}

std::optional<QByteArray> ChmFile::readObject(const QByteArray& path) const {
    chmUnitInfo unit{};
    if (chm_resolve_object(handle_.get(), path.constData(), &unit) != CHM_RESOLVE_SUCCESS)
        return std::nullopt;
    if (unit.length > LargestObject)
        return std::nullopt;
    QByteArray bytes(static_cast<qsizetype>(unit.length), Qt::Uninitialized);
    if (unit.length == 0)
        return bytes;
    const LONGINT64 got =
        chm_retrieve_object(handle_.get(), &unit, reinterpret_cast<unsigned char*>(bytes.data()), 0,
                            static_cast<LONGINT64>(unit.length));
    if (got != static_cast<LONGINT64>(unit.length))
        return std::nullopt;
    return bytes;
}

QStringList ChmFile::fileNames() const {
    QStringList all;
    chm_enumerate(handle_.get(), CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES, &CollectName, &all);
    QStringList files;
    for (const QString& name : all) {
        if (IsStoredFile(name))
            files.append(name);
    }
    return files;
}

ChmSystemInfo ChmFile::systemInfo() const {
    ChmSystemInfo info;
    const auto system = readObject("/#SYSTEM");
    if (!system)
        return info;
    // A version DWORD, then records {WORD code, WORD length, data}.
    qsizetype offset = 4;
    while (offset + 4 <= system->size()) {
        const std::uint16_t code = ReadWord(*system, offset);
        const std::uint16_t length = ReadWord(*system, offset + 2);
        offset += 4;
        if (offset + length > system->size())
            break;
        const QString text = CString(system->mid(offset, length));
        offset += length;
        switch (code) {
        case 0:
            info.contentsFile = innerPathOf(text);
            break;
        case 1:
            info.indexFile = innerPathOf(text);
            break;
        case 2:
            info.defaultTopic = innerPathOf(text);
            break;
        case 3:
            info.title = text;
            break;
        default:
            break;
        }
    }
    return info;
}

std::optional<QString> ChmFile::contextTopic(std::int32_t id) const {
    const auto map = readObject("/#IVB");
    const auto strings = readObject("/#STRINGS");
    if (!map || !strings || map->size() < 4)
        return std::nullopt;
    const qsizetype end = std::min<qsizetype>(map->size(), 4 + ReadDword(*map, 0));
    for (qsizetype offset = 4; offset + 8 <= end; offset += 8) {
        if (static_cast<std::int32_t>(ReadDword(*map, offset)) != id)
            continue;
        const std::uint32_t at = ReadDword(*map, offset + 4);
        if (at >= static_cast<std::uint32_t>(strings->size()))
            return std::nullopt;
        // Some compilers record the page with the folder it was compiled in: take the
        // stored file that ends the recorded path, the longest if several do.
        QString recorded = CString(strings->mid(at));
        recorded.replace(u'\\', u'/');
        if (!recorded.startsWith(u'/'))
            recorded.prepend(u'/');
        QString best;
        for (const QString& file : fileNames()) {
            if (recorded.endsWith(file, Qt::CaseInsensitive) && file.size() > best.size())
                best = file;
        }
        if (best.isEmpty())
            return std::nullopt;
        return best;
    }
    return std::nullopt;
}

} // namespace kovi
