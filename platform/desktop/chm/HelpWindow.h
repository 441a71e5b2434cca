#pragma once

#include "platform/desktop/chm/SiteMap.h"

#include <QWidget>

#include <memory>
#include <vector>

class QLineEdit;
class QListWidget;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;
class QUrl;

namespace kovi {

class HelpBook;
class TopicBrowser;

enum class HelpTab { Contents, Index, Search };

// One help viewer window over one help file: the contents, index and search tabs beside
// the topic. It deletes itself when closed and does not keep the program running.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    HelpWindow(std::shared_ptr<const HelpBook> book, QString windowName, QWidget* owner);

    const HelpBook& book() const { return *book_; }
    const std::shared_ptr<const HelpBook>& sharedBook() const { return book_; }
    const QString& windowName() const { return windowName_; }

    // An empty path shows the file's default topic.
    void showTopic(const QString& innerPath);
    // A page of the viewer's own, for a request that the file cannot answer.
    void showNote(const QString& text);
    void showTab(HelpTab tab);
    // Fills the search box and, when `execute`, lists the pages found.
    void search(const QString& query, bool execute);
    // The outcome of a keyword look-up: the first topic is shown and, when there are
    // several, the index lists them all under the keyword.
    void showKeywordTopics(const QString& keyword, const std::vector<SiteMapTopic>& topics);

    bool hasTopic() const;
    QString currentTopic() const; // inner path, "" before the first topic
    QString topicText() const;
    HelpTab currentTab() const;
    QStringList contentsTitles() const;  // depth first
    QString markedContentsTitle() const; // the entry of the topic shown
    QStringList indexKeywords() const;
    QStringList searchResultTitles() const;
    QStringList keywordTopicTitles() const;

private:
    QWidget* makeContentsTab();
    QWidget* makeIndexTab();
    QWidget* makeSearchTab();
    void addContents(const std::vector<SiteMapEntry>& entries, QTreeWidgetItem* parent);
    void addIndexEntries(const std::vector<SiteMapEntry>& entries, int depth);
    void selectKeyword(const QString& typed);
    void showKeywordAt(int row);
    void listKeywordTopics(const std::vector<SiteMapTopic>& topics);
    void runSearch();
    void markContentsEntry(const QUrl& shown);

    std::shared_ptr<const HelpBook> book_;
    QString windowName_;
    TopicBrowser* browser_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    QTreeWidget* contents_ = nullptr;
    QLineEdit* keywordEdit_ = nullptr;
    QListWidget* keywords_ = nullptr;
    QListWidget* keywordTopics_ = nullptr;
    QLineEdit* searchEdit_ = nullptr;
    QListWidget* searchResults_ = nullptr;
    std::vector<const SiteMapEntry*> indexEntries_; // one per row of keywords_
    bool noteShown_ = false;
};

} // namespace kovi
