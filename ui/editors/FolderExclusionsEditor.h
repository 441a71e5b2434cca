#pragma once

#include "ui/editors/EditorWindow.h"

class QListWidget;

namespace kovi {

class FolderTree;

// "Add/Remove Folder Exclusions": folders that a batch run leaves alone, with everything
// below them. The folder selected in the tree is added with Add or a right click on the tree;
// every change goes at once into the list box and into exflds.dat.
class FolderExclusionsEditor : public EditorWindow {
    Q_OBJECT
public:
    explicit FolderExclusionsEditor(std::filesystem::path file, QWidget* parent = nullptr);

private:
    void setupControls();
    void treeMouseButtonUp(int buttonCode);
    void add() override;
    void remove() override;
    void clearAll() override;

    FolderTree* lstFolders_ = nullptr;
    QListWidget* lstExFolders_ = nullptr;
};

} // namespace kovi
