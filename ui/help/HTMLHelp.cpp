#include "ui/help/HTMLHelp.h"

#include "platform/desktop/MessageSink.h"
#include "platform/desktop/WindowCommands.h"

namespace kovi {
namespace {

const QString MessageTitle = QStringLiteral("HTML Help Class");

// The viewer's record sizes, as the original class fills them in.
constexpr std::int32_t SearchRecordSize = 32;
// Eight 32-bit fields would make 32; the viewer has always been handed 28.
constexpr std::int32_t LinkRecordSize = 28;

constexpr std::uint32_t JumpToUrlCommand = 0xEFFF;

std::optional<QString> PointerUnlessEmpty(QString& property) {
    if (property.isEmpty()) {
        property = QString(); // the null string: the viewer gets no pointer at all
        return std::nullopt;
    }
    return property;
}

} // namespace

HTMLHelp::HTMLHelp(std::filesystem::path programFolder)
    : programFolder_(std::move(programFolder)) {}

void HTMLHelp::ShowErrorMessage(const QString& text) const {
    CurrentMessageSink().showMessage(nullptr, MessageIcon::Critical, MessageTitle, text);
}

void HTMLHelp::ShowWarningMessage(const QString& text) const {
    CurrentMessageSink().showMessage(nullptr, MessageIcon::Warning, MessageTitle, text);
}

void HTMLHelp::ShowInfoMessage(const QString& text) const {
    CurrentMessageSink().showMessage(nullptr, MessageIcon::Information, MessageTitle, text);
}

bool HTMLHelp::IsChmFileName(const QString& fileName) const {
    if (fileName.right(3).compare(QLatin1String("chm"), Qt::CaseInsensitive) == 0)
        return true;
    ShowWarningMessage(fileName + QStringLiteral(" is not a valid HTML Help file."));
    return false;
}

HTMLHelp::DisplayStep HTMLHelp::prepareDisplay(const char* method, WindowHandle callingForm,
                                               WindowHandle& owner) {
    if (!IsChmFileName(chmFile_))
        return DisplayStep::Stop;
    if (!EnsureFileExists(chmFile_))
        return DisplayStep::Stop;
    owner = 0;
    if (showOnTop_) {
        if (callingForm == 0) {
            ShowWarningMessage(
                QStringLiteral("The ") + QLatin1String(method) +
                QStringLiteral(" method was called ") +
                QStringLiteral("without a form being specified, while HHShowOnTop ") +
                QStringLiteral("was set to True."));
            return DisplayStep::Stop;
        }
        owner = callingForm;
    }
    return DisplayStep::Continue;
}

QString HTMLHelp::fileArgument() const {
    if (window_.trimmed().isEmpty())
        return chmFile_;
    return chmFile_ + u'>' + window_;
}

void HTMLHelp::callViewer(WindowHandle owner, const std::optional<QString>& file, int command,
                          const HelpData& data) {
    // A viewer that cannot be reached leaves the last handle in place.
    if (const auto handle = CurrentHelpViewer().HtmlHelp(owner, file, command, data))
        wndHandle_ = *handle;
}

HelpLinkRecord HTMLHelp::linkRecord(const QString& keywords) {
    HelpLinkRecord record;
    record.structSize = LinkRecordSize;
    record.reserved = false;
    record.keywords = keywords;
    record.url = PointerUnlessEmpty(defaultUrl_);
    record.messageText = PointerUnlessEmpty(msgText_);
    record.messageTitle = PointerUnlessEmpty(msgTitle_);
    if (!window_.trimmed().isEmpty())
        record.window = window_;
    record.indexOnFail = false;
    return record;
}

void HTMLHelp::HHDisplayTopicURL(WindowHandle callingForm) {
    WindowHandle owner = 0;
    if (prepareDisplay("HHDisplayTopicURL", callingForm, owner) == DisplayStep::Stop)
        return;
    callViewer(owner, fileArgument(), HelpCommand::DisplayTopic, topicUrl_);
}

void HTMLHelp::HHDisplayTopicID(WindowHandle callingForm) {
    WindowHandle owner = 0;
    if (prepareDisplay("HHDisplayTopicID", callingForm, owner) == DisplayStep::Stop)
        return;
    callViewer(owner, fileArgument(), HelpCommand::HelpContext, topicId_);
}

void HTMLHelp::HHDisplaySearch(WindowHandle callingForm) {
    WindowHandle owner = 0;
    if (prepareDisplay("HHDisplaySearch", callingForm, owner) == DisplayStep::Stop)
        return;
    HelpSearchRecord query;
    query.structSize = SearchRecordSize;
    query.unicodeStrings = false;
    query.searchQuery = QStringLiteral("");
    query.proximity = 0;
    query.stemmedSearch = false;
    query.titleOnly = false;
    query.execute = true;
    query.window = QStringLiteral("");
    callViewer(owner, fileArgument(), HelpCommand::DisplaySearch, query);
}

void HTMLHelp::HHDisplayIndex(WindowHandle callingForm) {
    WindowHandle owner = 0;
    if (prepareDisplay("HHDisplayIndex", callingForm, owner) == DisplayStep::Stop)
        return;
    callViewer(owner, fileArgument(), HelpCommand::DisplayIndex, std::monostate{});
}

void HTMLHelp::HHDisplayContents(WindowHandle callingForm) {
    WindowHandle owner = 0;
    if (prepareDisplay("HHDisplayContents", callingForm, owner) == DisplayStep::Stop)
        return;
    callViewer(owner, fileArgument(), HelpCommand::DisplayToc, std::monostate{});
}

void HTMLHelp::HHDisplayKeyword(WindowHandle callingForm) {
    WindowHandle owner = 0;
    if (prepareDisplay("HHDisplayKeyword", callingForm, owner) == DisplayStep::Stop)
        return;
    // The look-up needs an open window: the file's default topic first.
    callViewer(owner, chmFile_, HelpCommand::DisplayTopic, std::monostate{});
    callViewer(owner, chmFile_, HelpCommand::KeywordLookup, linkRecord(keyword_));
}

void HTMLHelp::HHDisplayALink(WindowHandle callingForm) {
    WindowHandle owner = 0;
    if (prepareDisplay("HHDisplayALink", callingForm, owner) == DisplayStep::Stop)
        return;
    callViewer(owner, chmFile_, HelpCommand::ALinkLookup, linkRecord(aLink_));
}

void HTMLHelp::HHClose() {
    CurrentHelpViewer().HtmlHelp(0, QStringLiteral(""), HelpCommand::CloseAll, std::monostate{});
}

void HTMLHelp::HHInvokeWhatsThisHelp(WindowHandle callingForm) {
    DefaultWindowProcedure(callingForm, SystemCommandMessage, ContextHelpCommand);
}

void HTMLHelp::HHDeleteJumpURLSysMenu(WindowHandle helpWindow) {
    DeleteSystemMenuCommand(helpWindow, JumpToUrlCommand);
}

QString HTMLHelp::HHSetHelpFile(std::int16_t intSelHelpFile) const {
    switch (intSelHelpFile) {
    case 1:
        return QString::fromStdString((programFolder_ / "Library.chm").string());
    case 2:
        return QStringLiteral("Library.txt");
    default:
        return {};
    }
}

WindowHandle HTMLHelp::HHWndHandle() const {
    if (wndHandle_ == 0)
        ShowWarningMessage(QStringLiteral("No HTML Help window handle to retrieve."));
    return wndHandle_;
}

} // namespace kovi
