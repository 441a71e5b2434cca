#include "platform/desktop/chm/HelpPopup.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

namespace kovi {
namespace {

constexpr int DefaultMargin = 8;
constexpr int WidestText = 420;

int MarginOr(int margin) {
    return margin < 0 ? DefaultMargin : margin;
}

} // namespace

QFont PopupFontFromString(const QString& description) {
    QFont font;
    const QStringList parts = description.split(u',');
    if (!parts.value(0).trimmed().isEmpty())
        font.setFamily(parts.value(0).trimmed());
    bool ok = false;
    const double size = parts.value(1).trimmed().toDouble(&ok);
    if (ok && size > 0)
        font.setPointSizeF(size);
    // The third part names a character set, which Unicode text does not need.
    const QString styles = parts.mid(3).join(u' ');
    font.setBold(styles.contains(QStringLiteral("bold"), Qt::CaseInsensitive));
    font.setItalic(styles.contains(QStringLiteral("italic"), Qt::CaseInsensitive));
    font.setUnderline(styles.contains(QStringLiteral("underline"), Qt::CaseInsensitive));
    return font;
}

HelpPopup::HelpPopup(const QString& text, const HelpPopupStyle& style, QWidget* owner)
    : QFrame(owner, Qt::Popup), text_(text) {
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_QuitOnClose, false);
    setFrameShape(QFrame::Box);

    // Text in the colour of its background cannot be read; the default colours stand in.
    const bool readable = style.foreground.isValid() && style.background.isValid() &&
                          style.foreground != style.background;
    QPalette colours = palette();
    colours.setColor(QPalette::Window,
                     readable ? style.background : colours.color(QPalette::ToolTipBase));
    colours.setColor(QPalette::WindowText,
                     readable ? style.foreground : colours.color(QPalette::ToolTipText));
    setPalette(colours);
    setAutoFillBackground(true);

    auto* label = new QLabel(text, this);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setFont(style.font);
    label->setMaximumWidth(WidestText);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(MarginOr(style.margins.left()), MarginOr(style.margins.top()),
                               MarginOr(style.margins.right()), MarginOr(style.margins.bottom()));
    layout->addWidget(label);
}

QString HelpPopup::text() const {
    return text_;
}

void HelpPopup::mousePressEvent(QMouseEvent* event) {
    QFrame::mousePressEvent(event);
    close();
}

void HelpPopup::popUpAt(const QPoint& point) {
    adjustSize();
    QPoint topLeft = point;
    if (const QScreen* screen = QGuiApplication::screenAt(point)) {
        const QRect area = screen->availableGeometry();
        topLeft.setX(
            std::clamp(topLeft.x(), area.left(), std::max(area.left(), area.right() - width())));
        topLeft.setY(
            std::clamp(topLeft.y(), area.top(), std::max(area.top(), area.bottom() - height())));
    }
    move(topLeft);
    show();
}

} // namespace kovi
