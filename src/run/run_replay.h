// A run's test data, kept so that 重放 (replay) can set the failing run up
// again: the machine right after the level's set-up (memory, registers, the
// loaded program), the level's presets, run state, checks and feeder, and the
// rand() results the feeders drew while the run went on.
//
//   beginSetUp();      // start of every set-up: its draws are kept from here
//   beginRun();        // end of every set-up: keeps this run's start
//   keepFailedRun();   // on a failed judging
//   replayRun();       // 重放: the failed run, or else the current one, from its start
//
// The failed run is kept across edits, compiles and resets until a run passes
// or the level changes: after a compile 重放 sets the level up again for the
// new program from the failed run's own set-up draws, so the fix is tried on
// exactly the input that failed. A pass of a replayed run counts for nothing.
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
    std::vector<int> setUpDraws;       // the set-up's rand() results, in order
    std::vector<std::uint8_t> program; // the program the run was set up with
    unsigned checkNumber = 0;          // 第N次检验 (the failed run)
};

inline constexpr std::size_t REPORTED_LEVEL_KEYS = 64;

struct RunReplay {
    RunSnapshot current; // the run in progress, as its set-up left it
    RunSnapshot failed;  // the last failed run, until a run passes or the level changes
    bool notHaltingReported = false;
    // The keys the level's feeder typed in this run, for the failure report;
    // not known after a step back (the steps run again would repeat them).
    std::vector<std::uint8_t> levelKeys;
    bool levelKeysKnown = true;
    bool levelKeysCut = false; // more than REPORTED_LEVEL_KEYS
    // The run in progress replays the failed run's input: its pass is not counted.
    bool replaying = false;
    // The set-up in progress records its draws here, or takes them from setUpSource.
    bool settingUp = false;
    std::vector<int> setUpDraws;
    std::vector<int> setUpSource;
    std::size_t setUpSourceUsed = 0;
    // Sets the level's run `boundaryRun` (0: a random one) up again on the
    // current program; false (said in the console) when there is none to run.
    bool (*setUpAgain)(std::uint16_t boundaryRun) = nullptr;
};

extern RunReplay runReplay;

void beginSetUp();
void beginRun();
void keepFailedRun();
void forgetFailedRun();
// The number of the random run in progress, as 第N次检验 (a replay: the failed run's).
unsigned checkNumberOfRun();
void replayRun();
// A feeder typed `key` (a new press, not the same key held).
void noteLevelKey(std::uint8_t key);
void forgetLevelKeys();
// The machine's draws: a feeder's during the run (recorded for stepping back),
// the set-up's before it (kept with the run, or replayed from a failed one).
int runDraw();
