// A small program on the terminal console for the tmux test: an editor that
// takes typed text, a window with a button that counts clicks and shows
// whether the pointer hovers over it, and lines of text that must stay aligned.
// It runs the toolkit's frame cycle like the game does, without the game.
#include <cstdio>

#include "console/console_screen.h"
#include "ui/editor.h"
#include "console/terminal_console.h"
#include "ui/window.h"

// The toolkit's globals, here instead of the game's.
ConsoleScreen screen;
std::vector<window*> windowList;

namespace {

Editor editor("终端演示", 4, 4, 60, 8);
window panel("按钮窗口", 70, 4, 40, 10);
int clicks = 0;
INPUT_RECORD lastKey;

void refreshPanel(Button& button) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    console().GetConsoleScreenBufferInfo(console().GetStdHandle(STD_OUTPUT_HANDLE), &info);
    const KEY_EVENT_RECORD& k = lastKey.Event.KeyEvent;
    panel.clearText();
    panel.printf("点击次数=%d\n", clicks);
    panel.printf("悬停=%s\n", button.colour == 0xF0 ? "是" : "否");
    panel.printf("尺寸=%dx%d\n", info.srWindow.Right + 1, info.srWindow.Bottom + 1);
    panel.printf("键=%02X/%02X/%04X\n", k.wVirtualKeyCode, static_cast<unsigned char>(k.uChar.AsciiChar),
                 static_cast<unsigned>(k.dwControlKeyState));
    panel.printf("中文对齐|A\n");
    panel.printf("α①—○|B\n");
}

} // namespace

int main() {
    TerminalConsole& con = terminalConsole();
    if (!con.isTerminal()) {
        std::fprintf(stderr, "termdemo: standard input and output must be a terminal\n");
        return 1;
    }
    panel.buttons.emplace_back(0, 0, 4, 1, "点我", 72, 12);
    panel.buttons.back().action = [] { ++clicks; };
    editor.raise();

    HANDLE input = con.GetStdHandle(STD_INPUT_HANDLE);
    clearConsole();
    bool redraw = true;
    for (;;) {
        std::uint32_t queued = 0;
        con.GetNumberOfConsoleInputEvents(input, &queued);
        ConsoleSize size = visibleConsoleSize();
        if (queued > 0 || redraw) {
            INPUT_RECORD record;
            std::uint32_t read = 0;
            con.SetConsoleMode(input, readingInputMode(screen.savedInputMode));
            con.ReadConsoleInputA(input, &record, 1, &read);
            if (record.EventType == KEY_EVENT) lastKey = record;
            size = visibleConsoleSize();
            clearFrame(size.width, size.height);
            refreshPanel(panel.buttons.back());
            dispatchInput(record);
            refreshPanel(panel.buttons.back());
            redraw = false;
        } else {
            clearFrame(size.width, size.height);
            drawAllWindows();
        }
        screen.present();
        con.Sleep(16);
    }
}
