#pragma once

// The operating system's own implementations, one set per system, used until a test
// installs its fakes.

#include "platform/BrowserLauncher.h"
#include "platform/HelpViewer.h"
#include "platform/Registry.h"
#include "platform/SystemInfo.h"

#include <memory>

namespace kovi {

std::unique_ptr<HelpViewer> CreateSystemHelpViewer();
std::unique_ptr<Registry> CreateSystemRegistry();
std::unique_ptr<SystemInfo> CreateSystemInfo();
std::unique_ptr<BrowserLauncher> CreateSystemBrowserLauncher();

} // namespace kovi
