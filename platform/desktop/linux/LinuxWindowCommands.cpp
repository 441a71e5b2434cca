#include "platform/desktop/WindowCommands.h"

#include <QWhatsThis>
#include <QWidget>

namespace kovi {

void DefaultWindowProcedure(WindowHandle window, std::uint32_t message, std::uintptr_t command) {
    if (message != SystemCommandMessage || command != ContextHelpCommand)
        return;
    if (QWidget::find(static_cast<WId>(window)) != nullptr)
        QWhatsThis::enterWhatsThisMode();
}

// Our windows carry no system menu items of their own, so there is nothing to delete.
void DeleteSystemMenuCommand(WindowHandle, std::uint32_t) {}

} // namespace kovi
