#include "console/console_screen.h"

#include <algorithm>
#include <cstring>

namespace {
// The control handlers and the input mode to restore belong to the process,
// not to one screen object: a screen constructed again keeps the first mode.
bool processSetupDone = false;
std::uint32_t processInputMode = 0;

std::int64_t clampToModel(std::int64_t n) { return std::clamp<std::int64_t>(n, 0, screenModelSize); }

bool sameCell(const ScreenCell& a, const ScreenCell& b) {
    return a.character == b.character && a.attribute == b.attribute;
}
} // namespace

ConsoleScreen::ConsoleScreen()
    : inputHandle(console().GetStdHandle(STD_INPUT_HANDLE)), savedInputMode(0), cursorShown(true), frontBuffer{},
      backBuffer{}, outputHandle(0) {
    ConsolePlatform& con = console();
    if (!processSetupDone) {
        processSetupDone = true;
        con.SetConsoleCtrlHandler(nullptr, true);
        con.SetConsoleCtrlHandler(ctrlHandler, true);
        con.GetConsoleMode(inputHandle, &processInputMode);
    }
    savedInputMode = processInputMode;
    try {
        outputHandle = con.GetStdHandle(STD_OUTPUT_HANDLE);
    } catch (...) {
        con.SetConsoleMode(inputHandle, savedInputMode);
        throw;
    }
}

ConsoleScreen::~ConsoleScreen() { console().SetConsoleMode(inputHandle, savedInputMode); }

void ConsoleScreen::forgetProcessSetup() {
    processSetupDone = false;
    processInputMode = 0;
}

void ConsoleScreen::writeRun(const char* text, std::uint32_t length, std::uint16_t attribute, std::int64_t x,
                             std::int64_t y) {
    if (length == 0) return;
    const COORD at{static_cast<std::int16_t>(x), static_cast<std::int16_t>(y)};
    ConsolePlatform& con = console();
    con.WriteConsoleOutputCharacterA(outputHandle, text, length, at, nullptr);
    con.FillConsoleOutputAttribute(outputHandle, attribute, length, at, nullptr);
}

void ConsoleScreen::present() {
    ConsolePlatform& con = console();
    const HANDLE output = con.GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == INVALID_HANDLE_VALUE) return;
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!con.GetConsoleScreenBufferInfo(output, &info)) return;
    const std::int64_t width = std::min<std::int64_t>(info.srWindow.Right - info.srWindow.Left + 1, screenModelSize);
    const std::int64_t height = std::min<std::int64_t>(info.srWindow.Bottom - info.srWindow.Top + 1, screenModelSize);
    if (height < 1 || width < 1) return;

    // Column by column: the buffers are column-major. A row with neither a
    // change nor a possible double-byte character makes no call below.
    bool changed = false;
    bool rowNeedsScan[screenModelSize] = {};
    for (std::int64_t x = 0; x < width; ++x) {
        ScreenCell* front = frontBuffer[x];
        const ScreenCell* back = backBuffer[x];
        for (std::int64_t y = 0; y < height; ++y) {
            if (front[y].character == 0) front[y].character = ' ';
            const bool differs = !sameCell(front[y], back[y]);
            changed |= differs;
            rowNeedsScan[y] |= differs || isGbkLead(front[y].character);
        }
    }
    if (!changed) return;

    char run[screenModelSize];
    for (std::int64_t y = 0; y < height; ++y) {
        if (!rowNeedsScan[y]) continue;
        std::uint32_t runLength = 0;
        std::uint16_t runAttribute = 0;
        std::int64_t runStart = 0;
        auto flush = [&] {
            writeRun(run, runLength, runAttribute, runStart, y);
            runLength = 0;
        };
        std::int64_t x = 0;
        while (x < width) {
            const ScreenCell cell = frontBuffer[x][y];
            // A double-byte character is rewritten whenever anything changed:
            // a neighbour written over either half would re-pair its bytes.
            if (x + 1 < width && isGbkLead(cell.character) && isGbkTrail(frontBuffer[x + 1][y].character)) {
                const char pair[2] = {static_cast<char>(cell.character),
                                      static_cast<char>(frontBuffer[x + 1][y].character)};
                const COORD at{static_cast<std::int16_t>(x), static_cast<std::int16_t>(y)};
                con.WriteConsoleOutputCharacterA(outputHandle, pair, 2, at, nullptr);
                con.FillConsoleOutputAttribute(outputHandle, cell.attribute & 0xFF, 2, at, nullptr);
                backBuffer[x][y] = cell;
                backBuffer[x + 1][y] = frontBuffer[x + 1][y];
                flush();
                x += 2;
                continue;
            }
            if (!sameCell(cell, backBuffer[x][y])) {
                if (runLength > 0 && cell.attribute == runAttribute) {
                    run[runLength++] = static_cast<char>(cell.character);
                } else {
                    flush();
                    runStart = x;
                    runAttribute = cell.attribute & 0xFF;
                    run[runLength++] = static_cast<char>(cell.character);
                }
                backBuffer[x][y] = cell;
            } else {
                flush();
            }
            ++x;
        }
        flush();
    }
}

void clearFrame(std::int64_t width, std::int64_t height) {
    const std::int64_t columns = clampToModel(width + 4);
    const std::int64_t rows = clampToModel(height + 4);
    if (rows == 0) return;
    for (std::int64_t x = 0; x < columns; ++x)
        std::memset(static_cast<void*>(screen.frontBuffer[x]), 0, static_cast<std::size_t>(rows) * sizeof(ScreenCell));
}

void clearConsole() {
    ConsolePlatform& con = console();
    const HANDLE output = con.GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == INVALID_HANDLE_VALUE) return;
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!con.GetConsoleScreenBufferInfo(output, &info)) return;
    const auto cells = static_cast<std::uint32_t>(std::max(0, info.dwSize.X * info.dwSize.Y));
    con.FillConsoleOutputCharacterA(output, ' ', cells, COORD{0, 0}, nullptr);
    con.GetConsoleScreenBufferInfo(output, &info);
    con.FillConsoleOutputAttribute(output, info.wAttributes, cells, COORD{0, 0}, nullptr);
    con.SetConsoleCursorPosition(output, COORD{0, 0});
}

ConsoleSize visibleConsoleSize() {
    ConsolePlatform& con = console();
    const HANDLE output = con.GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == INVALID_HANDLE_VALUE) return {};
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!con.GetConsoleScreenBufferInfo(output, &info)) return {};
    return {info.srWindow.Right - info.srWindow.Left + 1, info.srWindow.Bottom - info.srWindow.Top + 1};
}

std::uint32_t readingInputMode(std::uint32_t saved) {
    return (saved & (ENABLE_WINDOW_INPUT | ENABLE_INSERT_MODE)) | ENABLE_MOUSE_INPUT | ENABLE_EXTENDED_FLAGS |
           (saved & ~std::uint32_t{0xFF});
}

int ctrlHandler(std::uint32_t ctrlType) { return ctrlType == CTRL_C_EVENT || ctrlType == CTRL_BREAK_EVENT ? 1 : 0; }
