#pragma once

#include "platform/desktop/WindowHandle.h"

#include <QMargins>
#include <QPoint>
#include <QString>

#include <cstdint>
#include <optional>
#include <variant>

namespace kovi {

// The HTML Help viewer's command numbers.
namespace HelpCommand {
inline constexpr int DisplayTopic = 0;      // HH_DISPLAY_TOPIC
inline constexpr int DisplayToc = 1;        // HH_DISPLAY_TOC
inline constexpr int DisplayIndex = 2;      // HH_DISPLAY_INDEX
inline constexpr int DisplaySearch = 3;     // HH_DISPLAY_SEARCH
inline constexpr int KeywordLookup = 13;    // HH_KEYWORD_LOOKUP
inline constexpr int DisplayTextPopup = 14; // HH_DISPLAY_TEXT_POPUP
inline constexpr int HelpContext = 15;      // HH_HELP_CONTEXT
inline constexpr int CloseAll = 18;         // HH_CLOSE_ALL
inline constexpr int ALinkLookup = 19;      // HH_ALINK_LOOKUP
} // namespace HelpCommand

// A colour as the viewer takes it: 0x00BBGGRR, or -1 for the viewer's own colour.
using HelpColour = std::int32_t;
inline constexpr HelpColour DefaultHelpColour = -1;

// The viewer's records. A string the caller leaves out (no pointer) is std::nullopt, which
// the viewer treats differently from an empty string.

// HH_FTS_QUERY
struct HelpSearchRecord {
    std::int32_t structSize = 0;
    bool unicodeStrings = false;
    std::optional<QString> searchQuery;
    std::int32_t proximity = 0;
    bool stemmedSearch = false;
    bool titleOnly = false;
    bool execute = false;
    std::optional<QString> window;
};

// HH_AKLINK
struct HelpLinkRecord {
    std::int32_t structSize = 0;
    bool reserved = false;
    std::optional<QString> keywords;
    std::optional<QString> url; // shown when no keyword matches
    std::optional<QString> messageText;
    std::optional<QString> messageTitle;
    std::optional<QString> window;
    bool indexOnFail = false;
};

// HH_POPUP
struct HelpPopupRecord {
    std::int32_t structSize = 0;
    std::intptr_t instance = 0;
    std::uint32_t stringId = 0; // topic number in the pop-up text file
    std::optional<QString> text;
    QPoint position; // screen coordinates
    HelpColour foreground = DefaultHelpColour;
    HelpColour background = DefaultHelpColour;
    QMargins margins{-1, -1, -1, -1}; // -1: the viewer's own margin
    std::optional<QString> font;      // "face, size, charset, styles"
};

// The data argument: nothing (0), a topic path, a context number or one of the records.
using HelpData = std::variant<std::monostate, QString, std::int32_t, HelpSearchRecord,
                              HelpLinkRecord, HelpPopupRecord>;

// The viewer's one entry point (HtmlHelpA).
class HelpViewer {
public:
    virtual ~HelpViewer() = default;

    // `file` is "help.chm", "help.chm>window" or "help.chm::/popups.txt"; it is std::nullopt
    // for a pop-up of literal text. Returns the handle of the window that the command showed
    // (0 when it showed none), or std::nullopt when the viewer cannot be reached at all.
    virtual std::optional<WindowHandle> HtmlHelp(WindowHandle owner,
                                                 const std::optional<QString>& file, int command,
                                                 const HelpData& data) = 0;
};

// The viewer in force: the system's own unless a test installed one.
HelpViewer& CurrentHelpViewer();
// Installs a viewer (not owned), or the system's own again with nullptr.
void InstallHelpViewer(HelpViewer* viewer);

} // namespace kovi
