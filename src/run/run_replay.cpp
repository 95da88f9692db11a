#include "run/run_replay.h"

#include <algorithm>
#include <cstring>

#include "cpu/cpu.h"
#include "run/failure_report.h"
#include "run/run_state.h"
#include "run/step_changes.h"
#include "shell/messages.h"

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
    s.setUpDraws = runReplay.setUpDraws;
    s.program = currentRun.program;
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

int runDraw() {
    RunReplay& r = runReplay;
    if (!r.settingUp) return runRand();
    const int value = r.setUpSourceUsed < r.setUpSource.size() ? r.setUpSource[r.setUpSourceUsed++] : runRand();
    r.setUpDraws.push_back(value);
    return value;
}

void beginSetUp() {
    runReplay.setUpDraws.clear();
    runReplay.settingUp = true;
}

void beginRun() {
    runReplay.settingUp = false;
    if (runReplay.failed.valid && runReplay.failed.level != currentRun.level) forgetFailedRun();
    capture(runReplay.current);
    runReplay.replaying = false;
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
    const unsigned checkNumber = checkNumberOfRun();
    runReplay.failed = runReplay.current;
    runReplay.failed.draws = std::move(draws);
    runReplay.failed.checkNumber = checkNumber;
}

unsigned checkNumberOfRun() {
    return runReplay.replaying ? runReplay.current.checkNumber : currentRun.passCount + 1u;
}

void forgetFailedRun() {
    runReplay.failed = RunSnapshot{};
}

namespace {
// "重放第3次检验的输入（R1=FF R2=00）。"
void announceReplay(const RunSnapshot& failed) {
    const std::string inputs = registerInputsText(failed.level, failed.presetRegisters);
    if (failed.boundaryRun) consolePrintf("重放第%u次边界检验的输入", static_cast<unsigned>(failed.boundaryRun));
    else consolePrintf("重放第%u次检验的输入", failed.checkNumber);
    consolePrintf(inputs.empty() ? "。\n" : "（%s）。\n", inputs.c_str());
}

// The failed run's input on a program other than the one it failed with:
// the level is set up again from the failed run's set-up draws.
bool setUpFailedInputAgain() {
    RunReplay& r = runReplay;
    if (!r.setUpAgain) return false;
    const RunSnapshot failed = r.failed;
    r.setUpSource = failed.setUpDraws;
    r.setUpSourceUsed = 0;
    const bool ready = r.setUpAgain(failed.boundaryRun);
    r.setUpSource.clear();
    r.setUpSourceUsed = 0;
    if (!ready) return false;
    r.current.checkNumber = failed.checkNumber;
    r.failed.program = currentRun.program;
    stepHistory.begin(failed.draws);
    return true;
}
} // namespace

void replayRun() {
    // A set-up is pending (compile, edit, reset): it decides the next run.
    if (levelReloadRequested) return;
    if (runReplay.failed.valid && runReplay.failed.level == currentRun.level &&
        runReplay.failed.program != currentRun.program) {
        if (!setUpFailedInputAgain()) return;
        announceReplay(runReplay.failed);
        currentRun.judged = 0;
        currentRun.running = 0;
        runReplay.replaying = true;
        return;
    }
    const RunSnapshot& from = runReplay.failed.valid ? runReplay.failed : runReplay.current;
    if (!from.valid || from.level != currentRun.level) return;
    restore(from);
    // Before any failure the current run's own draws so far replay it exactly.
    std::vector<int> draws = runReplay.failed.valid ? from.draws
                             : stepHistory.drawBase == 0 ? stepHistory.draws
                                                         : std::vector<int>{};
    const bool failedRun = &from == &runReplay.failed;
    if (failedRun) {
        runReplay.current = runReplay.failed;
        runReplay.current.draws.clear();
        announceReplay(runReplay.failed);
    }
    currentRun.judged = 0;
    currentRun.running = 0;
    runReplay.replaying = failedRun;
    runReplay.notHaltingReported = false;
    resetLevelKeys();
    clearFailureMarks();
    clearStepChanges();
    stepHistory.begin(std::move(draws));
}
