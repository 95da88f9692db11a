#include "game/run_steps.h"

#include "cpu/cpu.h"
#include "game/game.h"
#include "game/run_replay.h"
#include "game/step_changes.h"
#include "game/step_history.h"
#include "shell/messages.h"

namespace {

void countSteps(std::uint64_t steps) {
    stepHistory.advance(steps);
    if (!runReplay.notHaltingReported && stepHistory.steps >= NOT_HALTING_STEPS && !cpu.halted) {
        runReplay.notHaltingReported = true;
        if (game.boundaryRun)
            consolePrintf("边界检验已执行%llu步仍未停机：\n程序可能陷入死循环。\n",
                          static_cast<unsigned long long>(NOT_HALTING_STEPS));
        else
            consolePrintf("第%u次检验已执行%llu步仍未停机：\n程序可能陷入死循环。\n", game.passCount + 1u,
                          static_cast<unsigned long long>(NOT_HALTING_STEPS));
    }
}

} // namespace

void beforeFrameSteps() {
    if (!game.running || cpu.halted) return;
    if (game.fast) clearStepChanges();
    else watchStepBegin();
}

void afterFrameSteps(std::uint64_t steps) {
    if (steps > 0) watchStepEnd();
    stepChanges.watching = false;
    countSteps(steps);
}

void stepForwardOnce() {
    game.running = 0;
    if (cpu.halted) return;
    watchStepBegin();
    cpu.step();
    watchStepEnd();
    countSteps(1);
}

void stepBackOnce() {
    game.running = 0;
    forgetLevelKeys(); // the steps run again type their keys again
    watchStepBegin();
    if (stepHistory.stepBack()) watchStepEnd();
    stepChanges.watching = false;
}
