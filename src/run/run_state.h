// The state of the run in progress that a run's life reads and changes: the
// level's run (presets, checks, feeder state), the pass count and whether the
// machine runs. The game is this state (Game derives from it); currentRun is
// the game itself, seen from here.
#pragma once
#include <cstdint>
#include <vector>

#include "levels/level_run.h"

struct RunState : LevelRun {
    std::uint16_t level = 0;
    std::uint16_t passCount = 0;
    std::uint8_t running = 0;
    std::uint8_t fast = 0;
    std::uint8_t judged = 0;
    // The CPU's PC moved (a step or a run) since the editor's caret last followed it.
    std::uint8_t pcMoved = 0;
    // The last compiled program and the address of each of its source lines.
    std::vector<std::uint8_t> program;
    std::vector<std::uint16_t> lineAddress;
};

extern RunState& currentRun;

// Set by resetMachine; the next frame sets the current level up again.
extern std::uint8_t levelReloadRequested;
