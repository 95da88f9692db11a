// The game: wait for a large enough console, then run frames for ever. The
// program ends when the console goes away (F10, or closing the terminal or console window).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "game/game.h"
#include "levels/game_random.h"
#include "main/host.h"
#include "console/console_screen.h"
#include "console/platform.h"

namespace {

const char sizePrompt[] = "请先按下F11全屏。";
constexpr int minimumWidth = 161, minimumHeight = 33;

void writeAt(HANDLE output, int x, int y, const char* text, std::size_t length) {
    ConsolePlatform& con = console();
    con.SetConsoleCursorPosition(output, COORD{static_cast<std::int16_t>(x), static_cast<std::int16_t>(y)});
    con.WriteStandardOutput(text, static_cast<std::uint32_t>(length));
}

// Looking at the input lets the back end end the game at F10, as it does
// during play; what was typed waits for the first frame.
void noticeF10() {
    std::uint32_t queued = 0;
    console().GetNumberOfConsoleInputEvents(screen.inputHandle, &queued);
}

// The prompt in the middle of the window, with a second line that names the
// size needed and the size there is. A window that changed size is cleared
// first, so no copy of an older prompt stays behind.
void waitForLargeConsole() {
    ConsolePlatform& con = console();
    int shownWidth = -1, shownHeight = -1;
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
        if (width != shownWidth || height != shownHeight) {
            clearConsole();
            shownWidth = width, shownHeight = height;
        }
        writeAt(output, width / 2, height / 2, sizePrompt, sizeof sizePrompt - 1);
        char sizes[96];
        const int length = std::snprintf(sizes, sizeof sizes, "窗口至少要%d列%d行，现在是%d列%d行。", minimumWidth,
                                         minimumHeight, width, height);
        writeAt(output, std::max(0, std::min(width / 2, width - length)), height / 2 + 1, sizes,
                static_cast<std::size_t>(length));
        con.Sleep(100);
        noticeF10();
        if (width >= minimumWidth && height >= minimumHeight) return;
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
