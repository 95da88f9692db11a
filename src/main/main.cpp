// The game: wait for a large enough console, then run frames for ever. The
// program ends when the console goes away (F10, or closing the terminal or console window).
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "game/game.h"
#include "game/game_random.h"
#include "main/host.h"
#include "ui/console_screen.h"
#include "ui/platform.h"

namespace {

const char sizePrompt[] = "请先按下F11全屏。";

void waitForLargeConsole() {
    ConsolePlatform& con = console();
    for (;;) {
        HANDLE output = con.GetStdHandle(STD_OUTPUT_HANDLE);
        if (output == INVALID_HANDLE_VALUE) {
            output = con.GetStdHandle(STD_OUTPUT_HANDLE);
            if (output != INVALID_HANDLE_VALUE) con.SetConsoleCursorPosition(output, COORD{0, 0});
            con.WriteStandardOutput(sizePrompt, sizeof sizePrompt - 1);
            con.Sleep(100);
            continue;
        }
        CONSOLE_SCREEN_BUFFER_INFO info;
        con.GetConsoleScreenBufferInfo(output, &info);
        const int width = info.srWindow.Right - info.srWindow.Left + 1;
        const int height = info.srWindow.Bottom - info.srWindow.Top + 1;
        con.SetConsoleCursorPosition(output, COORD{static_cast<std::int16_t>(width / 2), static_cast<std::int16_t>(height / 2)});
        con.WriteStandardOutput(sizePrompt, sizeof sizePrompt - 1);
        con.Sleep(100);
        if (width > 160 && height > 32) return;
    }
}

} // namespace

int main() {
    if (!hostConsoleReady()) return 1;
    waitForLargeConsole();
    clearConsole();
    gameSrand(static_cast<unsigned>(std::time(nullptr)));
    for (;;) game.update();
}
