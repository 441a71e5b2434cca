#pragma once

#include <cstddef>
#include <string>

namespace kovi {

// A one-line progress bar with the count and the current file, drawn on standard error only
// when that is a terminal; otherwise it draws nothing.
class TerminalProgress {
public:
    TerminalProgress();
    ~TerminalProgress();
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    void show(std::size_t index, std::size_t count, const std::string& name);
    // Removes the bar so that other text starts on a clean line.
    void clear();

private:
    bool enabled_ = false;
    bool drawn_ = false;
};

} // namespace kovi
