#include "run/run_steps.h"

#include <algorithm>

#include "cpu/cpu.h"
#include "run/run_state.h"
#include "run/run_replay.h"
#include "run/step_changes.h"
#include "run/step_history.h"
#include "run/watches.h"
#include "shell/messages.h"

namespace {

void reportNotHalting() {
    if (!runReplay.notHaltingReported && stepHistory.steps >= NOT_HALTING_STEPS && !cpu.halted) {
        runReplay.notHaltingReported = true;
        if (currentRun.boundaryRun)
            consolePrintf("边界检验已执行%llu步仍未停机：\n程序可能陷入死循环。\n",
                          static_cast<unsigned long long>(NOT_HALTING_STEPS));
        else
            consolePrintf("第%u次检验已执行%llu步仍未停机：\n程序可能陷入死循环。\n", currentRun.passCount + 1u,
                          static_cast<unsigned long long>(NOT_HALTING_STEPS));
    }
}

} // namespace

void beforeFrameSteps() {
    if (!currentRun.running || cpu.halted) return;
    if (currentRun.fast) clearStepChanges();
    else watchStepBegin();
}

std::uint64_t runFrameSteps(std::uint64_t count, Cpu::StopTest stop, void* context) {
    cpu.watchpoints = armWatches();
    std::uint64_t done = 0;
    bool hit = false;
    while (done < count && !cpu.halted && !hit) {
        const std::uint64_t batch = std::min(count - done, stepHistory.stepsToNextKey());
        const std::uint64_t ran = cpu.run(batch, stop, context);
        hit = cpu.watchpoints && cpu.watchpoints->hit;
        done += ran;
        stepHistory.advance(ran);
        if (ran < batch) break;
    }
    cpu.watchpoints = nullptr;
    if (hit) {
        currentRun.running = 0;
        reportWatchStop(stepHistory.steps);
    }
    return done;
}

void afterFrameSteps(std::uint64_t steps) {
    if (steps > 0) watchStepEnd();
    stepChanges.watching = false;
    reportNotHalting();
}

void stepForwardOnce() {
    currentRun.running = 0;
    if (cpu.halted) return;
    watchStepBegin();
    cpu.step();
    watchStepEnd();
    stepHistory.advance(1);
    reportNotHalting();
}

void stepBackOnce() {
    currentRun.running = 0;
    forgetLevelKeys(); // the steps run again type their keys again
    watchStepBegin();
    if (stepHistory.stepBack()) watchStepEnd();
    stepChanges.watching = false;
}
