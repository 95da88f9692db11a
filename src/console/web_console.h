// The console operations in a browser page: the terminal back end with
// xterm.js in place of the tty. Console calls change the same cell model as
// on a terminal (TerminalScreen) and what changed goes to xterm.js as the same
// escape sequences; the bytes xterm.js sends (keys, SGR mouse, wheel, pasted
// text) go through the same TerminalInputDecoder. The page's JS side
// (web/asmquest.js) owns xterm.js and the input bytes; the game yields to the
// page in Sleep and while it waits for input (Asyncify), so frames never block it.
//
//   WebConsole& con = webConsole();   // sized by the page's terminal
#pragma once
#include <cstdint>
#include <string>

#include "console/model_console.h"

class WebConsole : public ModelConsole {
public:
    WebConsole();

    // Sends what changed to xterm.js now; otherwise done whenever the game waits.
    void flush() override;
    // Time the game spent on its last frame and the longest one, in microseconds
    // (from waking up in Sleep to the next Sleep).
    std::uint64_t lastFrameMicros = 0, longestFrameMicros = 0;
    std::uint64_t framesMeasured = 0, frameMicrosTotal = 0;
    // A paste from the page (the system clipboard, as GBK text) becomes the
    // game's clipboard just before the Ctrl+V that pastes it is queued: one
    // paste, one undo step, its line breaks kept.
    void (*takePaste)(std::string&& gbk) = nullptr;
    // The cells as the game wrote them (frames keep their '+', '-' and '|').
    const TerminalScreen& screen() const { return model; }

    bool SetConsoleCtrlHandler(PHANDLER_ROUTINE routine, bool add) override;
    void Sleep(std::uint32_t milliseconds) override;

private:
    // Takes in the bytes the page queued and follows its size.
    void pollInput() override;
    // Gives the page its turn, then looks at its queue again.
    void waitForInput() override;
    // F10: the page says the game is over; nothing more is drawn or read.
    [[noreturn]] void quit();
    void Quit() override { quit(); }
    void takeDecoded();

    std::uint64_t wokeMicros = 0;
};

WebConsole& webConsole();
