#pragma once

#include "platform/desktop/NetworkMount.h"

#include <QDialog>

#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kovi {

// Whether the text has the form of an address gio can mount: a scheme, "://" and a place
// ("smb://server/share", "sftp://user@host/folder"). Nothing else reaches gio's command line.
bool IsNetworkAddress(const QString& text);

// "Map Network Drive" on Linux: takes a network address and an optional login, mounts it in
// the background and names the folder where it shows. A failure shows gio's own words and
// leaves the dialog open for another try.
class NetworkDriveDialog : public QDialog {
    Q_OBJECT
public:
    explicit NetworkDriveDialog(QWidget* parent = nullptr);
    ~NetworkDriveDialog() override;

public slots:
    // Gives up a mount under way, then closes.
    void reject() override;

private:
    void connectClicked();
    void mountFinished(const MountResult& result);
    void setConnecting(bool connecting);

    QLineEdit* address_ = nullptr;
    QLineEdit* user_ = nullptr;
    QLineEdit* password_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* connect_ = nullptr;
    std::unique_ptr<NetworkMounter> mounter_;
};

} // namespace kovi
