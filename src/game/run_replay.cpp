#include "game/run_replay.h"

#include <algorithm>
#include <cstring>

#include "cpu/cpu.h"
#include "game/failure_report.h"
#include "game/game.h"
#include "game/step_changes.h"

namespace {

void capture(RunSnapshot& s) {
    s.valid = true;
    s.level = game.level;
    s.boundaryRun = game.boundaryRun;
    s.state = captureMachineState();
    s.memory.assign(cpu.memory, cpu.memory + sizeof cpu.memory);
    std::copy(std::begin(game.presetRegisters), std::end(game.presetRegisters), s.presetRegisters);
    s.registerCheck = game.registerCheck;
    s.memoryCheck = game.memoryCheck;
    s.stepHook = cpu.stepHook;
    s.draws.clear();
}

void restore(const RunSnapshot& s) {
    std::memcpy(cpu.memory, s.memory.data(), sizeof cpu.memory);
    restoreMachineState(s.state);
    game.boundaryRun = s.boundaryRun;
    std::copy(std::begin(s.presetRegisters), std::end(s.presetRegisters), game.presetRegisters);
    game.registerCheck = s.registerCheck;
    game.memoryCheck = s.memoryCheck;
    cpu.stepHook = s.stepHook;
}

void resetLevelKeys() {
    runReplay.levelKeys.clear();
    runReplay.levelKeys.reserve(REPORTED_LEVEL_KEYS);
    runReplay.levelKeysKnown = true;
    runReplay.levelKeysCut = false;
}

} // namespace

void noteLevelKey(std::uint8_t key) {
    if (runReplay.levelKeys.size() < REPORTED_LEVEL_KEYS) runReplay.levelKeys.push_back(key);
    else runReplay.levelKeysCut = true;
}

void forgetLevelKeys() { runReplay.levelKeysKnown = false; }

void beginRun() {
    if (runReplay.failed.valid && runReplay.failed.level != game.level) forgetFailedRun();
    capture(runReplay.current);
    runReplay.notHaltingReported = false;
    resetLevelKeys();
    clearFailureMarks();
    clearStepChanges();
    stepHistory.begin();
}

void keepFailedRun() {
    // The feeders' draws up to the halt (the history keeps them for stepping
    // back too), when the log still starts at the run's start.
    std::vector<int> draws;
    if (stepHistory.drawBase == 0)
        draws.assign(stepHistory.draws.begin(),
                     stepHistory.draws.begin() + static_cast<std::ptrdiff_t>(stepHistory.drawCursor));
    runReplay.failed = runReplay.current;
    runReplay.failed.draws = std::move(draws);
}

void forgetFailedRun() {
    runReplay.failed = RunSnapshot{};
}

void replayRun() {
    // A set-up is pending (compile, edit, reset): it decides the next run.
    if (levelReloadRequested) return;
    const RunSnapshot& from = runReplay.failed.valid ? runReplay.failed : runReplay.current;
    if (!from.valid || from.level != game.level) return;
    restore(from);
    // Before any failure the current run's own draws so far replay it exactly.
    std::vector<int> draws = runReplay.failed.valid ? from.draws
                             : stepHistory.drawBase == 0 ? stepHistory.draws
                                                         : std::vector<int>{};
    if (&from == &runReplay.failed) {
        runReplay.current = runReplay.failed;
        runReplay.current.draws.clear();
    }
    game.judged = 0;
    game.running = 0;
    runReplay.notHaltingReported = false;
    resetLevelKeys();
    clearFailureMarks();
    clearStepChanges();
    stepHistory.begin(std::move(draws));
}
