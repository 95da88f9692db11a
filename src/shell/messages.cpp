#include "shell/messages.h"

#include <cstdarg>

#include "ui/log_panel.h"
#include "ui/window_order.h"

namespace {
void printInto(window* panel, const char* format, va_list args) {
    if (panel) panel->print(format, args);
}
} // namespace

void consolePrintf(const char* format, ...) {
    LogPanel* console = messagePanels.console;
    if (!console) return;
    va_list args;
    va_start(args, format);
    console->printLogged(format, args);
    va_end(args);
    // Only the order changes: a console the player closed stays closed. An
    // open one comes in front of what covers it, but no further, so the
    // editor keeps the keys when the two lie side by side.
    if (console->visible) uncover(*console);
    else console->raise();
}

void panelPrintf(window* panel, const char* format, ...) {
    va_list args;
    va_start(args, format);
    printInto(panel, format, args);
    va_end(args);
}

#define FIXED_PANEL_PRINTF(name, panel)                                                                                \
    void name(const char* format, ...) {                                                                               \
        va_list args;                                                                                                  \
        va_start(args, format);                                                                                        \
        printInto(messagePanels.panel, format, args);                                                                  \
        va_end(args);                                                                                                  \
    }

FIXED_PANEL_PRINTF(registerPrintf, registers)
FIXED_PANEL_PRINTF(interruptPrintf, interrupts)
FIXED_PANEL_PRINTF(stackPrintf, stack)
FIXED_PANEL_PRINTF(memoryPrintf, memory)
