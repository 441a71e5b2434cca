#pragma once

#include <QDialog>
#include <QRect>

#include <filesystem>

class QGroupBox;
class QListWidget;
class QPushButton;

namespace kovi {

// What the three list editors share: a fixed-size tool window with a close box only, centred
// on the screen, shown modally. Like the original windows they have no default and no cancel
// button: Enter reaches the focused control and Escape does nothing.
class EditorWindow : public QDialog {
    Q_OBJECT
protected:
    EditorWindow(const char* name, const QString& title, int clientWidthTwips,
                 int clientHeightTwips, std::filesystem::path listFile, QWidget* parent);

    // The list file the editor keeps in step with its list box.
    const std::filesystem::path& listFile() const { return listFile_; }

    // Controls placed in twips, relative to their container.
    QGroupBox* addFrame(QWidget* container, const char* name, const QRect& twips);
    QPushButton* addButton(QWidget* container, const char* name, const char* caption,
                           const QRect& twips);
    QListWidget* addListBox(QWidget* container, const char* name, const QRect& twips);
    void place(QWidget& control, const char* name, const QRect& twips) const;
    // The four buttons of every editor, one below the other from (left, top) in `container`,
    // `step` twips apart: Add, Remove and Clear All call the editor's actions, Close closes.
    void addListButtons(QWidget* container, int left, int top, int step);

    virtual void add() = 0;
    virtual void remove() = 0;
    virtual void clearAll() = 0;

    void keyPressEvent(QKeyEvent* event) override;

    QPushButton* cmdAdd_ = nullptr;
    QPushButton* cmdRemove_ = nullptr;
    QPushButton* cmdClear_ = nullptr;
    QPushButton* cmdClose_ = nullptr;

private:
    double dpi_;
    std::filesystem::path listFile_;
};

} // namespace kovi
