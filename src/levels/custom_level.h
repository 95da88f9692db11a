// A teacher's level in play: the game and the judge set it up under the level
// number CUSTOM_LEVEL, through the same set-up, judging and pass counting as
// the built-in levels. Each run starts from a cold machine with the student's
// program loaded, draws the file's inputs with the game's generator (registers
// as listed, then the memory blocks in order), and runs the reference program
// from the same inputs on the side: what it leaves in the checked places is
// what the run must show. After the random passes come the boundary runs.
//
//   useCustomLevel(std::make_shared<CustomLevel>(*file.level));
//   game.level = CUSTOM_LEVEL; ... as for any level ...
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "levels/levels.h"
#include "levels/level_file.h"

struct LevelRun;

inline constexpr std::uint16_t CUSTOM_LEVEL = 0xFFFF;

// Makes `level` the one CUSTOM_LEVEL plays (nullptr: none). Assembles its
// reference once, leaving the assembler's state as it was.
void useCustomLevel(std::shared_ptr<const CustomLevel> level);
// The level CUSTOM_LEVEL plays when `level` is CUSTOM_LEVEL, else null.
const CustomLevel* customLevelFor(std::uint16_t level);

// One run of the custom level: presets, memory inputs, checks; the boundary
// run run.boundaryRun (1-based) instead of drawn inputs when it is set.
void setUpCustomRun(LevelRun& run, const CustomLevel& level);
std::uint16_t customPresetMask(const CustomLevel& level);
MemoryRange customCheckedMemory(const CustomLevel& level);

// The random runs a level is judged on before its boundary runs: 257, or a
// teacher's level's own number.
unsigned randomRuns(std::uint16_t level);

// The first time a set-up's reference run did not halt (a fault of the level
// file, not of the student's program); empty when none since useCustomLevel.
const std::string& customLevelFault();
