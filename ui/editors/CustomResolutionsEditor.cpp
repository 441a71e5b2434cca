#include "ui/editors/CustomResolutionsEditor.h"

#include "platform/desktop/MessageSink.h"
#include "ui/editors/ListBox.h"
#include "ui/editors/NumericText.h"
#include "ui/editors/ResolutionList.h"
#include "ui/editors/TextBox.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace kovi {
namespace {

constexpr int ClientWidthTwips = 3984;
constexpr int ClientHeightTwips = 3384;

} // namespace

CustomResolutionsEditor::CustomResolutionsEditor(ResolutionList& resolutions,
                                                 std::filesystem::path file, QWidget* parent)
    : EditorWindow("frmCustomRes", QStringLiteral("Add/Remove Custom Resolutions"),
                   ClientWidthTwips, ClientHeightTwips, std::move(file), parent),
      resolutions_(resolutions) {
    setupControls();
    LoadListBox(*lstCustom_, listFile());

    for (QLineEdit* box : {txtXRes_, txtYRes_}) {
        SelectAllTextOnFocus(*box);
        KeepToOneLine(*box);
        connect(box, &QLineEdit::returnPressed, this, &CustomResolutionsEditor::add);
    }
    txtXRes_->setFocus();
}

void CustomResolutionsEditor::setupControls() {
    QGroupBox* frame1 = addFrame(this, "Frame1", {0, 0, 3972, 3372});

    txtXRes_ = new QLineEdit(frame1);
    place(*txtXRes_, "txtXRes", {120, 240, 852, 288});
    auto* times = new QLabel(QStringLiteral("x"), frame1);
    place(*times, "Label1", {1080, 258, 252, 252});
    times->setAlignment(Qt::AlignCenter);
    txtYRes_ = new QLineEdit(frame1);
    place(*txtYRes_, "txtYRes", {1440, 240, 852, 288});

    QGroupBox* frame2 = addFrame(frame1, "Frame2", {120, 720, 2172, 2532});
    addListButtons(frame2, 120, 240, 600);

    lstCustom_ = addListBox(frame1, "lstCustom", {2400, 240, 1452, 2928});

    setTabOrder(txtXRes_, txtYRes_);
    setTabOrder(txtYRes_, cmdAdd_);
    setTabOrder(cmdClose_, lstCustom_);
}

void CustomResolutionsEditor::add() {
    const QString width = txtXRes_->text();
    const QString height = txtYRes_->text();
    if (width.isEmpty() || height.isEmpty()) {
        ShowError(QStringLiteral("You must enter the X and Y dimensions"), this);
        return;
    }
    if (!IsNumericText(width) || !IsNumericText(height)) {
        ShowError(QStringLiteral("You must enter numeric characters only"), this);
        return;
    }
    // Kept as typed: a run refuses a size that is not two whole numbers of at least 1.
    const QString entry = width + QLatin1Char('x') + height;
    lstCustom_->addItem(entry);
    resolutions_.appendResolution(entry);
    AppendToListFile(listFile(), entry, this);
    txtXRes_->setFocus();
}

void CustomResolutionsEditor::remove() {
    const std::optional<QString> removed = TakeSelectedEntry(*lstCustom_);
    if (!removed) {
        ShowError(QString::fromLatin1(SelectAnItemMessage), this);
        return;
    }
    resolutions_.removeResolution(*removed);
    RewriteListFile(listFile(), *lstCustom_, this);
}

void CustomResolutionsEditor::clearAll() {
    for (int row = 0; row < lstCustom_->count(); ++row)
        resolutions_.removeResolution(lstCustom_->item(row)->text());
    lstCustom_->clear();
    DeleteListFile(listFile(), this);
}

} // namespace kovi
