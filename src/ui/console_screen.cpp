// STUB: replaced by the toolkit implementation.
#include "ui/console_screen.h"
ConsoleScreen::ConsoleScreen() : inputHandle(0), savedInputMode(0), cursorShown(true), frontBuffer{}, backBuffer{}, outputHandle(0) {}
ConsoleScreen::~ConsoleScreen() {}
void ConsoleScreen::present() {}
void clearFrame(std::int64_t, std::int64_t) {}
void putCell(std::int64_t, std::int64_t, std::uint8_t, std::uint16_t) {}
void putPair(std::int64_t, std::int64_t, std::uint8_t, std::uint8_t, std::uint16_t) {}
void clearConsole() {}
ConsoleSize visibleConsoleSize() { return {170, 45}; }
std::uint32_t readingInputMode(std::uint32_t m) { return m; }
int ctrlHandler(std::uint32_t) { return 1; }
