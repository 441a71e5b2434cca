#pragma once

// The operating system's own implementations, one set per system, used until a test
// installs its fakes.

#include "platform/desktop/BrowserLauncher.h"
#include "platform/desktop/HelpViewer.h"
#include "platform/desktop/Registry.h"
#include "platform/desktop/SystemInfo.h"

#include <memory>

namespace kovi {

std::unique_ptr<HelpViewer> CreateSystemHelpViewer();
std::unique_ptr<Registry> CreateSystemRegistry();
std::unique_ptr<SystemInfo> CreateSystemInfo();
std::unique_ptr<BrowserLauncher> CreateSystemBrowserLauncher();

} // namespace kovi
