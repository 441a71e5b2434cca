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
    Place(&control, name, twips, dpi_);
}

void EditorWindow::addListButtons(QWidget* container, int left, int top, int step) {
    constexpr int Width = 1932;
    constexpr int Height = 372;
    cmdAdd_ = addButton(container, "cmdAdd", "&Add to list ->", {left, top, Width, Height});
    cmdRemove_ = addButton(container, "cmdRemove", "&Remove from list <-",
                           {left, top + step, Width, Height});
    cmdClear_ =
        addButton(container, "cmdClear", "C&lear all", {left, top + 2 * step, Width, Height});
    cmdClose_ =
        addButton(container, "cmdClose", "&Close window", {left, top + 3 * step, Width, Height});
    setTabOrder(cmdAdd_, cmdRemove_);
    setTabOrder(cmdRemove_, cmdClear_);
    setTabOrder(cmdClear_, cmdClose_);
    connect(cmdAdd_, &QPushButton::clicked, this, &EditorWindow::add);
    connect(cmdRemove_, &QPushButton::clicked, this, &EditorWindow::remove);
    connect(cmdClear_, &QPushButton::clicked, this, &EditorWindow::clearAll);
    connect(cmdClose_, &QPushButton::clicked, this, &QDialog::close);
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
