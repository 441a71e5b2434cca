#pragma once

#include "platform/desktop/chm/ChmFile.h"
#include "platform/desktop/chm/SiteMap.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace kovi {

// What the viewer shows of one compiled help file: its contents, its index, its topics
// and a plain full-text search over them.
class HelpBook {
public:
    // Nothing when the file cannot be opened.
    static std::shared_ptr<HelpBook> open(const QString& path);

    explicit HelpBook(QString path, std::unique_ptr<ChmFile> file);

    const QString& path() const { return path_; }
    QString title() const;
    QString defaultTopic() const;
    const std::vector<SiteMapEntry>& contents() const { return contents_; }
    const std::vector<SiteMapEntry>& index() const { return index_; }

    std::optional<QByteArray> read(const QString& innerPath) const {
        return file_->read(innerPath);
    }
    std::optional<QString> contextTopic(std::int32_t id) const { return file_->contextTopic(id); }

    // The topics of every index entry whose keyword equals one of the ";"-separated
    // keywords, ignoring case; entries nested in the index count as well.
    std::vector<SiteMapTopic> lookupKeywords(const QString& keywords) const;

    // The pages that contain every word of the query, ignoring case, by title.
    std::vector<SiteMapTopic> search(const QString& query) const;

    // The text of topic `id` in the pop-up text file stored as `innerPath`; the topic names
    // it uses are looked up in the context map headers (.h) stored beside it.
    std::optional<QString> popupText(const QString& innerPath, std::uint32_t id) const;

private:
    struct Page {
        QString path;
        QString title;
        QString text;
    };
    const std::vector<Page>& pages() const;

    QString path_;
    std::unique_ptr<ChmFile> file_;
    ChmSystemInfo system_;
    std::vector<SiteMapEntry> contents_;
    std::vector<SiteMapEntry> index_;
    mutable std::optional<std::vector<Page>> pages_;
};

} // namespace kovi
