// A console that shows nothing and never has input: headless tools run the
// game's code on it. Its window is large enough for the game.
#pragma once
#include "console/platform.h"

struct NullConsole : ConsolePlatform {
    int width = 170;
    int height = 45;

    HANDLE GetStdHandle(std::int32_t which) override { return which == STD_INPUT_HANDLE ? 10 : 11; }
    bool GetConsoleScreenBufferInfo(HANDLE, CONSOLE_SCREEN_BUFFER_INFO* info) override {
        *info = CONSOLE_SCREEN_BUFFER_INFO{};
        info->dwSize = {static_cast<std::int16_t>(width), static_cast<std::int16_t>(height)};
        info->wAttributes = 0x07;
        info->srWindow = {0, 0, static_cast<std::int16_t>(width - 1), static_cast<std::int16_t>(height - 1)};
        return true;
    }
    bool WriteConsoleOutputCharacterA(HANDLE, const char*, std::uint32_t length, COORD, std::uint32_t* written) override {
        if (written) *written = length;
        return true;
    }
    bool FillConsoleOutputAttribute(HANDLE, std::uint16_t, std::uint32_t length, COORD, std::uint32_t* written) override {
        if (written) *written = length;
        return true;
    }
    bool FillConsoleOutputCharacterA(HANDLE, char, std::uint32_t length, COORD, std::uint32_t* written) override {
        if (written) *written = length;
        return true;
    }
    bool SetConsoleCursorPosition(HANDLE, COORD) override { return true; }
    bool GetConsoleCursorInfo(HANDLE, CONSOLE_CURSOR_INFO* info) override {
        *info = CONSOLE_CURSOR_INFO{};
        return true;
    }
    bool SetConsoleCursorInfo(HANDLE, const CONSOLE_CURSOR_INFO*) override { return true; }
    bool GetConsoleMode(HANDLE, std::uint32_t* mode) override {
        *mode = 0;
        return true;
    }
    bool SetConsoleMode(HANDLE, std::uint32_t) override { return true; }
    bool SetConsoleCtrlHandler(PHANDLER_ROUTINE, bool) override { return true; }
    bool GetNumberOfConsoleInputEvents(HANDLE, std::uint32_t* count) override {
        *count = 0;
        return true;
    }
    // Nothing ever arrives; a size record stands in so a forced redraw never blocks.
    bool ReadConsoleInputA(HANDLE, INPUT_RECORD* buffer, std::uint32_t length, std::uint32_t* read) override {
        if (length > 0) {
            buffer[0] = INPUT_RECORD{};
            buffer[0].EventType = WINDOW_BUFFER_SIZE_EVENT;
            buffer[0].Event.WindowBufferSizeEvent = WINDOW_BUFFER_SIZE_RECORD{};
            buffer[0].Event.WindowBufferSizeEvent.dwSize = {static_cast<std::int16_t>(width),
                                                            static_cast<std::int16_t>(height)};
        }
        if (read) *read = length > 0 ? 1 : 0;
        return true;
    }
    void WriteStandardOutput(const char*, std::uint32_t) override {}
    void Sleep(std::uint32_t) override {}
};
