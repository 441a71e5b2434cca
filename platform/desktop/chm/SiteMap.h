#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace kovi {

struct SiteMapTopic {
    QString name;
    QString local; // path inside the help file
};

// One entry of a contents (.hhc) or index (.hhk) file: its name (the keyword of an index
// entry), the topics it leads to and the entries nested below it.
struct SiteMapEntry {
    QString name;
    std::vector<SiteMapTopic> topics;
    std::vector<SiteMapEntry> children;
};

// Reads the <UL><LI><OBJECT type="text/sitemap"> lists of a contents or index file. It is
// tolerant: unknown tags and parameters are skipped, unclosed lists end with the text.
std::vector<SiteMapEntry> ParseSiteMap(const QString& html);

// Help sources are UTF-8 or, in older files, the Windows Western code page.
QString DecodeHelpText(const QByteArray& bytes);

// Replaces &amp;, &lt;, &#233;, &#xE9; and the other common entities.
QString DecodeHtmlEntities(const QString& text);

} // namespace kovi
