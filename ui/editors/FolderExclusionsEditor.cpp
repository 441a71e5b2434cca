#include "ui/editors/FolderExclusionsEditor.h"

#include "platform/desktop/FolderTree.h"
#include "platform/desktop/MessageSink.h"
#include "ui/editors/ListBox.h"

#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>

namespace kovi {
namespace {

constexpr int ClientWidthTwips = 8184;
constexpr int ClientHeightTwips = 3624;

} // namespace

FolderExclusionsEditor::FolderExclusionsEditor(std::filesystem::path file, QWidget* parent)
    : EditorWindow("frmFolderEx", QStringLiteral("Add/Remove Folder Exclusions"), ClientWidthTwips,
                   ClientHeightTwips, std::move(file), parent) {
    setupControls();
    LoadListBox(*lstExFolders_, listFile());

    connect(lstFolders_, &FolderTree::mouseButtonUp, this,
            &FolderExclusionsEditor::treeMouseButtonUp);
    cmdAdd_->setFocus();
}

void FolderExclusionsEditor::setupControls() {
    QGroupBox* frame1 = addFrame(this, "Frame1", {0, 0, 8172, 3612});

    lstFolders_ = new FolderTree(frame1);
    place(*lstFolders_, "lstFolders", {120, 240, 2892, 3168});

    addListButtons(frame1, 3120, 600, 720);

    lstExFolders_ = addListBox(frame1, "lstExFolders", {5160, 240, 2892, 2928});

    setTabOrder(cmdClose_, lstFolders_);
    setTabOrder(lstFolders_, lstExFolders_);
}

void FolderExclusionsEditor::treeMouseButtonUp(int buttonCode) {
    if (buttonCode == RightButtonCode)
        add();
}

void FolderExclusionsEditor::add() {
    const QString folder = lstFolders_->SelectedFolder();
    if (folder == QLatin1String(MyComputerText))
        return;
    // One line of exflds.dat per folder: a name with a line break would become two entries,
    // the second one excluding every path that merely contains its text.
    if (folder.contains(QLatin1Char('\n')) || folder.contains(QLatin1Char('\r'))) {
        ShowError(QStringLiteral("The name of this folder contains a line break, so it cannot be "
                                 "kept in the list of excluded folders"),
                  this);
        return;
    }
    lstExFolders_->addItem(folder);
    AppendToListFile(listFile(), folder, this);
}

void FolderExclusionsEditor::remove() {
    if (!TakeSelectedEntry(*lstExFolders_)) {
        ShowError(QString::fromLatin1(SelectAnItemMessage), this);
        return;
    }
    RewriteListFile(listFile(), *lstExFolders_, this);
}

void FolderExclusionsEditor::clearAll() {
    lstExFolders_->clear();
    DeleteListFile(listFile(), this);
}

} // namespace kovi
