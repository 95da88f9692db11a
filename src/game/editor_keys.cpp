// Typed text never goes astray: a panel in front that takes no text of its
// own (CPU控制, 寄存器, 内存 ...) gives way to the editor for it.
//
// Typing and pasting into the editor at the speed they arrive. A frame takes
// one input record; when that record was a key for the editor, the keys
// queued behind it go to the editor in the same frame. Keys for other panels
// (the 键盘 panel feeding the CPU) and every mouse record still take a frame
// each.
#include "game/function_keys.h"
#include "game/game.h"
#include "game/panels.h"
#include "console/console_screen.h"

namespace {
// Bounds one frame's work however much is queued.
constexpr int maxKeysPerFrame = 8192;

// Keys go to the front-most visible window.
bool editorTakesKeys() {
    for (window* w : windowList)
        if (w->visible) return w == &editorPanel;
    return false;
}
} // namespace

namespace {
// Keys that write or edit text: characters (Enter, Backspace and Tab among
// them), Ctrl shortcuts and Delete.
bool typesText(const KEY_EVENT_RECORD& key) { return key.uChar.AsciiChar != 0 || key.wVirtualKeyCode == VK_DELETE; }
} // namespace

void bringEditorForTypedKey(const INPUT_RECORD& record) {
    if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown) return;
    const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
    window* front = frontWindow();
    if (front == &editorPanel || (front && front->ownsKey && front->ownsKey(key))) return;
    // Esc is the way back to the editor from any panel that does not use it.
    if (!typesText(key) && key.wVirtualKeyCode != VK_ESCAPE) return;
    if (!editorPanel.visible) editorPanel.toggle();
    editorPanel.raise();
}

void takeQueuedEditorKeys() {
    ConsolePlatform& con = console();
    for (int taken = 0; taken < maxKeysPerFrame && editorTakesKeys(); ++taken) {
        INPUT_RECORD next{};
        std::uint32_t count = 0;
        con.PeekConsoleInputA(screen.inputHandle, &next, 1, &count);
        // A function key waits for the next frame, which runs it as the table says.
        if (count != 1 || next.EventType != KEY_EVENT || findFunctionKey(next)) return;
        con.ReadConsoleInputA(screen.inputHandle, &next, 1, &count);
        if (count != 1) return;
        deliverInput(next);
    }
}
