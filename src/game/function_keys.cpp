#include "game/function_keys.h"

#include <algorithm>
#include <iterator>

#include "game/cpu_control.h"
#include "game/game.h"
#include "game/level_select.h"
#include "game/panels.h"
#include "run/reverse_run.h"
#include "run/run_replay.h"

namespace {

constexpr std::uint16_t VK_F(int n) { return static_cast<std::uint16_t>(VK_F1 + n - 1); }

void toggleManual() { guidePanel.toggle(); }

// F2: the front panel goes behind the last visible one, so pressing it again
// and again brings every visible panel forward in turn.
void nextPanel() {
    const auto front = std::find_if(windowList.begin(), windowList.end(), [](window* w) { return w->visible; });
    if (front == windowList.end()) return;
    window* moved = *front;
    windowList.erase(front);
    auto lastVisible = std::find_if(windowList.rbegin(), windowList.rend(), [](window* w) { return w->visible; });
    windowList.insert(lastVisible.base(), moved);
}

constexpr FunctionKey table[] = {
    {VK_F(1), false, "F1", "说明书", toggleManual},
    {VK_F(2), false, "F2", "下一个面板", nextPanel},
    {VK_F(3), false, "F3", "选关", openLevelList},
    {VK_F(4), false, "F4", "快速/慢速", toggleSpeed},
    {VK_F(5), false, "F5", "运行", runProgram},
    {VK_F(5), true, "Shift+F5", "反向运行", runBackwards},
    {VK_F(6), false, "F6", "暂停", pauseRun},
    {VK_F(7), false, "F7", "步进", stepIfCompiled},
    {VK_F(7), true, "Shift+F7", "回退", stepBack},
    {VK_F(8), false, "F8", "重放", replayRun},
    {VK_F(9), false, "F9", "编译", compileProgram},
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
