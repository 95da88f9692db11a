// One run of a level as its set-up leaves it, and the few things the set-up
// needs from whoever plays the run: the machine, a source of random draws and
// a log of the keys a feeder types. The game is one (Game derives from it and
// connects them to its CPU, its recorded draws and its run's key log); a test
// or a tool can connect its own and set a level up without the game.
//
//   LevelRun run;
//   run.machine = &cpu; run.draw = myRand; run.noteKey = [](std::uint8_t) {};
//   setUpLevelRun(run, 7);   // presets, checks, feeder; run.registerCheck(3) ...
#pragma once
#include <cstdint>
#include <functional>

struct Cpu;

// A check's answer for a place it does not compare (a byte 00..FF otherwise).
inline constexpr std::uint16_t NOT_CHECKED = 0xFFFF;
// Random runs a built-in level is judged on before its boundary runs.
inline constexpr std::uint16_t PASSES_TO_COMPLETE = 257;

struct LevelRun {
    // What the set-up leaves: the registers it presets (copied into the
    // machine after the set-up), the feeder's state between steps, and the checks.
    std::uint8_t presetRegisters[16] = {};
    std::uint8_t scratch[16] = {};
    std::function<std::uint16_t(std::uint16_t)> registerCheck;
    std::function<std::uint16_t(std::uint16_t)> memoryCheck;
    // The boundary run in progress (1-based), 0 during the random runs: a
    // boundary run draws nothing, every draw of its set-up and feeder is 0.
    std::uint16_t boundaryRun = 0;

    // Connections, set by whoever plays the run, before the first set-up.
    Cpu* machine = nullptr;                // the machine the run's memory presets and feeders write
    int (*draw)() = nullptr;               // 0 .. 2^31-1, as rand(): the game records them for replay
    void (*noteKey)(std::uint8_t) = nullptr; // a feeder typed this key (a new press)
};
