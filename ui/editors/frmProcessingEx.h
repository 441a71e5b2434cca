#pragma once

#include "ui/editors/EditorWindow.h"

class QLineEdit;
class QListWidget;
class QPushButton;

namespace kovi {

// "Add/Remove Extension Exclusions": file extensions that a batch run leaves alone, kept
// without dots and in upper case. Every change goes at once into the list box and into
// exts.dat.
class frmProcessingEx : public EditorWindow {
    Q_OBJECT
public:
    explicit frmProcessingEx(std::filesystem::path file, QWidget* parent = nullptr);

private:
    void setupControls();
    void enterPressed();
    bool add();
    void remove();
    void clearAll();

    QLineEdit* txtExt_ = nullptr;
    QListWidget* lstExt_ = nullptr;
    QPushButton* cmdAdd_ = nullptr;
    QPushButton* cmdRemove_ = nullptr;
    QPushButton* cmdClear_ = nullptr;
    QPushButton* cmdClose_ = nullptr;
};

} // namespace kovi
