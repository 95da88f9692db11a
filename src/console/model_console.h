// What the terminal and the browser back ends share: the console calls change
// a model of the cells (TerminalScreen), and input records come from a queue
// that the back end fills through TerminalInputDecoder. A back end adds only
// its transport: how the model's escape sequences leave, how input bytes
// arrive and how it waits (terminal_console.h, web_console.h).
#pragma once
#include <cstdint>
#include <string>

#include "console/platform.h"
#include "console/terminal_input.h"
#include "console/terminal_output.h"

class ModelConsole : public ConsolePlatform {
public:
    // Sends what changed now; otherwise done whenever the program waits.
    virtual void flush() = 0;

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
    // Raw input already delivers every key; the mode is kept for the program to read back.
    bool SetConsoleMode(HANDLE input, std::uint32_t mode) override;
    bool GetNumberOfConsoleInputEvents(HANDLE input, std::uint32_t* count) override;
    bool ReadConsoleInputA(HANDLE input, INPUT_RECORD* buffer, std::uint32_t length, std::uint32_t* read) override;
    bool PeekConsoleInputA(HANDLE input, INPUT_RECORD* buffer, std::uint32_t length, std::uint32_t* read) override;
    void WriteStandardOutput(const char* text, std::uint32_t length) override;

protected:
    // Takes in whatever input has arrived, without waiting.
    virtual void pollInput() = 0;
    // Waits for input; a back end that will never get any queues a size record instead.
    virtual void waitForInput() = 0;
    // Called before the window's size is read (a terminal follows a resize there).
    virtual void beforeSizeQuery() {}

    void queueSizeRecord();
    // The model's changes as escape sequences, left in `frame` (empty: nothing changed).
    const std::string& renderFrame();

    TerminalScreen model;
    TerminalInputDecoder decoder;
    InputQueue queue;   // records for the program
    InputQueue decoded; // records the decoder made, before the back end looks at them
    std::string frame;
    std::uint32_t inputMode = ENABLE_PROCESSED_INPUT | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_INSERT_MODE |
                              ENABLE_QUICK_EDIT_MODE | ENABLE_EXTENDED_FLAGS;
    CONSOLE_CURSOR_INFO cursorInfo;
};
