#include "programs/kovi-rzk-batch/TerminalProgress.h"

#include "platform/system/Terminal.h"

#include <cstdio>

namespace kovi {
namespace {

// A terminal too narrow to say anything useful is taken for the usual width.
int Columns() {
    const int columns = TerminalColumns(0);
    return columns > 20 ? columns : 80;
}

} // namespace

TerminalProgress::TerminalProgress() : enabled_(StandardErrorIsTerminal()) {}

TerminalProgress::~TerminalProgress() {
    clear();
}

void TerminalProgress::show(std::size_t index, std::size_t count, const std::string& name) {
    if (!enabled_ || count == 0)
        return;
    const int columns = Columns();
    constexpr int BarWidth = 24;
    const int filled = static_cast<int>(BarWidth * (index + 1) / count);
    std::string line = "[" + std::string(filled, '#') + std::string(BarWidth - filled, ' ') + "] " +
                       std::to_string(index + 1) + "/" + std::to_string(count) + " ";
    const int room = columns - 1 - static_cast<int>(line.size());
    if (room > 3) {
        // Keep the end of a long name: it is the part that tells files apart.
        if (static_cast<int>(name.size()) <= room) {
            line += name;
        } else {
            std::size_t start = name.size() - static_cast<std::size_t>(room - 3);
            while (start < name.size() && (static_cast<unsigned char>(name[start]) & 0xC0) == 0x80)
                ++start; // never start inside a UTF-8 character
            line += "..." + name.substr(start);
        }
    }
    std::fprintf(stderr, "\r\033[K%s", line.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

void TerminalProgress::clear() {
    if (!drawn_)
        return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    drawn_ = false;
}

} // namespace kovi
