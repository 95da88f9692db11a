#include "game/panel_marks.h"

#include <bitset>
#include <cstdio>

#include "cpu/cpu.h"
#include "run/failure_report.h"
#include "game/game.h"
#include "game/memory_view.h"
#include "game/panels.h"
#include "run/step_changes.h"
#include "run/step_history.h"
#include "run/watches.h"
#include "shell/messages.h"

namespace {

// libstdc++'s word-at-a-time scan; other C++ libraries (the browser build's
// libc++) have no such extension and test bit by bit.
template <std::size_t N> std::size_t nextSet(const std::bitset<N>& bits, std::size_t after) {
#ifdef __GLIBCXX__
    return bits._Find_next(after);
#else
    std::size_t i = after + 1;
    while (i < N && !bits.test(i)) ++i;
    return i;
#endif
}
template <std::size_t N> std::size_t firstSet(const std::bitset<N>& bits) {
#ifdef __GLIBCXX__
    return bits._Find_first();
#else
    return bits.test(0) ? 0 : nextSet(bits, 0);
#endif
}

void paint(window& panel, std::int64_t column, std::int64_t row, std::int64_t cells, std::uint16_t attribute) {
    for (std::int64_t c = column; c < column + cells; ++c)
        if (c >= 0 && row >= 0 && static_cast<std::size_t>(c) < panel.grid.size() &&
            static_cast<std::size_t>(row) < panel.grid[static_cast<std::size_t>(c)].size())
            panel.grid[static_cast<std::size_t>(c)][static_cast<std::size_t>(row)].attribute = attribute;
}

// Every panel cell that shows memory[address] (the memory panel's where it is scrolled to).
void paintAddress(unsigned a, std::uint16_t attribute) {
    std::int64_t column = 0, row = 0;
    if (memoryCellPosition(static_cast<std::uint16_t>(a), column, row)) paint(memoryPanel, column, row, 2, attribute);
    if (a >= STACK_BASE && a < INTERRUPT_TABLE) paint(stackPanel, 3 * (a % 16) + 5, (a - STACK_BASE) / 16 + 1, 2, attribute);
    if (a >= INTERRUPT_TABLE) {
        const unsigned e = (a % 16) / 2;
        paint(interruptPanel, 5 * e + (a % 2 ? 5 : 7), (a - INTERRUPT_TABLE) / 16 + 1, 2, attribute);
    }
    if (a >= SCREEN_BASE && a < STACK_BASE) paint(screenPanel, a % 16, (a - SCREEN_BASE) / 16, 1, attribute);
}

void paintRegisters(std::uint16_t mask, std::uint16_t attribute) {
    for (unsigned i = 0; i < 16; ++i)
        if (mask >> i & 1) paint(registerPanel, 6 * (i % 4), i / 4, 5, attribute);
}

// The flag line reads "Z=0 C=0 S=0 I": Z, C, S at columns 0, 4, 8, I at 12.
void paintFlags(std::uint8_t bits, std::uint16_t attribute) {
    for (unsigned f = 0; f < 3; ++f)
        if (bits >> f & 1) paint(registerPanel, 4 * f, 5, 3, attribute);
    if (bits & FLAG_I) paint(registerPanel, 12, 5, 1, attribute);
}

void paintWatches() {
    for (const Watch& w : watches.list) {
        switch (w.kind) {
        case WatchKind::Register: paintRegisters(static_cast<std::uint16_t>(1u << w.index), WATCH_ATTRIBUTE); break;
        case WatchKind::Flag: paintFlags(static_cast<std::uint8_t>(1u << w.index), WATCH_ATTRIBUTE); break;
        case WatchKind::Pc: paint(registerPanel, 0, 4, 7, WATCH_ATTRIBUTE); break;
        case WatchKind::Sp: paint(registerPanel, 8, 4, 7, WATCH_ATTRIBUTE); break;
        case WatchKind::Clk: paint(registerPanel, 16, 4, 8, WATCH_ATTRIBUTE); break;
        case WatchKind::Memory: paintAddress(w.index, WATCH_ATTRIBUTE); break;
        }
    }
}

// The screen panel's attributes are not rewritten by its refresh.
bool screenPainted = false;

} // namespace

void paintPanelMarks() {
    if (screenPainted) {
        for (std::int64_t r = 0; r < 16; ++r) paint(screenPanel, 0, r, 16, screenPanel.colour);
        screenPainted = false;
    }
    keepWatchesForLevel();
    paintWatches();
    if (failureMarks.any) {
        paintRegisters(failureMarks.registers, MISMATCH_ATTRIBUTE);
        for (std::size_t a = firstSet(failureMarks.memory); a < 65536; a = nextSet(failureMarks.memory, a))
            paintAddress(static_cast<unsigned>(a), MISMATCH_ATTRIBUTE);
    }
    if (stepChanges.any) {
        const StepChanges& c = stepChanges;
        paintRegisters(c.registers, CHANGED_ATTRIBUTE);
        paintFlags(c.flags, CHANGED_ATTRIBUTE);
        if (c.pc) paint(registerPanel, 0, 4, 7, CHANGED_ATTRIBUTE);
        if (c.sp) paint(registerPanel, 8, 4, 7, CHANGED_ATTRIBUTE);
        if (c.clk) paint(registerPanel, 16, 4, 8, CHANGED_ATTRIBUTE);
        for (std::size_t a = firstSet(c.memory); a < 65536; a = nextSet(c.memory, a))
            paintAddress(static_cast<unsigned>(a), CHANGED_ATTRIBUTE);
    }
    screenPainted = failureMarks.any || stepChanges.any || !watches.list.empty();
}

// "步数:30", or "步数:27/30" after going back from step 30; a count too long
// for the panel's row drops the label, then the furthest step.
void printStepCounter() {
    const auto steps = static_cast<unsigned long long>(stepHistory.steps);
    const auto furthest = static_cast<unsigned long long>(stepHistory.furthest);
    const auto width = static_cast<int>(cpuControlPanel.width());
    char text[64];
    int length = furthest > steps ? std::snprintf(text, sizeof text, "步数:%llu/%llu", steps, furthest) : width + 1;
    if (length > width && furthest > steps) length = std::snprintf(text, sizeof text, "%llu/%llu", steps, furthest);
    if (length > width) std::snprintf(text, sizeof text, "步数:%llu", steps);
    cpuControlPanel.setCursor(0, STEP_COUNTER_ROW);
    panelPrintf(&cpuControlPanel, "%-*.*s", width, width, text);
}
