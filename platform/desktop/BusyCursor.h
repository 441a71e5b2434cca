#pragma once

namespace kovi {

// The hourglass pointer over the whole program, on or off. Calls nest: each "on" needs its
// own "off"; an "off" without an "on" does nothing.
void SetBusyCursor(bool on);

// The hourglass pointer for as long as the guard lives.
class BusyCursorGuard {
public:
    BusyCursorGuard() { SetBusyCursor(true); }
    ~BusyCursorGuard() { SetBusyCursor(false); }
    BusyCursorGuard(const BusyCursorGuard&) = delete;
    BusyCursorGuard& operator=(const BusyCursorGuard&) = delete;
};

} // namespace kovi
