// Judging a halted run: a halt that is not HLT fails, so does any check that
// finds the wrong byte. Passes count up to the level's 257 random runs, then
// its boundary runs (boundary_runs.h) follow; the last of them completes it.
#include "cpu/cpu.h"
#include "game/boundary_runs.h"
#include "game/failure_report.h"
#include "game/game.h"
#include "game/run_mismatches.h"
#include "game/run_replay.h"
#include "shell/messages.h"

bool Game::runPasses() const { return !cpu.haltedOnInvalidWord && findRunMismatches(*this, cpu).empty(); }

void Game::judgeRun() {
    judged = 1;
    const bool withoutHlt = cpu.haltedOnInvalidWord != 0;
    const std::vector<RunMismatch> mismatches =
        withoutHlt ? std::vector<RunMismatch>{} : findRunMismatches(*this, cpu);
    if (withoutHlt || !mismatches.empty()) {
        reportFailedRun(mismatches, withoutHlt);
        keepFailedRun();
        passCount = 0;
        running = 0;
        fast = 0;
        return;
    }
    if (passCount < PASSES_TO_COMPLETE - 1) {
        setLEVEL(level);
        ++passCount;
        return;
    }
    // After the 257th random pass come the boundary runs, one per further pass.
    const std::size_t boundaryCount = boundaryRuns(level).size();
    const unsigned nextBoundary = passCount - (PASSES_TO_COMPLETE - 1) + 1u;
    if (nextBoundary <= boundaryCount) {
        if (nextBoundary == 1)
            consolePrintf("随机检验全部通过，接下来是%zu次边界检验。\n", boundaryCount);
        setUpBoundaryRun(nextBoundary);
        ++passCount;
        return;
    }
    const unsigned short next = static_cast<unsigned short>(level + 1);
    consolePrintf("恭喜通过第%u关！\n", static_cast<unsigned>(level));
    consolePrintf("接下来：第%u关。请阅读关卡说明，\n修改代码后重新编译。\n", static_cast<unsigned>(next));
    resetMachine();
    running = 0;
    enterNextLevel(next);
    // The set-up above clears the reload that resetMachine asked for; ask again
    // so that the next frame starts the new level from a zero pass count.
    levelReloadRequested = 1;
}
