// A console that records every call and keeps the screen it would show, for
// tests: feed input records, set the window size, read cells and call logs.
#pragma once
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "console/platform.h"

struct FakeConsole : ConsolePlatform {
    struct Call {
        std::string name;       // e.g. "WriteConsoleOutputCharacterA"
        std::string text;       // bytes written, for character writes
        std::uint32_t length = 0;
        std::uint16_t value = 0; // attribute, mode or character
        COORD at;
    };
    struct Cell {
        std::uint8_t character = ' ';
        std::uint16_t attribute = 0x07;
    };

    int width = 170;
    int height = 45;
    std::vector<Cell> cells; // width x height, row-major, resized on demand
    std::vector<Call> calls;
    std::deque<INPUT_RECORD> input;
    // Events the console counts as queued but fails to read: a read reports
    // nothing read and leaves the record in the caller's buffer, as the
    // contents of a buffer after a failed read are anything.
    std::deque<INPUT_RECORD> unreadable;
    std::uint32_t mode = 0x1F7; // a typical Windows console input mode
    COORD cursor;
    bool cursorVisible = true;
    bool outputValid = true;
    std::uint64_t sleptMilliseconds = 0;
    int quits = 0; // Quit() calls: the fake never ends the program
    std::string standardOutput;
    bool recording = true; // false: calls act but are not logged (allocation and speed measurements)

    FakeConsole();
    void resize(int newWidth, int newHeight);
    void reset();
    void Quit() override { ++quits; }
    // Screen contents.
    Cell& cell(int x, int y);
    std::string row(int y) const; // the row's bytes
    // Counts recorded calls by name.
    std::size_t count(const std::string& name) const;
    // Input helpers.
    void pushKey(std::uint16_t vk, char ch, std::uint32_t control = 0);
    void pushText(const std::string& gbkBytes); // one key record per byte
    void pushMouse(int x, int y, std::uint32_t buttons, std::uint32_t flags = 0);

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
    void record(const char* name, std::string text = {}, std::uint32_t length = 0, std::uint16_t value = 0,
                COORD at = {});
};
