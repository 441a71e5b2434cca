#include "ui/editors/ExtensionExclusionsEditor.h"

#include "platform/desktop/MessageSink.h"
#include "ui/editors/ListBox.h"
#include "ui/editors/TextBox.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace kovi {
namespace {

constexpr int ClientWidthTwips = 3984;
constexpr int ClientHeightTwips = 3984;
constexpr char EnterExtensionMessage[] = "Please enter an extension first";

} // namespace

ExtensionExclusionsEditor::ExtensionExclusionsEditor(std::filesystem::path file, QWidget* parent)
    : EditorWindow("frmProcessingEx", QStringLiteral("Add/Remove Extension Exclusions"),
                   ClientWidthTwips, ClientHeightTwips, std::move(file), parent) {
    setupControls();
    LoadListBox(*lstExt_, listFile());

    SelectAllTextOnFocus(*txtExt_);
    KeepToOneLine(*txtExt_);
    connect(txtExt_, &QLineEdit::returnPressed, this, &ExtensionExclusionsEditor::enterPressed);
    txtExt_->setFocus();
}

void ExtensionExclusionsEditor::setupControls() {
    QGroupBox* frame1 = addFrame(this, "Frame1", {0, 0, 3972, 3972});

    auto* instruction = new QLabel(
        QStringLiteral("Exclude the following extensions from processing (e.g. BMP):"), frame1);
    place(*instruction, "Label1", {120, 240, 3732, 492});
    instruction->setWordWrap(true);
    instruction->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    txtExt_ = new QLineEdit(frame1);
    place(*txtExt_, "txtExt", {120, 840, 2172, 288});

    QGroupBox* frame2 = addFrame(frame1, "Frame2", {120, 1320, 2172, 2532});
    addListButtons(frame2, 120, 240, 600);

    lstExt_ = addListBox(frame1, "lstExt", {2400, 840, 1452, 2928});

    setTabOrder(txtExt_, cmdAdd_);
    setTabOrder(cmdClose_, lstExt_);
}

void ExtensionExclusionsEditor::enterPressed() {
    // The focus is in the box already, so it gets no new focus to select its text.
    if (addExtension())
        SelectAllText(*txtExt_);
}

void ExtensionExclusionsEditor::add() {
    addExtension();
}

bool ExtensionExclusionsEditor::addExtension() {
    QString extension = txtExt_->text();
    if (extension.contains(QLatin1Char('.'))) {
        extension.remove(QLatin1Char('.'));
        txtExt_->setText(extension);
    }
    // A text of dots alone would leave an empty entry, which excludes every file with a dot.
    if (extension.isEmpty()) {
        ShowError(QString::fromLatin1(EnterExtensionMessage), this);
        txtExt_->setFocus();
        return false;
    }
    const QString entry = extension.toUpper();
    lstExt_->addItem(entry);
    AppendToListFile(listFile(), entry, this);
    txtExt_->setFocus();
    return true;
}

void ExtensionExclusionsEditor::remove() {
    if (!TakeSelectedEntry(*lstExt_))
        ShowError(QString::fromLatin1(SelectAnItemMessage), this);
    else
        RewriteListFile(listFile(), *lstExt_, this);
    txtExt_->setFocus();
}

void ExtensionExclusionsEditor::clearAll() {
    lstExt_->clear();
    DeleteListFile(listFile(), this);
}

} // namespace kovi
