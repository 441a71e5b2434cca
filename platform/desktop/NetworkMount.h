#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace kovi {

// What the user may give besides the address; either may be empty.
struct NetworkLogin {
    QString user;
    QString password;
};

struct MountResult {
    bool mounted = false;
    // Why it failed, in words for the user.
    QString message;
    // Where the mounted folder shows in the file system, when the system says so.
    QString localFolder;
};

// Mounts one network address (smb://server/share, sftp://host/folder, ...) in the background.
class NetworkMounter : public QObject {
    Q_OBJECT
public:
    // finished() follows exactly once, unless cancel() comes first; it may come before this
    // returns.
    virtual void mount(const QString& address, const NetworkLogin& login) = 0;
    // Gives up a mount under way; finished() does not follow.
    virtual void cancel() = 0;

signals:
    void finished(const kovi::MountResult& result);
};

using NetworkMounterFactory = std::function<std::unique_ptr<NetworkMounter>()>;

// A mounter from the installed factory, or the system's own.
std::unique_ptr<NetworkMounter> CreateNetworkMounter();
// Tests install a factory of fakes; an empty one restores the system's.
void InstallNetworkMounterFactory(NetworkMounterFactory factory);

// The system's own: the desktop's `gio mount` on Linux.
std::unique_ptr<NetworkMounter> CreateSystemNetworkMounter();

} // namespace kovi
