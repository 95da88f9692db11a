// The Game's construction: the CPU control buttons, the button bar, the
// keyboard panel's handler, the start-up choice. Also the machine reset that
// compile, 重置, edits and level changes all go through.
#include <algorithm>
#include <cstring>

#include "asm/asm.h"
#include "cpu/cpu.h"
#include "game/cpu_control.h"
#include "game/game.h"
#include "game/level_select.h"
#include "game/memory_view.h"
#include "game/panels.h"
#include "run/reverse_run.h"
#include "run/run_replay.h"
#include "run/run_steps.h"
#include "run/step_history.h"
#include "game/watch_clicks.h"
#include "run/watches.h"
#include "game/progress_folder.h"
#include "shell/manual_view.h"
#include "shell/messages.h"
#include "ui/panel_scroll.h"

std::uint8_t levelReloadRequested = 1;

namespace {

bool lastMouseUp() { return (lastMouse.dwButtonState & FROM_LEFT_1ST_BUTTON_PRESSED) == 0; }

struct ControlButton {
    const char* text;
    std::int64_t x, y;
    void (*action)();
};
// The CPU control panel's grid of 4 x 1 buttons, three to a row; the speed
// and the step count below them.
constexpr ControlButton controlButtons[] = {
    {"编译", 0, 0, compileProgram}, {"运行", 5, 0, runProgram},   {"暂停", 10, 0, pauseRun},
    {"步进", 0, 1, stepIfCompiled}, {"回退", 5, 1, stepBack},      {"重放", 10, 1, replayRun},
    {"快速", 0, 2, [] { game.fast = 1; }}, {"慢速", 5, 2, [] { game.fast = 0; }}, {"重置", 10, 2, resetMachine},
    // Below the step count: running backwards and its toggle, once per press.
    {"反向运行", 0, 5, [] { if (lastMouseUp()) runBackwards(); }},
    {"中断处停:关", 0, 6, [] { if (lastMouseUp()) toggleInterruptStop(); }},
};
constexpr std::int64_t speedRow = 3;

// A bar action runs for every mouse record while the button is held over it;
// a request is only made by the press itself.
bool freshPress() { return lastMouseUp(); }

// Key-down records typed once (not auto-repeated in one record) reach the CPU.
void keyboardToCpu(INPUT_RECORD record) {
    if (record.EventType != KEY_EVENT) return;
    const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
    if (key.wRepeatCount != 1 || !key.bKeyDown) return;
    cpu.pendingKey = static_cast<std::uint8_t>(key.wVirtualKeyCode);
    stepHistory.noteKey(cpu.pendingKey);
    noticeKeyOnFeederLevel();
}

} // namespace

namespace {
// After a judged halt (a failed check) 运行 and 步进 start a fresh run on new
// data, as 重置 and 编译 would, keeping the program and the failed run for 重放.
void freshRunAfterJudgedHalt() {
    if (cpu.halted && game.judged && game.compileState == CompileState::Compiled) game.setLEVEL(game.level);
}

// 重放 on another program than the failed run's: the level is set up again for it.
bool setUpForReplay(std::uint16_t boundaryRun) {
    if (refuseUncompiledRun()) return false;
    game.setUpRun(game.level, boundaryRun);
    return true;
}
} // namespace

void runProgram() {
    if (refuseUncompiledRun()) return;
    freshRunAfterJudgedHalt();
    game.running = 1;
}

void pauseRun() { game.running = 0; }

// A step always stops a run; it runs nothing until the text compiles.
void stepIfCompiled() {
    game.running = 0;
    const std::uint16_t pcBefore = cpu.pc;
    if (!refuseUncompiledRun()) {
        freshRunAfterJudgedHalt();
        stepForwardOnce();
    }
    if (cpu.pc != pcBefore) game.pcMoved = 1;
}

