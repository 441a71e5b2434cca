#pragma once

#include <cstdint>

namespace kovi {

// A native window as the help viewer and the window system name it; 0 is no window.
using WindowHandle = std::intptr_t;

} // namespace kovi
