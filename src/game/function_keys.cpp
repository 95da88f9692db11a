#include "game/function_keys.h"

#include <algorithm>
#include <iterator>

#include "game/caret_watch.h"
#include "game/cpu_control.h"
#include "game/watch_clicks.h"
#include "run/watches.h"
#include "shell/messages.h"
#include "game/game.h"
#include "game/level_select.h"
#include "game/panels.h"
#include "run/reverse_run.h"
#include "run/run_replay.h"
#include "console/console_screen.h"
#include "ui/window_order.h"

namespace {

constexpr std::uint16_t VK_F(int n) { return static_cast<std::uint16_t>(VK_F1 + n - 1); }

void toggleManual() { guidePanel.toggle(); }

// F2 and Shift+F2 bring the panels on screen to the front in turn, forward
// and back. A round starts from the editor: the first F2 from any other panel
// (or from a closed editor) brings the editor back. The round is the panels
// on screen when it started, so a panel that a raise covers stays in it.
struct PanelRound {
    std::vector<window*> panels;
    window* raised = nullptr; // the panel the last press brought forward
};
PanelRound& panelRound() {
    static PanelRound round;
    return round;
}

void cyclePanels(int direction) {
    PanelRound& round = panelRound();
    const bool sameRound = round.raised && frontWindow() == round.raised &&
                           std::all_of(round.panels.begin(), round.panels.end(), [](window* w) { return w->visible; });
    if (!sameRound && frontWindow() != &editorPanel) {
        if (!editorPanel.visible) editorPanel.toggle();
        editorPanel.raise();
        round = {};
        return;
    }
    if (!sameRound) {
        const ConsoleSize size = visibleConsoleSize();
        round.panels = windowsOnScreen(size.width, size.height);
    }
    const auto count = static_cast<std::int64_t>(round.panels.size());
    if (count < 2) return;
    const auto at = std::find(round.panels.begin(), round.panels.end(), frontWindow()) - round.panels.begin();
    window* next = round.panels[static_cast<std::size_t>(((at + direction) % count + count) % count)];
    next->raise();
    round.raised = next;
}
void nextPanel() { cyclePanels(1); }
// The key says what the button's text shows.
void interruptStopKey() {
    toggleInterruptStop();
    consolePrintf("%s\n", interruptStopText());
}
void breakpointKey() { game.breakpointRequest = 1; }
void previousPanel() { cyclePanels(-1); }

constexpr FunctionKey table[] = {
    {VK_F(1), false, "F1", "说明书", toggleManual},
    {VK_F(2), false, "F2", "下一个面板", nextPanel},
    {VK_F(2), true, "Shift+F2", "上一个面板", previousPanel},
    {VK_F(3), false, "F3", "选关", openLevelList},
    {VK_F(4), false, "F4", "快速/慢速", toggleSpeed},
    {VK_F(4), true, "Shift+F4", "中断处停", interruptStopKey},
    {VK_F(5), false, "F5", "运行", runProgram},
    {VK_F(5), true, "Shift+F5", "反向运行", runBackwards},
    {VK_F(6), false, "F6", "暂停", pauseRun},
    {VK_F(6), true, "Shift+F6", "重置", resetMachine},
    {VK_F(7), false, "F7", "步进", stepIfCompiled},
    {VK_F(7), true, "Shift+F7", "回退", stepBack},
    {VK_F(8), false, "F8", "重放", replayRun},
    {VK_F(8), true, "Shift+F8", "观察", watchCaretWord},
    {VK_F(9), false, "F9", "编译", compileProgram},
    {VK_F(9), true, "Shift+F9", "断点", breakpointKey},
};

} // namespace

std::span<const FunctionKey> functionKeys() { return table; }

const FunctionKey* findFunctionKey(const INPUT_RECORD& record) {
    if (record.EventType != KEY_EVENT) return nullptr;
    const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
    const bool shift = (key.dwControlKeyState & SHIFT_PRESSED) != 0;
    for (const FunctionKey& row : table)
        if (row.key == key.wVirtualKeyCode && row.shift == shift) return &row;
    return nullptr;
}

bool runFunctionKey(const INPUT_RECORD& record) {
    if (choicePanel.visible) return false;
    const FunctionKey* row = findFunctionKey(record);
    if (!row) return false;
    if (record.Event.KeyEvent.bKeyDown) row->action();
    return true;
}
