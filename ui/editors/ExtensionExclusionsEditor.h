#pragma once

#include "ui/editors/EditorWindow.h"

class QLineEdit;
class QListWidget;

namespace kovi {

// "Add/Remove Extension Exclusions": file extensions that a batch run leaves alone, kept
// without dots and in upper case. Every change goes at once into the list box and into
// exts.dat.
class ExtensionExclusionsEditor : public EditorWindow {
    Q_OBJECT
public:
    explicit ExtensionExclusionsEditor(std::filesystem::path file, QWidget* parent = nullptr);

private:
    void setupControls();
    void enterPressed();
    void add() override;
    // Whether the extension in the box was added.
    bool addExtension();
    void remove() override;
    void clearAll() override;

    QLineEdit* txtExt_ = nullptr;
    QListWidget* lstExt_ = nullptr;
};

} // namespace kovi
