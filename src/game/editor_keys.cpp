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
