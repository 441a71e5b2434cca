#include "platform/desktop/chm/HelpBook.h"

#include "platform/desktop/chm/PopupText.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTextDocumentFragment>

#include <algorithm>

namespace kovi {
namespace {

// The stored file of that type, when #SYSTEM does not name it.
QString FirstFileEndingIn(const QStringList& files, const QString& suffix) {
    for (const QString& file : files) {
        if (file.endsWith(suffix, Qt::CaseInsensitive))
            return file;
    }
    return {};
}

void CollectKeywordTopics(const std::vector<SiteMapEntry>& entries, const QString& keyword,
                          std::vector<SiteMapTopic>& topics) {
    for (const SiteMapEntry& entry : entries) {
        if (entry.name.trimmed().compare(keyword, Qt::CaseInsensitive) == 0) {
            for (const SiteMapTopic& topic : entry.topics) {
                const bool known = std::any_of(topics.begin(), topics.end(), [&](auto& t) {
                    return t.local.compare(topic.local, Qt::CaseInsensitive) == 0;
                });
                if (!known)
                    topics.push_back(topic);
            }
        }
        CollectKeywordTopics(entry.children, keyword, topics);
    }
}

QString PageTitle(const QString& html, const QString& fallback) {
    static const QRegularExpression title(QStringLiteral("<title[^>]*>(.*?)</title>"),
                                          QRegularExpression::CaseInsensitiveOption |
                                              QRegularExpression::DotMatchesEverythingOption);
    const auto match = title.match(html);
    const QString text =
        match.hasMatch() ? DecodeHtmlEntities(match.captured(1)).simplified() : QString();
    return text.isEmpty() ? fallback : text;
}

} // namespace

std::shared_ptr<HelpBook> HelpBook::open(const QString& path) {
    auto file = ChmFile::open(path);
    if (!file)
        return nullptr;
    return std::make_shared<HelpBook>(path, std::move(file));
}

HelpBook::HelpBook(QString path, std::unique_ptr<ChmFile> file)
    : path_(std::move(path)), file_(std::move(file)), system_(file_->systemInfo()) {
    const QStringList files = file_->fileNames();
    if (system_.contentsFile.isEmpty())
        system_.contentsFile = FirstFileEndingIn(files, QStringLiteral(".hhc"));
    if (system_.indexFile.isEmpty())
        system_.indexFile = FirstFileEndingIn(files, QStringLiteral(".hhk"));
    if (const auto bytes = file_->read(system_.contentsFile))
        contents_ = ParseSiteMap(DecodeHelpText(*bytes));
    if (const auto bytes = file_->read(system_.indexFile))
        index_ = ParseSiteMap(DecodeHelpText(*bytes));
}

QString HelpBook::title() const {
    return system_.title.isEmpty() ? QFileInfo(path_).completeBaseName() : system_.title;
}

QString HelpBook::defaultTopic() const {
    if (!system_.defaultTopic.isEmpty())
        return system_.defaultTopic;
    if (!contents_.empty() && !contents_.front().topics.empty())
        return ChmFile::innerPathOf(contents_.front().topics.front().local);
    return {};
}

std::vector<SiteMapTopic> HelpBook::lookupKeywords(const QString& keywords) const {
    std::vector<SiteMapTopic> topics;
    for (const QString& keyword : keywords.split(u';', Qt::SkipEmptyParts)) {
        if (!keyword.trimmed().isEmpty())
            CollectKeywordTopics(index_, keyword.trimmed(), topics);
    }
    return topics;
}

const std::vector<HelpBook::Page>& HelpBook::pages() const {
    if (pages_)
        return *pages_;
    pages_.emplace();
    for (const QString& file : file_->fileNames()) {
        if (!file.endsWith(QStringLiteral(".html"), Qt::CaseInsensitive) &&
            !file.endsWith(QStringLiteral(".htm"), Qt::CaseInsensitive))
            continue;
        const auto bytes = file_->read(file);
        if (!bytes)
            continue;
        const QString html = DecodeHelpText(*bytes);
        const QString text = QTextDocumentFragment::fromHtml(html).toPlainText();
        pages_->push_back({file, PageTitle(html, file.mid(1)), text});
    }
    return *pages_;
}

std::vector<SiteMapTopic> HelpBook::search(const QString& query) const {
    const QStringList words =
        query.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    std::vector<SiteMapTopic> found;
    if (words.isEmpty())
        return found;
    for (const Page& page : pages()) {
        const bool all = std::all_of(words.begin(), words.end(), [&](const QString& word) {
            return page.text.contains(word, Qt::CaseInsensitive) ||
                   page.title.contains(word, Qt::CaseInsensitive);
        });
        if (all)
            found.push_back({page.title, page.path});
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return QString::localeAwareCompare(a.name, b.name) < 0;
    });
    return found;
}

std::optional<QString> HelpBook::popupText(const QString& innerPath, std::uint32_t id) const {
    const auto bytes = file_->read(innerPath);
    if (!bytes)
        return std::nullopt;
    QHash<QString, std::uint32_t> names;
    for (const QString& file : file_->fileNames()) {
        if (!file.endsWith(QStringLiteral(".h"), Qt::CaseInsensitive))
            continue;
        if (const auto header = file_->read(file))
            names.insert(ParseContextDefines(DecodeHelpText(*header)));
    }
    return FindPopupTopic(DecodeHelpText(*bytes), id, names);
}

} // namespace kovi
