// Message channels into panels. consolePrintf is the player's message line:
// it prints into the console panel and brings it in front of every panel
// covering it (a hidden console stays hidden). The others print into one fixed
// panel. The game hands the panels over when it builds its screen
// (messagePanels, defined with the panels); a channel without a panel prints nothing.
#pragma once

struct window;
struct LogPanel;

struct MessagePanels {
    LogPanel* console = nullptr;
    window* registers = nullptr;
    window* interrupts = nullptr;
    window* stack = nullptr;
    window* memory = nullptr;
};

extern MessagePanels messagePanels;

void consolePrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
void panelPrintf(window* panel, const char* format, ...) __attribute__((format(printf, 2, 3)));
void registerPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
void interruptPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
void stackPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
void memoryPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
