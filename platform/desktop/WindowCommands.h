#pragma once

#include "platform/desktop/WindowHandle.h"

#include <cstdint>

namespace kovi {

inline constexpr std::uint32_t SystemCommandMessage = 274;  // WM_SYSCOMMAND
inline constexpr std::uintptr_t ContextHelpCommand = 61824; // SC_CONTEXTHELP

// The window system's default handling of a message for the window (DefWindowProcA). Of the
// system commands only context help is known here: it turns the pointer into the
// "What's This?" pointer until the user clicks.
void DefaultWindowProcedure(WindowHandle window, std::uint32_t message, std::uintptr_t command);

// Deletes the item with that command number from the window's system menu.
void DeleteSystemMenuCommand(WindowHandle window, std::uint32_t command);

} // namespace kovi
