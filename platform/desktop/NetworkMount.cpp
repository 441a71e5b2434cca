#include "platform/desktop/NetworkMount.h"

namespace kovi {
namespace {

NetworkMounterFactory& InstalledFactory() {
    static NetworkMounterFactory factory;
    return factory;
}

} // namespace

std::unique_ptr<NetworkMounter> CreateNetworkMounter() {
    if (InstalledFactory())
        return InstalledFactory()();
    return CreateSystemNetworkMounter();
}

void InstallNetworkMounterFactory(NetworkMounterFactory factory) {
    InstalledFactory() = std::move(factory);
}

} // namespace kovi
