// The level catalogue: for each level its random presets (drawn with rand()
// in a fixed order), its check functions and, for the keyboard levels, the
// key feeder installed as the CPU's step hook.
#pragma once
#include <cstdint>

#include "levels/level_run.h"


// Draws the presets of one run of `level` and installs its checks and feeder.
// Presets that live in the machine (SP, memory) are written straight into run.machine.
void setUpLevelRun(LevelRun& run, std::uint16_t level);

// Addresses first..last, both included.
struct MemoryRange {
    std::uint16_t first = 0x0000;
    std::uint16_t last = 0xFFFF;
};
inline constexpr MemoryRange everyAddress{};

// The only addresses where the level's memory check can return anything but
// NOT_CHECKED, whatever the run's data: judging compares just these.
MemoryRange checkedMemory(std::uint16_t level);

// Levels after the last core level share one open entry.
inline constexpr std::uint16_t LAST_CORE_LEVEL = 30;

// Levels 19 to 26 type their own keys (their feeder owns the keyboard): a key
// the player types there reaches the CPU too, but the check counts only the
// level's keys, and the feeder soon types over it.
inline constexpr bool feederTypesKeys(std::uint16_t level) { return level >= 19 && level <= 26; }

// Bit r set: the level's set-up presets register Rr for each run (its inputs).
std::uint16_t presetRegisterMask(std::uint16_t level);
