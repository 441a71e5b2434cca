#include "platform/desktop/SystemServices.h"

namespace kovi {
namespace {

// One service in force: the system's own, made on first use, unless a test installed one.
template <typename Service>
class ServiceSlot {
public:
    using Factory = std::unique_ptr<Service> (*)();
    explicit ServiceSlot(Factory factory) : factory_(factory) {}

    Service& current() {
        if (installed_ != nullptr)
            return *installed_;
        if (!system_)
            system_ = factory_();
        return *system_;
    }
    void install(Service* service) { installed_ = service; }

private:
    Factory factory_;
    std::unique_ptr<Service> system_;
    Service* installed_ = nullptr;
};

ServiceSlot<HelpViewer>& HelpViewerSlot() {
    static ServiceSlot<HelpViewer> slot(&CreateSystemHelpViewer);
    return slot;
}

ServiceSlot<Registry>& RegistrySlot() {
    static ServiceSlot<Registry> slot(&CreateSystemRegistry);
    return slot;
}

ServiceSlot<SystemInfo>& SystemInfoSlot() {
    static ServiceSlot<SystemInfo> slot(&CreateSystemInfo);
    return slot;
}

ServiceSlot<BrowserLauncher>& BrowserLauncherSlot() {
    static ServiceSlot<BrowserLauncher> slot(&CreateSystemBrowserLauncher);
    return slot;
}

} // namespace

HelpViewer& CurrentHelpViewer() {
    return HelpViewerSlot().current();
}
void InstallHelpViewer(HelpViewer* viewer) {
    HelpViewerSlot().install(viewer);
}

Registry& CurrentRegistry() {
    return RegistrySlot().current();
}
void InstallRegistry(Registry* registry) {
    RegistrySlot().install(registry);
}

SystemInfo& CurrentSystemInfo() {
    return SystemInfoSlot().current();
}
void InstallSystemInfo(SystemInfo* info) {
    SystemInfoSlot().install(info);
}

BrowserLauncher& CurrentBrowserLauncher() {
    return BrowserLauncherSlot().current();
}
void InstallBrowserLauncher(BrowserLauncher* launcher) {
    BrowserLauncherSlot().install(launcher);
}

} // namespace kovi
