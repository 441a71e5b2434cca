#pragma once

#include <QColor>
#include <QFont>
#include <QFrame>
#include <QMargins>

namespace kovi {

// How a pop-up should look; an invalid colour or a negative margin means the default.
struct HelpPopupStyle {
    QColor foreground;
    QColor background;
    QFont font;
    QMargins margins{-1, -1, -1, -1};
};

// A text pop-up at a screen point that closes at the next click, inside or outside, or at
// Escape, like the pop-ups of the original platform's viewer.
class HelpPopup : public QFrame {
    Q_OBJECT
public:
    HelpPopup(const QString& text, const HelpPopupStyle& style, QWidget* owner);

    QString text() const;
    // Shows the pop-up with its top left corner at `point`, moved inside the screen.
    void popUpAt(const QPoint& point);

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    QString text_;
};

// "Arial, 10, ascii, Bold Italic Underline": face, point size, character set, styles.
QFont PopupFontFromString(const QString& description);

} // namespace kovi
