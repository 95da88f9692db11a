// The Game's construction: the CPU control buttons, the button bar, the
// keyboard panel's handler, the start-up choice. Also the machine reset that
// compile, 重置, edits and level changes all go through.
#include <algorithm>
#include <cstring>

#include "asm/asm.h"
#include "cpu/cpu.h"
#include "game/game.h"
#include "game/memory_view.h"
#include "game/panels.h"
#include "game/run_replay.h"
#include "game/reverse_run.h"
#include "game/run_steps.h"
#include "game/step_history.h"
#include "game/watches.h"
#include "shell/manual_view.h"
#include "ui/panel_scroll.h"

std::uint8_t levelReloadRequested = 1;

namespace {

struct ControlButton {
    const char* text;
    std::int64_t x, y;
};
// The CPU control panel's two-column grid of 4 x 1 buttons, then the wide ones.
constexpr ControlButton controlButtons[] = {
    {"重置", 0, 0}, {"编译", 5, 0}, {"运行", 0, 1}, {"步进", 5, 1}, {"快速", 0, 2}, {"慢速", 5, 2},
    {"重放", 0, 3}, {"回退", 5, 3}, {"反向运行", 0, 4}, {"中断处停:关", 0, 5},
};

// 步进 (and F7) runs nothing until the text compiles; a step always stops a run.
void stepIfCompiled() {
    game.running = 0;
    const std::uint16_t pcBefore = cpu.pc;
    if (!refuseUncompiledRun()) stepForwardOnce();
    if (cpu.pc != pcBefore) game.pcMoved = 1;
}

// 回退 and Shift+F7: the caret follows the PC back as it follows it forward.
void stepBack() {
    const std::uint16_t pcBefore = cpu.pc;
    stepBackOnce();
    if (cpu.pc != pcBefore) game.pcMoved = 1;
}

// With the CPU control panel in front, F7 steps, Shift+F7 steps back and Shift+F5 runs backwards.
void stepKeys(INPUT_RECORD record) {
    if (record.EventType != KEY_EVENT) return;
    const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
    if (key.bKeyDown && key.wVirtualKeyCode == VK_F1 + 4 && (key.dwControlKeyState & SHIFT_PRESSED)) runBackwards();
    if (!key.bKeyDown || key.wVirtualKeyCode != VK_F1 + 6) return;
    if (key.dwControlKeyState & SHIFT_PRESSED) stepBack();
    else stepIfCompiled();
}

// A bar action runs for every mouse record while the button is held over it;
// a request is only made by the press itself.
bool freshPress() { return (lastMouse.dwButtonState & FROM_LEFT_1ST_BUTTON_PRESSED) == 0; }

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

Game::Game() {
    redrawAll = 1;
    lastFrameMicros = monotonicMicros();
    totalSleepMicros = 0;
    frameRate = 0;

    const std::function<void()> controlActions[] = {
        resetMachine,
        compileProgram,
        [this] {
            if (!refuseUncompiledRun()) running = 1;
        },
        stepIfCompiled,
        [this] { fast = 1; },
        [this] { fast = 0; },
        replayRun,
        stepBack,
        [] { if (freshPress()) runBackwards(); },
        [] { if (freshPress()) toggleInterruptStop(); },
    };
    for (std::size_t i = 0; i < std::size(controlButtons); ++i) {
        const ControlButton& b = controlButtons[i];
        const auto width = static_cast<std::int64_t>(std::strlen(b.text));
        cpuControlPanel.buttons.push_back(Button(b.x, b.y, width, 1, b.text, cpuControlPanel.x, cpuControlPanel.y));
        cpuControlPanel.buttons.back().action = controlActions[i];
    }
    cpuControlPanel.inputHandlers.push_back(stepKeys);

    auto toggle = [](window& panel) { return [&panel] { panel.toggle(); }; };
    addButton(buttonBar, toggle(editorPanel), "汇编代码编辑器");
    addButton(buttonBar, toggle(registerPanel), "寄存器");
    addButton(buttonBar, toggle(memoryPanel), "内存");
    addButton(buttonBar, toggle(stackPanel), "栈");
    addButton(buttonBar, toggle(interruptPanel), "中断表");
    addButton(buttonBar, toggle(screenPanel), "屏幕");
    addButton(buttonBar, toggle(keyboardPanel), "键盘");
    keyboardPanel.inputHandlers.push_back(keyboardToCpu);
    addButton(buttonBar, toggle(cpuControlPanel), "CPU控制");
    addButton(buttonBar, toggle(levelPanel), "关卡说明");
    addButton(buttonBar, toggle(consolePanel), "控制台");
    addButton(buttonBar, toggle(perfPanel), "性能");
    perfPanel.hide();
    addButton(buttonBar, [this] { if (freshPress()) breakpointRequest = 1; }, "断点");
    // The manual has a button of its own after the twelve panel buttons.
    addButton(buttonBar, toggle(guidePanel), "说明书");
    installManualView(guidePanel);
    choicePanel.hide();
    installTextScroll(levelPanel, [this]() -> const std::string& { return levelText; });
    installMemoryScroll();
    installWatchClicks();
    arrangeDefaultLayout();
    restoreLayout();

    startupChoice();
    editorPanel.setText("");
    ensureLevelsDirectory();
}

void resetMachine() {
    levelReloadRequested = 1;
    game.judged = 0;
    cpu.reset();
    game.lineAddress.clear();
    game.compileErrors.clear();
    game.program.clear();
    game.compileState = CompileState::NotCompiled;
    forgetFailedRun();
    stepHistory.stop();
}
