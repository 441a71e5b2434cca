#include "ui/help/HTMLHelp.h"

#include "platform/desktop/StringResource.h"

#include <QCursor>

namespace kovi {
namespace {

// HH_POPUP is 52 bytes long, but the viewer has always been handed 50.
constexpr std::int32_t PopupRecordSize = 50;

enum class PopupSource { None = 0, HelpFileText = 1, StringResource = 2, LiteralText = 4 };

} // namespace

bool HTMLHelp::IsPopupTextFileName(const QString& fileName) const {
    if (fileName.right(3).compare(QLatin1String("txt"), Qt::CaseInsensitive) == 0)
        return true;
    ShowWarningMessage(QStringLiteral("The file specified as the text popup source, '") + fileName +
                       QStringLiteral("', is not a valid popup file."));
    return false;
}

QString HTMLHelp::PopupFontString() {
    if (popup_.font.isEmpty())
        popup_.font = QStringLiteral("Arial");
    if (popup_.size.isEmpty())
        popup_.size = QStringLiteral("10");
    QString font = popup_.font + QStringLiteral(", ") + popup_.size + QStringLiteral(", ascii, ");
    if (popup_.bold)
        font += QStringLiteral("Bold ");
    if (popup_.italic)
        font += QStringLiteral("Italic ");
    if (popup_.underline)
        font += QStringLiteral("Underline");
    return font;
}

void HTMLHelp::ResetPopupAppearance() {
    popup_.textColour = 0;
    popup_.backColour = 0;
    popup_.customTextColour = 0;
    popup_.customBackColour = 0;
    popup_.font = QStringLiteral("Arial");
    popup_.size = QStringLiteral("10");
    popup_.bold = false;
    popup_.italic = false;
    popup_.underline = false;
}

void HTMLHelp::HHDisplayPopup(WindowHandle callingForm) {
    const auto source = static_cast<PopupSource>(popup_.type);
    if (source == PopupSource::None)
        return;
    if (source == PopupSource::HelpFileText) {
        if (!IsChmFileName(chmFile_) || !EnsureFileExists(chmFile_))
            return;
    }

    HelpPopupRecord record;
    record.structSize = PopupRecordSize;
    record.instance = 0;
    record.margins = QMargins(-1, -1, -1, -1);
    record.position = QCursor::pos();
    switch (source) {
    case PopupSource::StringResource:
        record.text = LoadStringResource(static_cast<std::uint32_t>(popup_.id));
        record.stringId = 0;
        break;
    case PopupSource::LiteralText:
        record.stringId = 0;
        if (popup_.text.isEmpty())
            return;
        record.text = popup_.text;
        break;
    default:
        record.stringId = static_cast<std::uint32_t>(popup_.id);
        break;
    }
    record.foreground = popup_.customColours ? popup_.customTextColour : popup_.textColour;
    record.background = popup_.customColours ? popup_.customBackColour : popup_.backColour;
    record.font = PopupFontString();

    switch (source) {
    case PopupSource::HelpFileText:
        if (!IsPopupTextFileName(popup_.file))
            return;
        CurrentHelpViewer().HtmlHelp(callingForm, chmFile_ + QStringLiteral("::/") + popup_.file,
                                     HelpCommand::DisplayTextPopup, record);
        break;
    case PopupSource::StringResource:
    case PopupSource::LiteralText:
        CurrentHelpViewer().HtmlHelp(callingForm, std::nullopt, HelpCommand::DisplayTextPopup,
                                     record);
        break;
    default:
        return;
    }
    ResetPopupAppearance();
}

} // namespace kovi
