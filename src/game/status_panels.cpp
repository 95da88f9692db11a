// The status panels, rewritten from the machine every frame: memory, stack,
// interrupt table, screen, registers, performance, and the editor's marks for
// the line at PC and the lines with compile errors.
#include "cpu/cpu.h"
#include "levels/boundary_runs.h"
#include "game/game.h"
#include "game/memory_view.h"
#include "game/panel_marks.h"
#include "game/panels.h"
#include "shell/messages.h"

namespace {

void printAt(window& panel, std::int64_t column, std::int64_t row) { panel.setCursor(column, row); }

// Rows of 16 bytes with a hexadecimal address label and column heads.
void dumpRows(window& panel, void (*print)(const char*, ...), std::uint16_t base, int rows, int labelDigits,
              std::int64_t firstColumn) {
    const char* labelFormat = labelDigits == 3 ? "%03X" : "%04X";
    for (int k = 0; k < rows; ++k) {
        printAt(panel, 0, k + 1);
        print(labelFormat, base + k * 16);
    }
    for (int c = 0; c < 16; ++c) {
        printAt(panel, 3 * c + firstColumn, 0);
        print("%01X", c);
    }
    for (int k = 0; k < rows; ++k)
        for (int c = 0; c < 16; ++c) {
            printAt(panel, 3 * c + firstColumn, k + 1);
            print("%02X", cpu.memory[static_cast<std::uint16_t>(base + k * 16 + c)]);
        }
}

// Last source line whose address is `address`, or -1.
std::int64_t lineAt(const std::vector<std::uint16_t>& lineAddress, std::uint16_t address) {
    for (std::size_t i = lineAddress.size(); i-- > 0;)
        if (lineAddress[i] == address) return static_cast<std::int64_t>(i);
    return -1;
}

} // namespace

std::int64_t sourceLineOf(std::uint16_t address) { return lineAt(game.lineAddress, address); }

void Game::updateMEM() {
    dumpRows(memoryPanel, memoryPrintf, memoryViewBase(), static_cast<int>(memoryViewRows()), 4, 5);
    dumpRows(stackPanel, stackPrintf, STACK_BASE, 16, 4, 5);

    for (int k = 0; k < 16; ++k) {
        printAt(interruptPanel, 0, k + 1);
        interruptPrintf("%04X", INTERRUPT_TABLE + k * 16);
    }
    for (int e = 0; e < 8; ++e) {
        printAt(interruptPanel, 5 * e + 5, 0);
        interruptPrintf("%01X", 2 * e + 1);
        printAt(interruptPanel, 5 * e + 7, 0);
        interruptPrintf("%01X", 2 * e);
    }
    for (int k = 0; k < 16; ++k)
        for (int e = 0; e < 8; ++e) {
            const std::uint16_t entry = static_cast<std::uint16_t>(INTERRUPT_TABLE + k * 16 + 2 * e);
            printAt(interruptPanel, 5 * e + 5, k + 1);
            interruptPrintf("%02X", cpu.memory[entry + 1]);
            interruptPrintf("%02X", cpu.memory[entry]);
        }

    for (std::size_t r = 0; r < 16 && r < screenPanel.grid.front().size(); ++r)
        for (std::size_t c = 0; c < 16 && c < screenPanel.grid.size(); ++c) {
            const std::uint8_t b = cpu.memory[SCREEN_BASE + 16 * r + c];
            screenPanel.grid[c][r].character = b ? b : ' ';
        }
    screenPanel.setCursor(15, 15);
}

void Game::updateREG() {
    for (int g = 0; g < 4; ++g)
        for (int h = 0; h < 4; ++h) {
            printAt(registerPanel, 6 * h, g);
            registerPrintf("R%01x=%02X", 4 * g + h, cpu.registers[4 * g + h]);
        }
    printAt(registerPanel, 0, 4);
    registerPrintf("PC=%04X", cpu.pc);
    printAt(registerPanel, 8, 4);
    registerPrintf("SP=%04X", cpu.sp);
    printAt(registerPanel, 16, 4);
    registerPrintf("CLK=%04X", cpu.clk);
    printAt(registerPanel, 0, 5);
    registerPrintf("Z=%01X C=%01X S=%01X %c", cpu.flags & 1, (cpu.flags >> 1) & 1, (cpu.flags >> 2) & 1,
                   (cpu.flags & FLAG_I) ? ' ' : 'I');
    printAt(registerPanel, 14, 5);
    // As wide as "已通过:00", which it replaces in the same cells.
    if (boundaryRun) registerPrintf("边界:%u/%-2zu", boundaryRun, boundaryRuns(level).size());
    else registerPrintf("已通过:%02X", passCount & 0xFF);

    perfPanel.clearText();
    printAt(perfPanel, 0, 0);
    panelPrintf(&perfPanel, "帧率  ：%llu", static_cast<unsigned long long>(frameRate));
    printAt(perfPanel, 0, 1);
    panelPrintf(&perfPanel, "总睡眠：%llu.%03llus", static_cast<unsigned long long>(totalSleepMicros / 1000000),
                static_cast<unsigned long long>((totalSleepMicros / 1000) % 1000));

    printStepCounter();
    paintPanelMarks();
}

void Game::markEditorLines() {
    if (!levelReloadRequested && !(fast && running)) {
        const std::int64_t line = sourceLineOf(cpu.pc);
        if (line >= 0) {
            editorPanel.lineColours[line] = 0x9F;
            // The caret follows only a PC that moved, never one standing
            // still while the player clicks and types.
            if (pcMoved && !editorPanel.lines.empty()) {
                const std::int64_t last = static_cast<std::int64_t>(editorPanel.lines.size()) - 1;
                editorPanel.selStart = editorPanel.selEnd = TextPosition{0, std::min(line, last)};
            }
        }
        pcMoved = 0;
    }
    for (std::uint64_t line : errorLines) editorPanel.lineColours[static_cast<std::int64_t>(line)] = 0xCF;
}
