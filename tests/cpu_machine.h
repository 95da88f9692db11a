// Helpers for the CPU, assembler and judge tests: boot a real program assembled
// by our assembler, run it, read what the console panel shows.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "asm/asm.h"
#include "cpu/cpu.h"
#include "game/panels.h"
#include "test_support.h"

// A restarted program with `source` assembled (it must assemble cleanly),
// loaded at 0x0000 and ready to run.
inline void boot(const std::string& source) {
    freshProgram();
    std::vector<std::uint8_t> image = assembler.complie(source);
    ASSERT_TRUE(assembler.errors.empty()) << "source does not assemble: " << source;
    loadProgram(image);
    consolePanel.clearText();
    cpu.halted = 0;
}

inline void steps(int count) {
    for (int i = 0; i < count; ++i) cpu.step();
}

// Steps until halted; fails the test after `limit` steps.
inline void runToHalt(int limit = 100000) {
    for (int i = 0; i < limit && !cpu.halted; ++i) cpu.step();
    ASSERT_TRUE(cpu.halted) << "program did not halt";
}

inline std::uint16_t word16(std::uint16_t at) { return std::uint16_t(cpu.memory[at] | cpu.memory[at + 1] << 8); }

// The console panel's rows, trailing blanks cut, empty rows at the end dropped.
inline std::vector<std::string> consoleRows() {
    std::vector<std::string> rows;
    const std::size_t columns = consolePanel.grid.size();
    const std::size_t height = columns ? consolePanel.grid[0].size() : 0;
    for (std::size_t row = 0; row < height; ++row) {
        std::string text;
        for (std::size_t column = 0; column < columns; ++column) {
            char c = static_cast<char>(consolePanel.grid[column][row].character);
            text += c ? c : ' ';
        }
        text.erase(text.find_last_not_of(' ') + 1);
        rows.push_back(text);
    }
    while (!rows.empty() && rows.back().empty()) rows.pop_back();
    return rows;
}

inline constexpr std::uint8_t Z = FLAG_Z, C = FLAG_C, S = FLAG_S, I = FLAG_I;
