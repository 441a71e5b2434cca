#include "platform/desktop/chm/HelpWindow.h"

#include "platform/desktop/chm/HelpBook.h"
#include "platform/desktop/chm/TopicBrowser.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kovi {
namespace {

constexpr int PathRole = Qt::UserRole;

void AddTopicItem(QListWidget* list, const SiteMapTopic& topic) {
    auto* item = new QListWidgetItem(topic.name.isEmpty() ? topic.local : topic.name, list);
    item->setData(PathRole, topic.local);
}

void CollectTitles(const QTreeWidgetItem* item, QStringList& titles) {
    for (int i = 0; i < item->childCount(); ++i) {
        titles.append(item->child(i)->text(0));
        CollectTitles(item->child(i), titles);
    }
}

QStringList ItemTexts(const QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->item(i)->text().trimmed());
    return texts;
}

} // namespace

HelpWindow::HelpWindow(std::shared_ptr<const HelpBook> book, QString windowName, QWidget* owner)
    : QWidget(owner, Qt::Window), book_(std::move(book)), windowName_(std::move(windowName)) {
    setAttribute(Qt::WA_DeleteOnClose);
    // Like the viewer of the original platform, help windows never keep the program alive.
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(book_->title());
    resize(920, 640);

    browser_ = new TopicBrowser(book_, this);
    tabs_ = new QTabWidget(this);
    tabs_->addTab(makeContentsTab(), tr("Contents"));
    tabs_->addTab(makeIndexTab(), tr("Index"));
    tabs_->addTab(makeSearchTab(), tr("Search"));

    auto* toolBar = new QToolBar(this);
    toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    QAction* back = toolBar->addAction(style()->standardIcon(QStyle::SP_ArrowBack), tr("Back"));
    QAction* forward =
        toolBar->addAction(style()->standardIcon(QStyle::SP_ArrowForward), tr("Forward"));
    QAction* home = toolBar->addAction(style()->standardIcon(QStyle::SP_DirHomeIcon), tr("Home"));
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(back, &QAction::triggered, browser_, &QTextBrowser::backward);
    connect(forward, &QAction::triggered, browser_, &QTextBrowser::forward);
    connect(home, &QAction::triggered, this, [this] { showTopic({}); });
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
    connect(browser_, &QTextBrowser::sourceChanged, this, &HelpWindow::markContentsEntry);

    auto* splitter = new QSplitter(this);
    splitter->addWidget(tabs_);
    splitter->addWidget(browser_);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({300, 600});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolBar);
    layout->addWidget(splitter, 1);
}

QWidget* HelpWindow::makeContentsTab() {
    contents_ = new QTreeWidget(this);
    contents_->setHeaderHidden(true);
    addContents(book_->contents(), contents_->invisibleRootItem());
    contents_->expandToDepth(0);
    connect(contents_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        const QString path = item->data(0, PathRole).toString();
        if (!path.isEmpty())
            showTopic(path);
    });
    connect(contents_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        const QString path = item->data(0, PathRole).toString();
        if (!path.isEmpty())
            showTopic(path);
    });
    return contents_;
}

void HelpWindow::addContents(const std::vector<SiteMapEntry>& entries, QTreeWidgetItem* parent) {
    for (const SiteMapEntry& entry : entries) {
        auto* item = new QTreeWidgetItem(parent, QStringList{entry.name});
        if (!entry.topics.empty())
            item->setData(0, PathRole, entry.topics.front().local);
        item->setIcon(0, style()->standardIcon(entry.children.empty() ? QStyle::SP_FileIcon
                                                                      : QStyle::SP_DirIcon));
        addContents(entry.children, item);
    }
}

