#include "platform/system/Terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace kovi {

bool StandardErrorIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

int TerminalColumns(int fallback) {
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return fallback;
}

} // namespace kovi
