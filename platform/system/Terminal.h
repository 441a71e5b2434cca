#pragma once

namespace kovi {

// Whether standard error is a terminal, where progress can be drawn over itself.
bool StandardErrorIsTerminal();
// The terminal's width in characters, or `fallback` when it does not say.
int TerminalColumns(int fallback);

} // namespace kovi
