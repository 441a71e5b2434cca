#pragma once

#include "ui/editors/EditorWindow.h"

class QLineEdit;
class QListWidget;

namespace kovi {

class ResolutionList;

// "Add/Remove Custom Resolutions": the user's own target resolutions. Every change goes at
// once into the list box, into custom.dat and into the main window's resolution list.
class CustomResolutionsEditor : public EditorWindow {
    Q_OBJECT
public:
    CustomResolutionsEditor(ResolutionList& resolutions, std::filesystem::path file,
                            QWidget* parent = nullptr);

private:
    void setupControls();
    void add() override;
    void remove() override;
    void clearAll() override;

    ResolutionList& resolutions_;
    QLineEdit* txtXRes_ = nullptr;
    QLineEdit* txtYRes_ = nullptr;
    QListWidget* lstCustom_ = nullptr;
};

} // namespace kovi
