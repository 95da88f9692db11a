#include "run/run_replay.h"

#include <algorithm>
#include <cstring>

#include "cpu/cpu.h"
#include "run/failure_report.h"
#include "run/run_state.h"
#include "run/step_changes.h"

namespace {

void capture(RunSnapshot& s) {
    s.valid = true;
    s.level = currentRun.level;
    s.boundaryRun = currentRun.boundaryRun;
    s.state = captureMachineState();
    s.memory.assign(cpu.memory, cpu.memory + sizeof cpu.memory);
    std::copy(std::begin(currentRun.presetRegisters), std::end(currentRun.presetRegisters), s.presetRegisters);
    s.registerCheck = currentRun.registerCheck;
    s.memoryCheck = currentRun.memoryCheck;
    s.stepHook = cpu.stepHook;
    s.draws.clear();
}

void restore(const RunSnapshot& s) {
    std::memcpy(cpu.memory, s.memory.data(), sizeof cpu.memory);
    restoreMachineState(s.state);
    currentRun.boundaryRun = s.boundaryRun;
    std::copy(std::begin(s.presetRegisters), std::end(s.presetRegisters), currentRun.presetRegisters);
    currentRun.registerCheck = s.registerCheck;
    currentRun.memoryCheck = s.memoryCheck;
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
    if (runReplay.failed.valid && runReplay.failed.level != currentRun.level) forgetFailedRun();
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
    if (!from.valid || from.level != currentRun.level) return;
    restore(from);
    // Before any failure the current run's own draws so far replay it exactly.
    std::vector<int> draws = runReplay.failed.valid ? from.draws
                             : stepHistory.drawBase == 0 ? stepHistory.draws
                                                         : std::vector<int>{};
    if (&from == &runReplay.failed) {
        runReplay.current = runReplay.failed;
        runReplay.current.draws.clear();
    }
    currentRun.judged = 0;
    currentRun.running = 0;
    runReplay.notHaltingReported = false;
    resetLevelKeys();
    clearFailureMarks();
    clearStepChanges();
    stepHistory.begin(std::move(draws));
}