// The caret follows the PC back as it follows it forward.
void stepBack() {
    const std::uint16_t pcBefore = cpu.pc;
    stepBackOnce();
    if (cpu.pc != pcBefore) game.pcMoved = 1;
}

void toggleSpeed() { game.fast = !game.fast; }

const char* speedText() { return game.fast ? "速度：快速" : "速度：慢速"; }

Game::Game() {
    redrawAll = 1;
    lastFrameMicros = monotonicMicros();
    totalSleepMicros = 0;
    frameRate = 0;
    // The levels set a run up on the game's machine, with its recorded draws and key log.
    machine = &cpu;
    draw = runDraw;
    runReplay.setUpAgain = setUpForReplay;
    noteKey = noteLevelKey;

    for (const ControlButton& b : controlButtons) {
        const auto width = static_cast<std::int64_t>(std::strlen(b.text));
        cpuControlPanel.buttons.push_back(Button(b.x, b.y, width, 1, b.text, cpuControlPanel.x, cpuControlPanel.y));
        cpuControlPanel.buttons.back().action = b.action;
    }
    cpuControlPanel.drawHooks.push_back([] {
        cpuControlPanel.setCursor(0, speedRow);
        panelPrintf(&cpuControlPanel, "%s", speedText());
    });

    auto toggle = [](window& panel) { return [&panel] { panel.toggle(); }; };
    addButton(buttonBar, toggle(editorPanel), "汇编代码编辑器");
    addButton(buttonBar, toggle(registerPanel), "寄存器");
    addButton(buttonBar, toggle(memoryPanel), "内存");
    addButton(buttonBar, toggle(stackPanel), "栈");
    addButton(buttonBar, toggle(interruptPanel), "中断表");
    addButton(buttonBar, toggle(screenPanel), "屏幕");
    addButton(buttonBar, toggle(keyboardPanel), "键盘");
    keyboardPanel.inputHandlers.push_back(keyboardToCpu);
    keyboardPanel.ownsKey = ownsEveryKey;
    choicePanel.ownsKey = ownsEveryKey; // the dialog waits for its answer
    addButton(buttonBar, toggle(cpuControlPanel), "CPU控制");
    addButton(buttonBar, toggle(levelPanel), "关卡说明");
    addButton(buttonBar, toggle(consolePanel), "控制台");
    addButton(buttonBar, toggle(perfPanel), "性能");
    perfPanel.hide();
    addButton(buttonBar, [this] { if (freshPress()) breakpointRequest = 1; }, "断点");
    // The manual has a button of its own after the twelve panel buttons.
    addButton(buttonBar, toggle(guidePanel), "说明书");
    installManualView(guidePanel);
    addButton(buttonBar, [] { if (freshPress()) openLevelList(); }, "选关");
    installLevelList();
    choicePanel.hide();
    levelListPanel.hide();
    // Behind the start-up question the game waits in level 0, whose text is
    // a secret: the level panel asks for the answer instead.
    levelPanel.drawHooks.push_back([] {
        if (startupQuestionOpen()) levelPanel.title = "关卡说明";
    });
    installTextScroll(levelPanel, [this]() -> const std::string& {
        static const std::string waiting = "请先回答对话框：继续上次的关卡，还是从第1关开始。";
        return startupQuestionOpen() ? waiting : levelText;
    });
    installMemoryScroll();
    installWatchClicks();
    arrangeDefaultLayout();
    restoreLayout();

    // Only reads: nothing is written before the first frame (progress_folder.cpp).
    startupChoice();
    editorPanel.setText("");
}

Game::~Game() { closeProgressFolder(); }

void resetMachine() {
    levelReloadRequested = 1;
    game.judged = 0;
    cpu.reset();
    game.lineAddress.clear();
    game.compileErrors.clear();
    game.program.clear();
    game.compileState = CompileState::NotCompiled;
    // The failed run stays for 重放 after the fix: only a pass or a level change forgets it.
    stepHistory.stop();
}
