#include "shell/messages.h"

#include <cstdarg>

#include "game/panels.h"
#include "ui/window_order.h"

namespace {
void printInto(window& panel, const char* format, va_list args) { panel.print(format, args); }
} // namespace

void consolePrintf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    consolePanel.printLogged(format, args);
    va_end(args);
    // Only the order changes: a console the player closed stays closed. An
    // open one comes in front of what covers it, but no further, so the
    // editor keeps the keys when the two lie side by side.
    if (consolePanel.visible) uncover(consolePanel);
    else consolePanel.raise();
}

void panelPrintf(window* panel, const char* format, ...) {
    if (!panel) return;
    va_list args;
    va_start(args, format);
    printInto(*panel, format, args);
    va_end(args);
}

#define FIXED_PANEL_PRINTF(name, panel)                                                                                \
    void name(const char* format, ...) {                                                                               \
        va_list args;                                                                                                  \
        va_start(args, format);                                                                                        \
        printInto(panel, format, args);                                                                                \
        va_end(args);                                                                                                  \
    }

FIXED_PANEL_PRINTF(registerPrintf, registerPanel)
FIXED_PANEL_PRINTF(interruptPrintf, interruptPanel)
FIXED_PANEL_PRINTF(stackPrintf, stackPanel)
FIXED_PANEL_PRINTF(memoryPrintf, memoryPanel)
