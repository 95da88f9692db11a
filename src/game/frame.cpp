// One frame of the game: level bookkeeping and judging, the status panels,
// one input record and the drawing, then the CPU, paced to 60 frames a second.
#include <algorithm>
#include <ctime>

#include "cpu/cpu.h"
#include "game/game.h"
#include "game/function_keys.h"
#include "run/level_score.h"
#include "game/panels.h"
#include "run/step_history.h"
#include "run/run_steps.h"
#include "game/progress_folder.h"
#include "shell/messages.h"
#include "shell/logger.h"
#include "console/console_screen.h"

namespace {
constexpr std::uint64_t framePeriodMicros = 16666;
constexpr unsigned fastStepsPerFrame = 4096;
} // namespace

std::uint64_t monotonicMicros() {
    // <chrono> cannot be compiled with the GBK execution character set (its µs literal).
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (static_cast<std::uint64_t>(now.tv_sec) * 1000000000u + static_cast<std::uint64_t>(now.tv_nsec)) / 1000;
}

void Game::update() {
    tendProgressFolder();
    applyBreakpointRequest();
    logger.log(LogKind::FunctionCall, "Game::update被调用");
    updateLEVEL();
    logger.log(LogKind::FunctionCall, "Game::updateMEM被调用\n");
    updateMEM();
    logger.log(LogKind::FunctionCall, "Game::updateREG被调用\n");
    updateREG();
    markEditorLines();
    if (editorPanel.modified) {
        sourceEdited();
        editorPanel.modified = false;
    }
    logger.log(LogKind::FunctionCall, "Game::handleINPUTandDRAW被调用\n");
    handleINPUTandDRAW();
    keepLayout();
    editorPanel.lineColours.clear();
    logger.log(LogKind::FunctionCall, "Game::updateVM被调用\n");
    updateVM();
    paceFrame();
}

void Game::updateLEVEL() {
    logger.log(LogKind::FunctionCall, "Game::updateLEVEL被调用");
    if (levelReloadRequested) {
        levelScore = {};
        setLEVEL(level);
        levelReloadRequested = 0;
        passCount = 0;
        running = 0;
    }
    if (cpu.halted && !judged) judgeRun();
}

void Game::handleINPUTandDRAW() {
    ConsolePlatform& con = console();
    std::uint32_t queued = 0;
    con.GetNumberOfConsoleInputEvents(screen.inputHandle, &queued);
    const ConsoleSize size = visibleConsoleSize();
    if (queued == 0 && !redrawAll) {
        clearFrame(size.width, size.height);
        for (Button& button : buttonBar)
            if (button.visible) button.draw();
        drawProgressMark(nullptr);
        drawAllWindows();
        screen.present();
        return;
    }

    con.SetConsoleMode(screen.inputHandle, readingInputMode(screen.savedInputMode));
    INPUT_RECORD record{};
    std::uint32_t read = 0;
    // A failed read may leave anything in the record: only a record read is acted on.
    const bool haveRecord = con.ReadConsoleInputA(screen.inputHandle, &record, 1, &read) && read == 1;
    clearFrame(size.width, size.height);
    if (haveRecord && record.EventType == MOUSE_EVENT) hoverBarButtons(buttonBar, record.Event.MouseEvent);
    for (Button& button : buttonBar)
        if (button.visible) button.draw();
    drawProgressMark(haveRecord ? &record : nullptr);
    if (haveRecord && !answerChoiceByKey(record) && !answerF10(record) && !runFunctionKey(record)) {
        bringEditorForTypedKey(record);
        deliverInput(record);
        if (record.EventType == KEY_EVENT) takeQueuedEditorKeys();
    }
    drawAllWindows();
    screen.present();
    redrawAll = 0;
}

void Game::updateVM() {
    const std::uint16_t pcBefore = cpu.pc;
    beforeFrameSteps();
    std::uint64_t steps = 0;
    if (running) {
        // With breakpoints, the test follows every step; without, the CPU runs the frame's steps in one batch.
        static bool atBreakpoint;
        atBreakpoint = false;
        const Cpu::StopTest stopAtBreakpoint = [](void* context) {
            Game& self = *static_cast<Game*>(context);
            if (breakpointStops(cpu.pc)) self.running = 0, atBreakpoint = true;
            return !self.running;
        };
        steps = runFrameSteps(fast ? fastStepsPerFrame : 1u, editorPanel.breakpoints.empty() ? nullptr : stopAtBreakpoint, this);
        // Said as 反向运行 says its stops: the step count, then why.
        if (atBreakpoint)
            consolePrintf("运行停在第%llu步：断点行。\n", static_cast<unsigned long long>(stepHistory.steps));
    }
    afterFrameSteps(steps);
    if (cpu.pc != pcBefore) pcMoved = 1;
}

void Game::paceFrame() {
    std::uint64_t t = monotonicMicros();
    if (t - lastFrameMicros < framePeriodMicros) {
        console().Sleep(static_cast<std::uint32_t>((lastFrameMicros + framePeriodMicros - t) / 1000));
        totalSleepMicros += monotonicMicros() - t;
        while (monotonicMicros() < lastFrameMicros + framePeriodMicros) {
        }
    }
    const std::uint64_t now = monotonicMicros();
    frameRate = 1000000 / std::max<std::uint64_t>(now - lastFrameMicros, 1);
    lastFrameMicros = now;
}
