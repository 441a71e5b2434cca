#include "platform/desktop/chm/PopupText.h"

#include <QRegularExpression>
#include <QStringList>

namespace kovi {

QHash<QString, std::uint32_t> ParseContextDefines(const QString& header) {
    static const QRegularExpression define(
        QStringLiteral(R"(^\s*#\s*define\s+([A-Za-z_][A-Za-z0-9_]*)\s+(0[xX][0-9a-fA-F]+|[0-9]+))"),
        QRegularExpression::MultilineOption);
    QHash<QString, std::uint32_t> names;
    for (auto it = define.globalMatch(header); it.hasNext();) {
        const auto match = it.next();
        bool ok = false;
        const uint value = match.captured(2).toUInt(&ok, 0);
        if (ok)
            names.insert(match.captured(1).toUpper(), value);
    }
    return names;
}

std::optional<QString> FindPopupTopic(const QString& file, std::uint32_t id,
                                      const QHash<QString, std::uint32_t>& names) {
    QStringList lines = file.split(u'\n');
    bool inTopic = false;
    bool found = false;
    QStringList paragraphs;
    QString paragraph;

    for (QString line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.startsWith(QStringLiteral(".topic"), Qt::CaseInsensitive)) {
            if (found)
                break;
            const QString name = line.mid(6).trimmed();
            bool numeric = false;
            const uint number = name.toUInt(&numeric, 0);
            const auto named = names.constFind(name.toUpper());
            inTopic = (numeric && number == id) || (named != names.cend() && *named == id);
            found = inTopic;
            continue;
        }
        if (!inTopic)
            continue;
        if (line.trimmed().isEmpty()) {
            if (!paragraph.isEmpty())
                paragraphs.append(paragraph);
            paragraph.clear();
        } else {
            paragraph += (paragraph.isEmpty() ? QString() : QStringLiteral(" ")) + line.trimmed();
        }
    }
    if (!found)
        return std::nullopt;
    if (!paragraph.isEmpty())
        paragraphs.append(paragraph);
    return paragraphs.join(QStringLiteral("\n\n"));
}

} // namespace kovi