QWidget* HelpWindow::makeIndexTab() {
    auto* page = new QWidget(this);
    keywordEdit_ = new QLineEdit(page);
    keywords_ = new QListWidget(page);
    keywordTopics_ = new QListWidget(page);
    auto* display = new QPushButton(tr("&Display"), page);
    auto* typeLabel = new QLabel(tr("Type in the &keyword to find:"), page);
    typeLabel->setBuddy(keywordEdit_);

    addIndexEntries(book_->index(), 0);

    connect(keywordEdit_, &QLineEdit::textEdited, this, &HelpWindow::selectKeyword);
    connect(keywordEdit_, &QLineEdit::returnPressed, this,
            [this] { showKeywordAt(keywords_->currentRow()); });
    connect(keywords_, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { showKeywordAt(keywords_->row(item)); });
    connect(display, &QPushButton::clicked, this,
            [this] { showKeywordAt(keywords_->currentRow()); });
    connect(keywordTopics_, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { showTopic(item->data(PathRole).toString()); });

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(typeLabel);
    layout->addWidget(keywordEdit_);
    layout->addWidget(keywords_, 3);
    auto* topicsLabel = new QLabel(tr("&Topics found:"), page);
    topicsLabel->setBuddy(keywordTopics_);
    layout->addWidget(topicsLabel);
    layout->addWidget(keywordTopics_, 1);
    layout->addWidget(display, 0, Qt::AlignRight);
    return page;
}

void HelpWindow::addIndexEntries(const std::vector<SiteMapEntry>& entries, int depth) {
    for (const SiteMapEntry& entry : entries) {
        keywords_->addItem(QString(depth * 4, u' ') + entry.name);
        indexEntries_.push_back(&entry);
        addIndexEntries(entry.children, depth + 1);
    }
}

void HelpWindow::selectKeyword(const QString& typed) {
    for (int row = 0; row < keywords_->count(); ++row) {
        if (keywords_->item(row)->text().trimmed().startsWith(typed.trimmed(),
                                                              Qt::CaseInsensitive)) {
            keywords_->setCurrentRow(row);
            keywords_->scrollToItem(keywords_->item(row), QAbstractItemView::PositionAtTop);
            return;
        }
    }
}

void HelpWindow::showKeywordAt(int row) {
    if (row < 0 || row >= static_cast<int>(indexEntries_.size()))
        return;
    const SiteMapEntry& entry = *indexEntries_[static_cast<std::size_t>(row)];
    listKeywordTopics(entry.topics);
    if (!entry.topics.empty())
        showTopic(entry.topics.front().local);
}

void HelpWindow::listKeywordTopics(const std::vector<SiteMapTopic>& topics) {
    keywordTopics_->clear();
    for (const SiteMapTopic& topic : topics)
        AddTopicItem(keywordTopics_, topic);
    if (keywordTopics_->count() > 0)
        keywordTopics_->setCurrentRow(0);
}

QWidget* HelpWindow::makeSearchTab() {
    auto* page = new QWidget(this);
    searchEdit_ = new QLineEdit(page);
    searchResults_ = new QListWidget(page);
    auto* list = new QPushButton(tr("&List Topics"), page);
    auto* display = new QPushButton(tr("&Display"), page);
    auto* typeLabel = new QLabel(tr("Type in the &word(s) to search for:"), page);
    typeLabel->setBuddy(searchEdit_);

    connect(searchEdit_, &QLineEdit::returnPressed, this, &HelpWindow::runSearch);
    connect(list, &QPushButton::clicked, this, &HelpWindow::runSearch);
    connect(searchResults_, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { showTopic(item->data(PathRole).toString()); });
    connect(display, &QPushButton::clicked, this, [this] {
        if (QListWidgetItem* item = searchResults_->currentItem())
            showTopic(item->data(PathRole).toString());
    });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(list);
    buttons->addWidget(display);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(typeLabel);
    layout->addWidget(searchEdit_);
    layout->addLayout(buttons);
    auto* resultsLabel = new QLabel(tr("Select &topic to display:"), page);
    resultsLabel->setBuddy(searchResults_);
    layout->addWidget(resultsLabel);
    layout->addWidget(searchResults_, 1);
    return page;
}

