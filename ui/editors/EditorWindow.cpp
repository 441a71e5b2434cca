#include "ui/editors/EditorWindow.h"

#include "platform/desktop/Twips.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>

namespace kovi {

EditorWindow::EditorWindow(const char* name, const QString& title, int clientWidthTwips,
                           int clientHeightTwips, std::filesystem::path listFile, QWidget* parent)
    : QDialog(parent,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      dpi_(LogicalDpi(parent != nullptr ? *parent : *this)), listFile_(std::move(listFile)) {
    setObjectName(QLatin1String(name));
    setWindowTitle(title);
    setModal(true);
    setFixedSize(TwipsToPixels(clientWidthTwips, dpi_), TwipsToPixels(clientHeightTwips, dpi_));
    if (const QScreen* screen = parent != nullptr ? parent->screen() : this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

void EditorWindow::place(QWidget& control, const char* name, const QRect& twips) const {
    control.setObjectName(QLatin1String(name));
    control.setGeometry(TwipsToPixels(twips, dpi_));
}

QGroupBox* EditorWindow::addFrame(QWidget* container, const char* name, const QRect& twips) {
    auto* frame = new QGroupBox(container);
    place(*frame, name, twips);
    return frame;
}

QPushButton* EditorWindow::addButton(QWidget* container, const char* name, const char* caption,
                                     const QRect& twips) {
    auto* button = new QPushButton(QString::fromLatin1(caption), container);
    place(*button, name, twips);
    // A dialog would otherwise make the first button its default, and Enter in a text box
    // would press it besides adding.
    button->setAutoDefault(false);
    return button;
}

QListWidget* EditorWindow::addListBox(QWidget* container, const char* name, const QRect& twips) {
    auto* box = new QListWidget(container);
    place(*box, name, twips);
    box->setSelectionMode(QAbstractItemView::SingleSelection);
    return box;
}

void EditorWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace kovi
