#include "platform/desktop/chm/ChmHelpViewer.h"

#include "platform/desktop/MessageSink.h"
#include "platform/desktop/SystemServices.h"
#include "platform/desktop/chm/HelpBook.h"
#include "platform/desktop/chm/HelpPopup.h"
#include "platform/desktop/chm/HelpWindow.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace kovi {
namespace {

// "help.chm>window" or "help.chm::/popups.txt", taken apart.
struct FileArgument {
    QString chmPath;
    QString windowName;
    QString innerFile;
};

FileArgument SplitFileArgument(const QString& file) {
    FileArgument argument;
    QString rest = file;
    const qsizetype inner = rest.indexOf(QStringLiteral("::"));
    if (inner >= 0) {
        argument.innerFile = rest.mid(inner + 2);
        rest.truncate(inner);
    }
    const qsizetype window = rest.indexOf(u'>');
    if (window >= 0) {
        argument.windowName = rest.mid(window + 1).trimmed();
        rest.truncate(window);
    }
    argument.chmPath = rest.trimmed();
    return argument;
}

bool SameFile(const QString& a, const QString& b) {
    return QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
}

QWidget* OwnerWindow(WindowHandle owner) {
    if (owner == 0)
        return nullptr;
    QWidget* widget = QWidget::find(static_cast<WId>(owner));
    return widget != nullptr ? widget->window() : nullptr;
}

WindowHandle HandleOf(QWidget* window) {
    return window != nullptr ? static_cast<WindowHandle>(window->winId()) : 0;
}

QColor ColourFrom(HelpColour colour) {
    if (colour == DefaultHelpColour)
        return {};
    const auto value = static_cast<std::uint32_t>(colour);
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

void CannotOpen(const QString& path) {
    CurrentMessageSink().showMessage(nullptr, MessageIcon::Warning, QStringLiteral("HTML Help"),
                                     QStringLiteral("Cannot open the file: %1.").arg(path));
}

} // namespace

ChmHelpViewer::ChmHelpViewer() : quitWatcher_(std::make_unique<QObject>()) {
    // Help windows belong to no window of the program, so they go when the program does.
    if (auto* application = QCoreApplication::instance()) {
        QObject::connect(application, &QCoreApplication::aboutToQuit, quitWatcher_.get(),
                         [this] { closeAll(Closing::AtOnce); });
    }
}

ChmHelpViewer::~ChmHelpViewer() = default;

std::optional<WindowHandle> ChmHelpViewer::HtmlHelp(WindowHandle owner,
                                                    const std::optional<QString>& file, int command,
                                                    const HelpData& data) {
    switch (command) {
    case HelpCommand::CloseAll:
        closeAll(Closing::Deferred);
        return 0;
    case HelpCommand::DisplayTextPopup:
        if (const auto* popup = std::get_if<HelpPopupRecord>(&data))
            return showPopup(owner, file, *popup);
        return 0;
    default:
        if (!file || file->trimmed().isEmpty())
            return 0;
        return display(owner, *file, command, data);
    }
}

WindowHandle ChmHelpViewer::display(WindowHandle ownerHandle, const QString& file, int command,
                                    const HelpData& data) {
    const FileArgument argument = SplitFileArgument(file);
    QWidget* owner = OwnerWindow(ownerHandle);

    if (command == HelpCommand::KeywordLookup || command == HelpCommand::ALinkLookup) {
        const auto* link = std::get_if<HelpLinkRecord>(&data);
        if (link == nullptr)
            return 0;
        const QString windowName = argument.windowName.isEmpty() && link->window
                                       ? link->window->trimmed()
                                       : argument.windowName;
        return lookUp(owner, argument.chmPath, windowName, *link);
    }

    const bool known = command == HelpCommand::DisplayTopic || command == HelpCommand::DisplayToc ||
                       command == HelpCommand::DisplayIndex ||
                       command == HelpCommand::DisplaySearch || command == HelpCommand::HelpContext;
    if (!known)
        return 0;
    const bool fresh = findWindow(argument.chmPath, argument.windowName) == nullptr;
    HelpWindow* window = windowFor(argument.chmPath, argument.windowName, owner);
    if (window == nullptr)
        return 0;

    switch (command) {
    case HelpCommand::DisplayTopic: {
        const auto* topic = std::get_if<QString>(&data);
        window->showTopic(topic != nullptr ? *topic : QString());
        break;
    }
    case HelpCommand::DisplayToc:
        window->showTab(HelpTab::Contents);
        break;
    case HelpCommand::DisplayIndex:
        window->showTab(HelpTab::Index);
        break;
    case HelpCommand::DisplaySearch: {
        const auto* query = std::get_if<HelpSearchRecord>(&data);
        window->search(query != nullptr ? query->searchQuery.value_or(QString()) : QString(),
                       query != nullptr && query->execute);
        break;
    }
    case HelpCommand::HelpContext: {
        const auto* id = std::get_if<std::int32_t>(&data);
        const auto topic = id != nullptr ? window->book().contextTopic(*id) : std::nullopt;
        if (topic)
            window->showTopic(*topic);
        else
            window->showNote(QCoreApplication::translate("kovi::HelpWindow",
                                                         "This help file has no topic for the "
                                                         "context number %1.")
                                 .arg(id != nullptr ? *id : 0));
        break;
    }
    default:
        break;
    }
    // A window opened for its contents, index or search shows the first topic beside them.
    if (fresh && !window->hasTopic() && command != HelpCommand::HelpContext)
        window->showTopic({});
    return HandleOf(window);
}

WindowHandle ChmHelpViewer::lookUp(QWidget* owner, const QString& chmPath,
                                   const QString& windowName, const HelpLinkRecord& link) {
    HelpWindow* window = findWindow(chmPath, windowName);
    const auto book = window != nullptr ? window->sharedBook() : bookFor(chmPath);
    if (!book) {
        CannotOpen(chmPath);
        return 0;
    }
    const QString keywords = link.keywords.value_or(QString());
    const auto topics = book->lookupKeywords(keywords);

    if (!topics.empty()) {
        window = windowFor(chmPath, windowName, owner, book);
        window->showKeywordTopics(keywords.section(u';', 0, 0).trimmed(), topics);
        return HandleOf(window);
    }
    // Nothing found: the caller's default topic, message and index, each when asked for.
    if (link.url && !link.url->isEmpty()) {
        window = windowFor(chmPath, windowName, owner, book);
        window->showTopic(*link.url);
    }
    if (link.messageText && !link.messageText->isEmpty()) {
        const QString title = link.messageTitle.value_or(QString());
        CurrentMessageSink().showMessage(
            window != nullptr ? window : owner, MessageIcon::Information,
            title.isEmpty() ? book->title() : title, *link.messageText);
    }
    if (link.indexOnFail) {
        window = windowFor(chmPath, windowName, owner, book);
        if (!window->hasTopic())
            window->showTopic({});
        window->showTab(HelpTab::Index);
    }
    return HandleOf(window);
}

WindowHandle ChmHelpViewer::showPopup(WindowHandle owner, const std::optional<QString>& file,
                                      const HelpPopupRecord& record) {
    QString text;
    if (record.text) {
        text = *record.text;
    } else if (file) {
        const FileArgument argument = SplitFileArgument(*file);
        const auto book = bookFor(argument.chmPath);
        if (!book) {
            CannotOpen(argument.chmPath);
            return 0;
        }
        text = book->popupText(argument.innerFile, record.stringId)
                   .value_or(QCoreApplication::translate(
                       "kovi::HelpPopup", "No Help topic is associated with this item."));
    }
    if (text.isEmpty())
        return 0;

    HelpPopupStyle style;
    style.foreground = ColourFrom(record.foreground);
    style.background = ColourFrom(record.background);
    style.margins = record.margins;
    style.font = PopupFontFromString(record.font.value_or(QString()));
    auto* popup = new HelpPopup(text, style, OwnerWindow(owner));
    std::erase_if(popups_, [](const QPointer<HelpPopup>& p) { return p.isNull(); });
    popups_.emplace_back(popup);
    popup->popUpAt(record.position);
    return HandleOf(popup);
}

HelpWindow* ChmHelpViewer::findWindow(const QString& chmPath, const QString& windowName) const {
    for (const QPointer<HelpWindow>& window : windows_) {
        if (window && SameFile(window->book().path(), chmPath) &&
            window->windowName().compare(windowName, Qt::CaseInsensitive) == 0)
            return window;
    }
    return nullptr;
}

std::shared_ptr<const HelpBook> ChmHelpViewer::bookFor(const QString& chmPath) const {
    for (const QPointer<HelpWindow>& window : windows_) {
        if (window && SameFile(window->book().path(), chmPath))
            return window->sharedBook();
    }
    return HelpBook::open(chmPath);
}

HelpWindow* ChmHelpViewer::windowFor(const QString& chmPath, const QString& windowName,
                                     QWidget* owner, std::shared_ptr<const HelpBook> book) {
    HelpWindow* window = findWindow(chmPath, windowName);
    if (window == nullptr) {
        if (!book)
            book = bookFor(chmPath);
        if (!book) {
            CannotOpen(chmPath);
            return nullptr;
        }
        window = new HelpWindow(book, windowName, owner);
        std::erase_if(windows_, [](const QPointer<HelpWindow>& w) { return w.isNull(); });
        windows_.emplace_back(window);
    } else if (owner != nullptr && window->parentWidget() != owner) {
        // Shown on top of the caller from now on.
        window->setParent(owner, window->windowFlags());
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void ChmHelpViewer::closeAll(Closing closing) {
    // After the event loop has ended a closed window would never be deleted.
    auto finish = [closing](QWidget* widget) {
        if (closing == Closing::AtOnce)
            delete widget;
        else
            widget->close();
    };
    for (const QPointer<HelpPopup>& popup : popups_) {
        if (popup)
            finish(popup);
    }
    for (const QPointer<HelpWindow>& window : windows_) {
        if (window)
            finish(window);
    }
    popups_.clear();
    windows_.clear();
}

std::unique_ptr<HelpViewer> CreateSystemHelpViewer() {
    return std::make_unique<ChmHelpViewer>();
}

} // namespace kovi