void HelpWindow::runSearch() {
    searchResults_->clear();
    const auto found = book_->search(searchEdit_->text());
    for (const SiteMapTopic& topic : found)
        AddTopicItem(searchResults_, topic);
    if (found.empty() && !searchEdit_->text().trimmed().isEmpty())
        searchResults_->addItem(tr("No topics found."));
    else if (!found.empty())
        searchResults_->setCurrentRow(0);
}

void HelpWindow::showTopic(const QString& innerPath) {
    const QString path = innerPath.isEmpty() ? book_->defaultTopic() : innerPath;
    if (path.isEmpty()) {
        showNote(tr("This help file names no topic to show first."));
        return;
    }
    if (!book_->read(path)) {
        showNote(tr("The topic %1 is not in this help file.").arg(path));
        return;
    }
    const QUrl url = TopicBrowser::topicUrl(path);
    // The same page again emits no change, yet it is no longer covered by a note.
    if (noteShown_ && url == browser_->source())
        browser_->reload();
    browser_->setSource(url);
    noteShown_ = false;
}

void HelpWindow::showNote(const QString& text) {
    noteShown_ = true;
    browser_->setHtml(QStringLiteral("<p>%1</p>").arg(text.toHtmlEscaped()));
}

void HelpWindow::showTab(HelpTab tab) {
    tabs_->setCurrentIndex(static_cast<int>(tab));
    if (tab == HelpTab::Index)
        keywordEdit_->setFocus();
    else if (tab == HelpTab::Search)
        searchEdit_->setFocus();
}

void HelpWindow::search(const QString& query, bool execute) {
    showTab(HelpTab::Search);
    searchEdit_->setText(query);
    if (execute && !query.trimmed().isEmpty())
        runSearch();
}

void HelpWindow::showKeywordTopics(const QString& keyword,
                                   const std::vector<SiteMapTopic>& topics) {
    keywordEdit_->setText(keyword);
    selectKeyword(keyword);
    listKeywordTopics(topics);
    if (topics.size() > 1)
        showTab(HelpTab::Index);
    if (!topics.empty())
        showTopic(topics.front().local);
}

void HelpWindow::markContentsEntry(const QUrl& shown) {
    noteShown_ = false;
    // A book that opens on the page of its first entry should not hide that entry.
    QTreeWidgetItem* marked = nullptr;
    for (QTreeWidgetItemIterator it(contents_); *it; ++it) {
        const QString path = ChmFile::innerPathOf((*it)->data(0, PathRole).toString());
        if (path.compare(shown.path(), Qt::CaseInsensitive) != 0)
            continue;
        if (marked == nullptr || (*it)->childCount() == 0)
            marked = *it;
        if ((*it)->childCount() == 0)
            break;
    }
    if (marked != nullptr) {
        const QSignalBlocker blocker(contents_);
        contents_->setCurrentItem(marked);
    }
}

bool HelpWindow::hasTopic() const {
    return !noteShown_ && !browser_->source().isEmpty();
}

QString HelpWindow::currentTopic() const {
    return hasTopic() ? browser_->source().path() : QString();
}

QString HelpWindow::topicText() const {
    return browser_->toPlainText();
}

HelpTab HelpWindow::currentTab() const {
    return static_cast<HelpTab>(tabs_->currentIndex());
}

QStringList HelpWindow::contentsTitles() const {
    QStringList titles;
    CollectTitles(contents_->invisibleRootItem(), titles);
    return titles;
}

QString HelpWindow::markedContentsTitle() const {
    const QTreeWidgetItem* item = contents_->currentItem();
    return item != nullptr ? item->text(0) : QString();
}

QStringList HelpWindow::indexKeywords() const {
    return ItemTexts(keywords_);
}
QStringList HelpWindow::searchResultTitles() const {
    return ItemTexts(searchResults_);
}
QStringList HelpWindow::keywordTopicTitles() const {
    return ItemTexts(keywordTopics_);
}

} // namespace kovi
