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

#include "ui/platform.h"
#include "ui/terminal_input.h"
#include "ui/terminal_output.h"

class WebConsole : public ConsolePlatform {
public:
    WebConsole();

    // Sends what changed to xterm.js now; otherwise done whenever the game waits.
    void flush();
    // Time the game spent on its last frame and the longest one, in microseconds
    // (from waking up in Sleep to the next Sleep).
    std::uint64_t lastFrameMicros = 0, longestFrameMicros = 0;
    std::uint64_t framesMeasured = 0, frameMicrosTotal = 0;

    HANDLE GetStdHandle(std::int32_t which) override;
    bool GetConsoleScreenBufferInfo(HANDLE output, CONSOLE_SCREEN_BUFFER_INFO* info) override;
    bool WriteConsoleOutputCharacterA(HANDLE output, const char* text, std::uint32_t length, COORD start,
                                      std::uint32_t* written) override;
    bool FillConsoleOutputAttribute(HANDLE output, std::uint16_t attribute, std::uint32_t length, COORD start,
                                    std::uint32_t* written) override;
    bool FillConsoleOutputCharacterA(HANDLE output, char character, std::uint32_t length, COORD start,
                                     std::uint32_t* written) override;
    bool SetConsoleCursorPosition(HANDLE output, COORD position) override;
    bool GetConsoleCursorInfo(HANDLE output, CONSOLE_CURSOR_INFO* info) override;
    bool SetConsoleCursorInfo(HANDLE output, const CONSOLE_CURSOR_INFO* info) override;
    bool GetConsoleMode(HANDLE input, std::uint32_t* mode) override;
    bool SetConsoleMode(HANDLE input, std::uint32_t mode) override;
    bool SetConsoleCtrlHandler(PHANDLER_ROUTINE routine, bool add) override;
    bool GetNumberOfConsoleInputEvents(HANDLE input, std::uint32_t* count) override;
    bool ReadConsoleInputA(HANDLE input, INPUT_RECORD* buffer, std::uint32_t length, std::uint32_t* read) override;
    bool PeekConsoleInputA(HANDLE input, INPUT_RECORD* buffer, std::uint32_t length, std::uint32_t* read) override;
    void WriteStandardOutput(const char* text, std::uint32_t length) override;
    void Sleep(std::uint32_t milliseconds) override;

private:
    // Takes in the bytes the page queued and follows its size.
    void pump();
    void queueSizeRecord();
    // F10: the page says the game is over; nothing more is drawn or read.
    [[noreturn]] void quit();
    void Quit() override { quit(); }

    TerminalScreen model;
    TerminalInputDecoder decoder;
    InputQueue queue;
    InputQueue decoded;
    std::string frame;
    std::uint64_t wokeMicros = 0;
    std::uint32_t inputMode = ENABLE_PROCESSED_INPUT | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_INSERT_MODE |
                              ENABLE_QUICK_EDIT_MODE | ENABLE_EXTENDED_FLAGS;
    CONSOLE_CURSOR_INFO cursorInfo;
};

WebConsole& webConsole();
