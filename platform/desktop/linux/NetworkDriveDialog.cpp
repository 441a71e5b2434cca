#include "platform/desktop/linux/NetworkDriveDialog.h"

#include "platform/desktop/MessageSink.h"
#include "platform/desktop/NetworkDrive.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace kovi {
namespace {

constexpr int AddressBoxWidth = 300;

} // namespace

bool IsNetworkAddress(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://[^\\s/]\\S*$"));
    return form.match(text).hasMatch();
}

NetworkDriveDialog::NetworkDriveDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("NetworkDriveDialog"));
    setWindowTitle(QStringLiteral("Map Network Drive"));
    setModal(true);

    // One example a line: wrapping would break an address at its slashes.
    auto* explanation = new QLabel(QStringLiteral("Enter the address of a shared network folder, "
                                                  "for example\nsmb://server/share or "
                                                  "sftp://host/folder"),
                                   this);

    address_ = new QLineEdit(this);
    address_->setObjectName(QStringLiteral("address"));
    address_->setPlaceholderText(QStringLiteral("smb://server/share"));
    address_->setMinimumWidth(AddressBoxWidth);
    user_ = new QLineEdit(this);
    user_->setObjectName(QStringLiteral("user"));
    user_->setPlaceholderText(QStringLiteral("only if the folder asks for one"));
    password_ = new QLineEdit(this);
    password_->setObjectName(QStringLiteral("password"));
    password_->setEchoMode(QLineEdit::Password);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Folder:"), address_);
    form->addRow(QStringLiteral("&User name:"), user_);
    form->addRow(QStringLiteral("&Password:"), password_);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("status"));

    auto* buttons = new QDialogButtonBox(this);
    connect_ = buttons->addButton(QStringLiteral("&Connect"), QDialogButtonBox::ActionRole);
    connect_->setObjectName(QStringLiteral("connect"));
    connect_->setDefault(true);
    QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("cancel"));
    connect(connect_, &QPushButton::clicked, this, &NetworkDriveDialog::connectClicked);
    connect(cancel, &QPushButton::clicked, this, &NetworkDriveDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    layout->addLayout(form);
    layout->addWidget(status_);
    layout->addWidget(buttons);
    // Room for the status line from the start, so the window never changes its size.
    status_->setText(QStringLiteral("Connecting..."));
    setFixedSize(sizeHint());
    status_->clear();
    address_->setFocus();
}

NetworkDriveDialog::~NetworkDriveDialog() = default;

void NetworkDriveDialog::reject() {
    if (mounter_)
        mounter_->cancel();
    QDialog::reject();
}

void NetworkDriveDialog::connectClicked() {
    const QString address = address_->text().trimmed();
    if (!IsNetworkAddress(address)) {
        ShowError(QStringLiteral("Enter the address of a network folder, such as "
                                 "smb://server/share or sftp://host/folder."),
                  this);
        address_->setFocus();
        return;
    }
    setConnecting(true);
    mounter_ = CreateNetworkMounter();
    connect(mounter_.get(), &NetworkMounter::finished, this, &NetworkDriveDialog::mountFinished);
    mounter_->mount(address, {user_->text(), password_->text()});
}

void NetworkDriveDialog::mountFinished(const MountResult& result) {
    setConnecting(false);
    if (!result.mounted) {
        ShowError(result.message, this);
        address_->setFocus();
        return;
    }
    if (!result.localFolder.isEmpty())
        ShowInformation(QStringLiteral("Connected"),
                        QStringLiteral("The network folder is connected. In the folder tree it "
                                       "is at\n") +
                            result.localFolder,
                        this);
    accept();
}

void NetworkDriveDialog::setConnecting(bool connecting) {
    for (QWidget* control : {static_cast<QWidget*>(address_), static_cast<QWidget*>(user_),
                             static_cast<QWidget*>(password_), static_cast<QWidget*>(connect_)})
        control->setEnabled(!connecting);
    status_->setText(connecting ? QStringLiteral("Connecting...") : QString());
}

void ConnectNetworkDrive(QWidget* owner) {
    NetworkDriveDialog dialog(owner);
    dialog.exec();
}

} // namespace kovi
