// A run's test data, kept so that 重放 (replay) can set the failing run up
// again: the machine right after the level's set-up (memory, registers, the
// loaded program), the level's presets, run state, checks and feeder, and the
// rand() results the feeders drew while the run went on.
//
//   beginRun();        // end of every set-up: keeps this run's start
//   keepFailedRun();   // on a failed judging
//   replayRun();       // 重放: the failed run, or else the current one, from its start
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "run/step_history.h"

struct RunSnapshot {
    bool valid = false;
    std::uint16_t level = 0;
    std::uint16_t boundaryRun = 0;
    MachineState state{};
    std::vector<std::uint8_t> memory; // all 64 KiB
    std::uint8_t presetRegisters[16] = {};
    std::function<std::uint16_t(std::uint16_t)> registerCheck;
    std::function<std::uint16_t(std::uint16_t)> memoryCheck;
    std::function<void()> stepHook;
    std::vector<int> draws; // the run's rand() results, in order (failed runs only)
};

inline constexpr std::size_t REPORTED_LEVEL_KEYS = 64;

struct RunReplay {
    RunSnapshot current; // the run in progress, as its set-up left it
    RunSnapshot failed;  // the last failed run, until compile, edit, reset or level change
    bool notHaltingReported = false;
    // The keys the level's feeder typed in this run, for the failure report;
    // not known after a step back (the steps run again would repeat them).
    std::vector<std::uint8_t> levelKeys;
    bool levelKeysKnown = true;
    bool levelKeysCut = false; // more than REPORTED_LEVEL_KEYS
};

extern RunReplay runReplay;

void beginRun();
void keepFailedRun();
void forgetFailedRun();
void replayRun();
// A feeder typed `key` (a new press, not the same key held).
void noteLevelKey(std::uint8_t key);
void forgetLevelKeys();
