// Clicks on the register, memory, stack and screen panels toggle watches
// (run/watches.h); the 中断处停 button shows its toggle.
#include "game/watch_clicks.h"

#include <cstdint>

#include "cpu/cpu.h"
#include "game/memory_view.h"
#include "game/panels.h"
#include "run/watches.h"

namespace {

bool freshPress(const MOUSE_EVENT_RECORD& m) {
    return (m.dwButtonState & FROM_LEFT_1ST_BUTTON_PRESSED) && !(lastMouse.dwButtonState & FROM_LEFT_1ST_BUTTON_PRESSED);
}

// A press inside the panel's grid, at (column, row) of it.
bool pressAt(const window& panel, const INPUT_RECORD& record, std::int64_t& column, std::int64_t& row) {
    if (record.EventType != MOUSE_EVENT || !freshPress(record.Event.MouseEvent)) return false;
    column = record.Event.MouseEvent.dwMousePosition.X - panel.x;
    row = record.Event.MouseEvent.dwMousePosition.Y - panel.y;
    return column >= 0 && row >= 0 && column < panel.width() && row < panel.height();
}

// "R4=09" at (6h, g); "PC=0000" (0, 4), "SP=FD00" (8, 4), "CLK=FFFF" (16, 4); "Z=0 C=0 S=0 I" on row 5.
bool registerPanelWatch(std::int64_t column, std::int64_t row, Watch& w) {
    if (row < 4) {
        if (column % 6 > 4 || column / 6 > 3) return false;
        w = {WatchKind::Register, static_cast<std::uint16_t>(4 * row + column / 6)};
        return w.index != 0; // R0 always reads 0
    }
    if (row == 4) {
        if (column <= 6) w = {WatchKind::Pc, 0};
        else if (column >= 8 && column <= 14) w = {WatchKind::Sp, 0};
        else if (column >= 16 && column <= 23) w = {WatchKind::Clk, 0};
        else return false;
        return true;
    }
    if (row != 5 || column > 12 || (column % 4 == 3)) return false;
    w = {WatchKind::Flag, static_cast<std::uint16_t>(column / 4)};
    return true;
}

// Rows of 16 bytes, "XX " from column 5 on, below the column heads.
bool byteAt(std::int64_t column, std::int64_t row, std::int64_t rows, std::uint16_t base, Watch& w) {
    if (row < 1 || row > rows || column < 5 || (column - 5) % 3 == 2 || (column - 5) / 3 > 15) return false;
    w = {WatchKind::Memory, static_cast<std::uint16_t>(base + (row - 1) * 16 + (column - 5) / 3)};
    return true;
}

void onClick(window& panel, bool (*place)(std::int64_t, std::int64_t, Watch&)) {
    panel.inputHandlers.push_back([&panel, place](INPUT_RECORD record) {
        std::int64_t column = 0, row = 0;
        Watch w{};
        if (pressAt(panel, record, column, row) && place(column, row, w)) toggleWatch(w);
    });
}

} // namespace

void installWatchClicks() {
    onClick(registerPanel, registerPanelWatch);
    onClick(memoryPanel, [](std::int64_t column, std::int64_t row, Watch& w) {
        return byteAt(column, row, memoryViewRows(), memoryViewBase(), w);
    });
    onClick(stackPanel, [](std::int64_t column, std::int64_t row, Watch& w) {
        return byteAt(column, row, 16, STACK_BASE, w);
    });
    onClick(screenPanel, [](std::int64_t column, std::int64_t row, Watch& w) {
        if (column > 15 || row > 15) return false;
        w = {WatchKind::Memory, static_cast<std::uint16_t>(SCREEN_BASE + 16 * row + column)};
        return true;
    });
}

void toggleInterruptStop() {
    watches.stopAtInterrupts = !watches.stopAtInterrupts;
    for (Button& b : cpuControlPanel.buttons)
        if (b.text.rfind("中断处停", 0) == 0) b.text = interruptStopText();
}
