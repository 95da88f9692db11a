// Setting a level up for one run: save progress, cold-reset the machine,
// reload the last compiled program, draw the level's data and describe it;
// and what follows a judged run (run/run_judging.h): the next run or level.
#include <algorithm>
#include <cstdio>

#include "asm/asm.h"
#include "cpu/cpu.h"
#include "levels/boundary_runs.h"
#include "game/custom_progress.h"
#include "game/game.h"
#include "levels/level_texts.h"
#include "levels/levels.h"
#include "game/panels.h"
#include "run/run_judging.h"
#include "run/run_replay.h"
#include "run/step_history.h"
#include "game/progress_folder.h"
#include "game/run_log.h"
#include "run/level_score.h"
#include "levels/custom_level.h"
#include "shell/logger.h"
#include "shell/messages.h"

void Game::setLEVEL(unsigned short newLevel) { setUpRun(newLevel, 0); }

bool Game::runPasses() const { return haltedRunPasses(*this, cpu); }

void Game::judgeRun() {
    const RunJudgement judgement = judgeHaltedRun();
    switch (judgement.next) {
    case NextRun::None:
        logFailedRun(judgement.mismatches, judgement.withoutHlt);
        return;
    case NextRun::Random:
        setLEVEL(level);
        ++passCount;
        return;
    case NextRun::Boundary:
        setUpBoundaryRun(judgement.boundaryRun);
        ++passCount;
        return;
    case NextRun::Replayed: setLEVEL(level); return;
    case NextRun::Completed: break;
    }
    logLevelCompleted(programSize(program, lineAddress).instructions, levelScore.meanSteps());
    warnUnsavedAtCompletion();
    resetMachine();
    running = 0;
    if (const CustomLevel* custom = customLevelFor(level)) { // a teacher's level starts over, marked 已通过
        markCustomLevelPassed(custom->fileName);
        return;
    }
    enterNextLevel(static_cast<unsigned short>(level + 1));
    // The set-up above clears the reload that resetMachine asked for; ask again
    // so that the next frame starts the new level from a zero pass count.
    levelReloadRequested = 1;
}

void Game::setUpBoundaryRun(unsigned index) { setUpRun(level, index); }

void Game::setUpRun(unsigned short newLevel, unsigned boundary) {
    logger.log(LogKind::FunctionCall, "Game::setLEVEL被调用，参数：leveln=0x%X\n", newLevel);
    if (newLevel != 0) saveProgress(newLevel);
    // Logged from the first frame on (progress_folder.cpp logs the level the game starts in).
    if (newLevel != 0 && newLevel != level && progressFolder != ProgressFolder::Closed) logLevelStart(newLevel);

    beginSetUp();
    registerCheck = nullptr;
    memoryCheck = nullptr;
    expectedSp = SP_NOT_CHECKED;
    level = newLevel;
    editorPanel.useHistoryOf(level); // each level undoes its own edits

    stepHistory.stop(); // the set-up draws live, never from a log
    cpu.reset();
    loadProgram(program);
    levelReloadRequested = 0;
    cpu.halted = 0;
    cpu.stepHook = nullptr;

    std::fill(std::begin(presetRegisters), std::end(presetRegisters), std::uint8_t{0});
    const CustomLevel* custom = customLevelFor(level);
    levelText = custom ? custom->text : levelDescription(level);
    // A boundary run's set-up draws nothing: rand() sees only the random runs.
    const std::vector<BoundaryRun>& given = boundaryRuns(level);
    boundaryRun = static_cast<std::uint16_t>(boundary <= given.size() ? boundary : 0);
    if (boundaryRun) setUpRunFrom(*this, level, given[boundaryRun - 1]);
    else setUpLevelRun(*this, level);
    std::copy(std::begin(presetRegisters), std::end(presetRegisters), cpu.registers);

    levelPanel.clearText();
    panelPrintf(&levelPanel, "%s", levelText.c_str());
    char title[32];
    std::snprintf(title, sizeof title, "关卡说明-第%u关", static_cast<unsigned>(level));
    levelPanel.title = custom ? "关卡说明-" + custom->title : std::string(title);

    judged = 0;
    beginRun();
}
