#include "platform/desktop/chm/SiteMap.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringDecoder>

namespace kovi {
namespace {

QHash<QString, QString> Attributes(const QString& text) {
    static const QRegularExpression attribute(QStringLiteral(
        R"re(([A-Za-z_:][-A-Za-z0-9_:.]*)\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s"'>]+)))re"));
    QHash<QString, QString> result;
    for (auto it = attribute.globalMatch(text); it.hasNext();) {
        const auto match = it.next();
        QString value = match.captured(2);
        if (match.capturedStart(3) >= 0)
            value = match.captured(3);
        else if (match.capturedStart(4) >= 0)
            value = match.captured(4);
        result.insert(match.captured(1).toLower(), DecodeHtmlEntities(value));
    }
    return result;
}

} // namespace

QString DecodeHtmlEntities(const QString& text) {
    static const QHash<QString, QString> named{
        {QStringLiteral("amp"), QStringLiteral("&")},
        {QStringLiteral("lt"), QStringLiteral("<")},
        {QStringLiteral("gt"), QStringLiteral(">")},
        {QStringLiteral("quot"), QStringLiteral("\"")},
        {QStringLiteral("apos"), QStringLiteral("'")},
        {QStringLiteral("nbsp"), QStringLiteral("\u00a0")},
    };
    static const QRegularExpression entity(
        QStringLiteral("&(#[0-9]+|#[xX][0-9a-fA-F]+|[a-zA-Z]+);"));
    QString result;
    qsizetype position = 0;
    for (auto it = entity.globalMatch(text); it.hasNext();) {
        const auto match = it.next();
        const QString body = match.captured(1);
        QString replacement = match.captured(0);
        if (body.startsWith(u'#')) {
            bool ok = false;
            const bool hex = body.size() > 1 && (body[1] == u'x' || body[1] == u'X');
            const uint code = hex ? body.mid(2).toUInt(&ok, 16) : body.mid(1).toUInt(&ok, 10);
            if (ok && code > 0 && code <= 0x10FFFF) {
                const char32_t character = code;
                replacement = QString::fromUcs4(&character, 1);
            }
        } else if (named.contains(body.toLower())) {
            replacement = named.value(body.toLower());
        }
        result += text.mid(position, match.capturedStart() - position) + replacement;
        position = match.capturedEnd();
    }
    return result + text.mid(position);
}

QString DecodeHelpText(const QByteArray& bytes) {
    // Stateless: a sequence cut off at the end is an error too, not something to wait for.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    QStringDecoder western("windows-1252");
    if (western.isValid())
        return western(bytes);
    return QString::fromLatin1(bytes);
}

std::vector<SiteMapEntry> ParseSiteMap(const QString& html) {
    static const QRegularExpression tag(QStringLiteral(R"(<\s*(/?)\s*([A-Za-z]+)([^>]*)>)"));

    std::vector<SiteMapEntry> roots;
    // The lists being filled, innermost last. The pointers stay valid: a list only grows
    // while no list below it is open.
    std::vector<std::vector<SiteMapEntry>*> lists{&roots};
    int depth = 0;
    bool inObject = false;
    SiteMapEntry entry;
    QString pendingName;

    for (auto it = tag.globalMatch(html); it.hasNext();) {
        const auto match = it.next();
        const bool closing = !match.captured(1).isEmpty();
        const QString name = match.captured(2).toLower();
        if (name == u"ul") {
            if (closing) {
                if (depth > 0)
                    --depth;
                if (lists.size() > 1)
                    lists.pop_back();
            } else {
                std::vector<SiteMapEntry>* current = lists.back();
                lists.push_back(depth > 0 && !current->empty() ? &current->back().children
                                                               : current);
                ++depth;
            }
        } else if (name == u"object") {
            if (!closing) {
                const auto attributes = Attributes(match.captured(3));
                inObject = attributes.value(QStringLiteral("type"))
                               .compare(u"text/sitemap", Qt::CaseInsensitive) == 0;
                entry = SiteMapEntry{};
                pendingName.clear();
            } else if (inObject) {
                inObject = false;
                if (!entry.name.isEmpty() || !entry.topics.empty())
                    lists.back()->push_back(std::move(entry));
                entry = SiteMapEntry{};
            }
        } else if (name == u"param" && inObject && !closing) {
            const auto attributes = Attributes(match.captured(3));
            const QString parameter = attributes.value(QStringLiteral("name")).toLower();
            const QString value = attributes.value(QStringLiteral("value"));
            if (parameter == u"name") {
                if (entry.name.isEmpty())
                    entry.name = value;
                else
                    pendingName = value;
            } else if (parameter == u"local") {
                entry.topics.push_back({pendingName.isEmpty() ? entry.name : pendingName, value});
                pendingName.clear();
            }
        }
    }
    return roots;
}

} // namespace kovi
