// Judging a halted run: a halt that is not HLT fails, so does any check that
// finds the wrong byte. Passes count up to the level's random runs (257, or a
// teacher's level's own number), then
// its boundary runs (boundary_runs.h) follow; the last of them completes it.
#include "asm/asm.h"
#include "cpu/cpu.h"
#include "levels/boundary_runs.h"
#include "game/failure_report.h"
#include "game/game.h"
#include "game/level_score.h"
#include "game/run_mismatches.h"
#include "game/progress_folder.h"
#include "game/run_log.h"
#include "game/run_replay.h"
#include "game/step_history.h"
#include "levels/custom_level.h"
#include "shell/messages.h"

bool Game::runPasses() const { return !cpu.haltedOnInvalidWord && findRunMismatches(*this, cpu).empty(); }

void Game::judgeRun() {
    judged = 1;
    const bool withoutHlt = cpu.haltedOnInvalidWord != 0;
    const std::vector<RunMismatch> mismatches =
        withoutHlt ? std::vector<RunMismatch>{} : findRunMismatches(*this, cpu);
    if (withoutHlt || !mismatches.empty()) {
        reportFailedRun(mismatches, withoutHlt);
        logFailedRun(mismatches, withoutHlt);
        keepFailedRun();
        passCount = 0;
        running = 0;
        fast = 0;
        return;
    }
    levelScore.add(stepHistory.steps);
    const unsigned randomPasses = randomRuns(level);
    if (passCount < randomPasses - 1) {
        setLEVEL(level);
        ++passCount;
        return;
    }
    // After the last random pass come the boundary runs, one per further pass.
    const std::size_t boundaryCount = boundaryRuns(level).size();
    const unsigned nextBoundary = passCount - (randomPasses - 1) + 1u;
    if (nextBoundary <= boundaryCount) {
        if (nextBoundary == 1)
            consolePrintf("随机检验全部通过，接下来是%zu次边界检验。\n", boundaryCount);
        setUpBoundaryRun(nextBoundary);
        ++passCount;
        return;
    }
    levelScore.completed = true;
    const CustomLevel* custom = customLevelFor(level);
    if (custom) consolePrintf("恭喜通过「%s」！\n", custom->title.c_str());
    else consolePrintf("恭喜通过第%u关！\n", static_cast<unsigned>(level));
    // The mean as the judge reports it, without a trailing ".0" (the console is 36 columns wide).
    const double mean = levelScore.meanSteps();
    consolePrintf(mean == static_cast<double>(static_cast<std::uint64_t>(mean)) ? "你的程序：%zu条指令，平均每次检验%.0f步。\n"
                                                                               : "你的程序：%zu条指令，平均每次检验%.1f步。\n",
                  programSize(program, lineAddress).instructions, mean);
    logLevelCompleted(programSize(program, lineAddress).instructions, mean);
    warnUnsavedAtCompletion();
    if (custom) { // a teacher's level has no next level: it starts over
        resetMachine();
        running = 0;
        return;
    }
    const unsigned short next = static_cast<unsigned short>(level + 1);
    consolePrintf("接下来：第%u关。请阅读关卡说明，\n修改代码后重新编译。\n", static_cast<unsigned>(next));
    resetMachine();
    running = 0;
    enterNextLevel(next);
    // The set-up above clears the reload that resetMachine asked for; ask again
    // so that the next frame starts the new level from a zero pass count.
    levelReloadRequested = 1;
}
