#include "game/watches.h"

#include <algorithm>
#include <cstdio>

#include "game/game.h"
#include "game/memory_view.h"
#include "game/panels.h"
#include "shell/messages.h"

namespace {

const char* const flagNames[] = {"Z", "C", "S", "I"};

// Each watch as the bytes Cpu::run compares.
void addPlaces(Watchpoints& p, Watch w) {
    switch (w.kind) {
    case WatchKind::Register: p.watchRegister(cpu, w.index); break;
    case WatchKind::Flag: p.watchFlags(cpu, static_cast<std::uint8_t>(1u << w.index)); break;
    case WatchKind::Pc: p.watchPc(cpu); break;
    case WatchKind::Sp: p.watchSp(cpu); break;
    case WatchKind::Clk: p.watchClk(cpu); break;
    case WatchKind::Memory: p.watchMemory(cpu, w.index); break;
    }
}

unsigned valueOf(const Watchpoints::Place* place, Watch w, bool before) {
    const auto byte = [before](const Watchpoints::Place& p) { return before ? p.before : *p.at; };
    switch (w.kind) {
    case WatchKind::Pc:
    case WatchKind::Sp:
    case WatchKind::Clk: return byte(place[0]) | byte(place[1]) << 8; // little-endian, as the CPU's 16-bit fields
    case WatchKind::Flag: return (byte(place[0]) >> w.index) & 1;
    default: return byte(place[0]);
    }
}

std::string valueText(Watch w, unsigned value) {
    char text[8];
    const char* format = w.kind == WatchKind::Flag                                             ? "%X"
                         : w.kind == WatchKind::Register || w.kind == WatchKind::Memory ? "%02X"
                                                                                         : "%04X";
    std::snprintf(text, sizeof text, format, value);
    return text;
}

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

void keepWatchesForLevel() {
    if (watches.level == game.level) return;
    watches.list.clear();
    watches.level = game.level;
}

void toggleWatch(Watch w) {
    keepWatchesForLevel();
    const auto at = std::find(watches.list.begin(), watches.list.end(), w);
    if (at != watches.list.end()) watches.list.erase(at);
    else if (watches.list.size() < Watchpoints::MAX_PLACES / 2 - 1) watches.list.push_back(w); // room for 中断处停
}

bool isWatched(Watch w) {
    return watches.level == game.level && std::find(watches.list.begin(), watches.list.end(), w) != watches.list.end();
}

Watchpoints* armWatches() {
    keepWatchesForLevel();
    Watchpoints& p = watches.points;
    p.clear();
    watches.firstPlace.clear();
    for (const Watch& w : watches.list) {
        watches.firstPlace.push_back(p.count);
        addPlaces(p, w);
    }
    if (watches.stopAtInterrupts) p.watchInterruptEntries(cpu);
    return p.count ? &p : nullptr;
}

std::string watchName(Watch w) {
    char text[8];
    switch (w.kind) {
    case WatchKind::Register: std::snprintf(text, sizeof text, "R%x", w.index); return text;
    case WatchKind::Flag: return flagNames[w.index & 3];
    case WatchKind::Pc: return "PC";
    case WatchKind::Sp: return "SP";
    case WatchKind::Clk: return "CLK";
    case WatchKind::Memory: std::snprintf(text, sizeof text, "%04X", w.index); return text;
    }
    return {};
}

std::string interruptName(std::uint8_t number) {
    static const char* const names[] = {"定时器", "键盘", "除零", "栈溢出", "栈下溢"};
    char text[48];
    if (number < std::size(names)) std::snprintf(text, sizeof text, "中断%u（%s）", number, names[number]);
    else std::snprintf(text, sizeof text, "中断%u", number);
    return text;
}

void reportWatchStop(std::uint64_t step) {
    const Watchpoints& p = watches.points;
    if (watches.stopAtInterrupts && p.count && p.places[p.count - 1].before != cpu.interruptEntries)
        consolePrintf("进入%s（第%llu步）\n", interruptName(cpu.lastInterrupt).c_str(), static_cast<unsigned long long>(step));
    for (std::size_t i = 0; i < watches.list.size(); ++i) {
        const Watch w = watches.list[i];
        const unsigned before = valueOf(&p.places[watches.firstPlace[i]], w, true);
        const unsigned after = valueOf(&p.places[watches.firstPlace[i]], w, false);
        if (before != after)
            consolePrintf("观察：%s由%s变为%s（第%llu步）\n", watchName(w).c_str(), valueText(w, before).c_str(),
                          valueText(w, after).c_str(), static_cast<unsigned long long>(step));
    }
}

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

const char* interruptStopText() { return watches.stopAtInterrupts ? "中断处停:开" : "中断处停:关"; }

void toggleInterruptStop() {
    watches.stopAtInterrupts = !watches.stopAtInterrupts;
    for (Button& b : cpuControlPanel.buttons)
        if (b.text.rfind("中断处停", 0) == 0) b.text = interruptStopText();
}
