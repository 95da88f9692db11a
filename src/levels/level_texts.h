// The level descriptions shown in the 关卡说明 panel, and the code examples
// they teach. Every example is data: the description prints its source, and
// the tests assemble and run it to check that it does what the text says.
//
//   game.levelText = levelDescription(level);
//   for (const LevelExample& e : levelExamples()) ...;   // assemble, run, compare
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// The panel's interior: a description never needs more.
inline constexpr std::size_t levelTextWidth = 48;
inline constexpr std::size_t levelTextRows = 32;

struct LevelExample {
    unsigned short level;
    const char* source;  // assembly, lines separated by '\n' (GBK once compiled)
    bool showAddresses;  // the description prefixes each line with its address
    std::vector<std::pair<int, int>> presetRegisters; // (register, value) before the run
    std::uint8_t key;                                  // typed before the first step; 0 = none
    std::vector<std::pair<int, int>> expectRegisters;  // (register, value) at the halt
    std::vector<std::pair<int, int>> expectMemory;     // (address, value) at the halt
};

// Every example, in the order the descriptions show them.
const std::vector<LevelExample>& levelExamples();

// The full description of a level, as printed into the panel: GBK text, lines
// ending in '\n' and padded with spaces to levelTextWidth (level 0 is a single
// unpadded sentence). Levels from 31 up share one text.
std::string levelDescription(unsigned short level);
