#include "platform/desktop/chm/TopicBrowser.h"

#include "platform/desktop/chm/HelpBook.h"

#include <QDesktopServices>

namespace kovi {
namespace {

const QString TopicScheme = QStringLiteral("chm");

} // namespace

TopicBrowser::TopicBrowser(std::shared_ptr<const HelpBook> book, QWidget* parent)
    : QTextBrowser(parent), book_(std::move(book)) {
    // Links are followed here, so that an outside address opens in the browser instead of
    // loading a blank page.
    setOpenLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, &TopicBrowser::followLink);
}

QUrl TopicBrowser::topicUrl(const QString& innerPath) {
    QUrl url;
    url.setScheme(TopicScheme);
    const qsizetype hash = innerPath.indexOf(u'#');
    url.setPath(ChmFile::innerPathOf(innerPath));
    if (hash >= 0)
        url.setFragment(innerPath.mid(hash + 1));
    return url;
}

QVariant TopicBrowser::loadResource(int type, const QUrl& name) {
    if (name.scheme() != TopicScheme)
        return QTextBrowser::loadResource(type, name);
    // A missing path gives nothing: Qt asks again for the last page's pictures against the
    // new page's folder.
    if (const auto bytes = book_->read(name.path()))
        return *bytes;
    return {};
}

void TopicBrowser::followLink(const QUrl& link) {
    if (link.scheme() == TopicScheme || link.isRelative())
        setSource(link.isRelative() ? source().resolved(link) : link);
    else
        QDesktopServices::openUrl(link);
}

} // namespace kovi
