#pragma once

#include <QString>
#include <QTreeView>

#include <memory>

class QAbstractFileIconProvider;
class QFileSystemModel;

namespace kovi {

class ComputerRootModel;

// The text of the tree's top entry; SelectedFolder() reads back exactly this while it is
// selected.
inline constexpr char MyComputerText[] = "My Computer";

// Mouse-button codes of the mouse-button signal.
inline constexpr int LeftButtonCode = 1;
inline constexpr int RightButtonCode = 2;
inline constexpr int MiddleButtonCode = 4;

// The folder picker: every folder of the computer (hidden ones too, no files) below a top
// entry "My Computer" with the file-system root under it. "My Computer" is selected at start.
// Folders are listed in the background and kept up to date as they change on disk.
class FolderTree : public QTreeView {
    Q_OBJECT
public:
    explicit FolderTree(QWidget* parent = nullptr);
    ~FolderTree() override;

    // The selected folder's full path (native separators), or exactly "My Computer".
    QString SelectedFolder() const;

    // Selects that folder and opens its parents. A path that is no folder (missing, a file)
    // selects its nearest existing parent folder; "My Computer", an empty or a relative path
    // select "My Computer".
    void SetSelectedFolder(const QString& folder);

    // Where a folder shows in the tree, or an invalid index when it is not in the tree.
    QModelIndex indexOfFolder(const QString& folder) const;

signals:
    // The user chose a folder: a click with the left button (which has selected the folder by
    // then), or a key that moved the selection.
    void folderChosen();
    // A mouse button went up over the tree: LeftButtonCode, RightButtonCode or
    // MiddleButtonCode. A press has already selected the folder under the pointer.
    void mouseButtonUp(int buttonCode);

protected:
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Folders above the selection are listed in the background, and rows that arrive above it
    // push it down: it is scrolled back into view until the user takes over.
    void keepSelectionInView();
    void stopKeepingSelectionInView();

    bool keepSelectionInView_ = false;
    // In this order: the model's listing thread uses the icons until the model is gone.
    std::unique_ptr<QAbstractFileIconProvider> icons_;
    std::unique_ptr<QFileSystemModel> files_;
    std::unique_ptr<ComputerRootModel> model_;
};

} // namespace kovi
