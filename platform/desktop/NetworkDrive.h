#pragma once

class QWidget;

namespace kovi {

// The system's dialog for connecting a network drive (a shared folder) owned by `owner`;
// returns when the user has closed it. On Linux it mounts a network address through the
// desktop's gio.
void ConnectNetworkDrive(QWidget* owner);

} // namespace kovi
