// Helpers for the toolkit tests: a small fake console, frames composed the
// way the main loop composes them, input records and the screen as text.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "test_support.h"
#include "console/console_screen.h"
#include "ui/window.h"

// A fresh program on a console of the given size, with no windows listed
// and an empty frame: tests build their own windows.
inline void freshToolkit(int width = 40, int height = 12) {
    fakeConsole().resize(width, height);
    freshProgram();
    windowList.clear();
    lastMouse = MOUSE_EVENT_RECORD{};
    clearFrame(screenModelSize, screenModelSize);
    fakeConsole().calls.clear();
}

inline INPUT_RECORD mouseAt(int x, int y, std::uint32_t buttons = 0, std::uint32_t flags = 0) {
    return makeMouseRecord(x, y, buttons, flags);
}

inline INPUT_RECORD keyDown(std::uint16_t vk, char ch = 0, std::uint32_t control = 0) {
    return makeKeyRecord(vk, static_cast<std::uint8_t>(ch), control);
}

// One frame as the main loop composes it, with or without an input record.
inline void composeFrame(const INPUT_RECORD* record = nullptr) {
    const ConsoleSize size = visibleConsoleSize();
    clearFrame(size.width, size.height);
    if (record) dispatchInput(*record);
    else drawAllWindows();
    screen.present();
}
inline void composeFrame(const INPUT_RECORD& record) { composeFrame(&record); }

// The console screen as GBK rows (test literals are GBK too) with trailing blanks removed.
inline std::vector<std::string> screenText() {
    std::vector<std::string> rows;
    for (int y = 0; y < fakeConsole().height; ++y) {
        std::string row = fakeConsole().row(y);
        row.erase(row.find_last_not_of(' ') + 1);
        rows.push_back(row);
    }
    return rows;
}

// Expected rows, padded with empty rows to the console height.
inline std::vector<std::string> screenOf(std::vector<std::string> rows) {
    rows.resize(static_cast<std::size_t>(fakeConsole().height));
    return rows;
}

inline std::uint16_t attributeAt(int x, int y) { return fakeConsole().cell(x, y).attribute; }
