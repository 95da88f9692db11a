#include "run/run_judging.h"

#include "asm/asm.h"
#include "cpu/cpu.h"
#include "levels/boundary_runs.h"
#include "levels/custom_level.h"
#include "levels/levels.h"
#include "run/failure_report.h"
#include "run/level_score.h"
#include "run/run_mismatches.h"
#include "run/run_replay.h"
#include "run/run_state.h"
#include "run/step_history.h"
#include "shell/messages.h"

bool haltedRunPasses(const RunState& run, const Cpu& machine) {
    return !machine.haltedOnInvalidWord && findRunMismatches(run, machine).empty();
}

void failRunOverStepLimit() {
    RunState& run = currentRun;
    run.judged = 1;
    keepFailedRun();
    run.passCount = 0;
    run.running = 0;
    run.fast = 0;
}

RunJudgement judgeHaltedRun() {
    RunState& run = currentRun;
    run.judged = 1;
    printHaltLesson(run, run.level);
    const bool withoutHlt = cpu.haltedOnInvalidWord != 0;
    const std::vector<RunMismatch> mismatches =
        withoutHlt ? std::vector<RunMismatch>{} : findRunMismatches(run, cpu);
    if (withoutHlt || !mismatches.empty()) {
        reportFailedRun(mismatches, withoutHlt);
        keepFailedRun();
        // 快速 would race past the next failure: every failure goes back to 慢速.
        if (run.fast) consolePrintf("已切回慢速，按F4切换。\n");
        consolePrintf("F8重放这组输入，F5/F7换新数据。\n");
        run.passCount = 0;
        run.running = 0;
        run.fast = 0;
        return {NextRun::None, 0, mismatches, withoutHlt};
    }
    // Any pass ends the hunt for that failure; a replayed one counts for nothing.
    if (runReplay.failed.valid) forgetFailedRun();
    if (runReplay.replaying) {
        consolePrintf("重放的输入通过了（不计入%u次）。\n按F5用新数据继续检验。\n", randomRuns(run.level));
        run.running = 0;
        return {NextRun::Replayed, 0, {}, false};
    }
    levelScore.add(stepHistory.steps);
    const unsigned randomPasses = randomRuns(run.level);
    if (run.passCount < randomPasses - 1) return {NextRun::Random, 0, {}, false};
    // After the last random pass come the boundary runs, one per further pass.
    const std::size_t boundaryCount = boundaryRuns(run.level).size();
    const unsigned nextBoundary = run.passCount - (randomPasses - 1) + 1u;
    if (nextBoundary <= boundaryCount) {
        if (nextBoundary == 1)
            consolePrintf("随机检验全部通过，接下来是%zu次边界检验。\n", boundaryCount);
        return {NextRun::Boundary, nextBoundary, {}, false};
    }
    levelScore.completed = true;
    const CustomLevel* custom = customLevelFor(run.level);
    if (custom) consolePrintf("恭喜通过「%s」！\n", custom->title.c_str());
    else consolePrintf("恭喜通过第%u关！\n", static_cast<unsigned>(run.level));
    // The mean as the judge reports it, without a trailing ".0" (the console is 36 columns wide).
    const double mean = levelScore.meanSteps();
    consolePrintf(mean == static_cast<double>(static_cast<std::uint64_t>(mean)) ? "你的程序：%zu条指令，平均每次检验%.0f步。\n"
                                                                               : "你的程序：%zu条指令，平均每次检验%.1f步。\n",
                  programSize(run.program, run.lineAddress).instructions, mean);
    // A teacher's level has no next level: it starts over.
    if (!custom)
        consolePrintf("接下来：第%u关。请阅读关卡说明，\n修改代码后重新编译。\n", static_cast<unsigned>(run.level + 1));
    return {NextRun::Completed, 0, {}, false};
}
