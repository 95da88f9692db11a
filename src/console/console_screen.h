// The cell screen: frames are composed into frontBuffer (first writer wins,
// a cell holding a non-zero byte is never overwritten within a frame) and
// present() sends only what differs from backBuffer to the console.
//
//   clearFrame(width, height);            // once per frame, before drawing
//   putCell(x, y, 'A', 0x0F);             // widgets draw front-most first
//   putPair(x, y, lead, trail, 0x0F);     // a GBK double-byte character
//   screen.present();                     // after all drawing
//
// The console itself is reached only through console() (console/platform.h).
#pragma once
#include <cstdint>

#include "console/platform.h"

struct ScreenCell {
    std::uint8_t character = 0;  // GBK byte; 0 = nothing written in this frame
    std::uint16_t attribute = 0; // console attribute, only the low byte reaches the console
};

inline constexpr int screenModelSize = 1024;

struct ConsoleScreen {
    HANDLE inputHandle;
    std::uint32_t savedInputMode;
    bool cursorShown;
    ScreenCell frontBuffer[screenModelSize][screenModelSize]; // [x][y]: the frame being composed
    ScreenCell backBuffer[screenModelSize][screenModelSize];  // [x][y]: what the console shows
    HANDLE outputHandle;

    // Ignores Ctrl+C and reads the input mode to restore, once per process.
    ConsoleScreen();
    // Restores the input mode found at start-up.
    ~ConsoleScreen();
    ConsoleScreen(const ConsoleScreen&) = delete;
    ConsoleScreen& operator=(const ConsoleScreen&) = delete;

    void present();

    // The next construction repeats the once-per-process console set-up
    // (for tests that check it on a fresh fake console).
    static void forgetProcessSetup();

private:
    void writeRun(const char* text, std::uint32_t length, std::uint16_t attribute, std::int64_t x, std::int64_t y);
};

extern ConsoleScreen screen;

// True for a byte that can start a GBK double-byte character (0x81-0xFE).
inline bool isGbkLead(std::uint8_t b) { return b >= 0x81 && b <= 0xFE; }
// True for a byte that can end one (0x40-0x7E, 0x80-0xFE).
inline bool isGbkTrail(std::uint8_t b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFE); }

inline bool insideScreenModel(std::int64_t x, std::int64_t y) {
    return x >= 0 && y >= 0 && x < screenModelSize && y < screenModelSize;
}

void clearFrame(std::int64_t width, std::int64_t height);

// The first writer of a frame wins: a cell already holding a byte is kept.
inline void putCell(std::int64_t x, std::int64_t y, std::uint8_t character, std::uint16_t attribute) {
    if (!insideScreenModel(x, y)) return;
    ScreenCell& cell = screen.frontBuffer[x][y];
    if (cell.character != 0) return;
    cell.character = character;
    cell.attribute = attribute;
}

// A double-byte character needs both of its cells: with only one free, that
// one is blanked so no half character shows.
inline void putPair(std::int64_t x, std::int64_t y, std::uint8_t lead, std::uint8_t trail, std::uint16_t attribute) {
    const bool leadFree = insideScreenModel(x, y) && screen.frontBuffer[x][y].character == 0;
    const bool trailFree = insideScreenModel(x + 1, y) && screen.frontBuffer[x + 1][y].character == 0;
    if (leadFree && trailFree) {
        screen.frontBuffer[x][y] = ScreenCell{lead, attribute};
        screen.frontBuffer[x + 1][y] = ScreenCell{trail, attribute};
    } else if (leadFree) {
        screen.frontBuffer[x][y] = ScreenCell{' ', 15};
    } else if (trailFree) {
        screen.frontBuffer[x + 1][y] = ScreenCell{' ', 15};
    }
}

void clearConsole();

// Visible console size from GetConsoleScreenBufferInfo (0 x 0 without a console).
struct ConsoleSize {
    std::int64_t width = 0;
    std::int64_t height = 0;
};
ConsoleSize visibleConsoleSize();

// The input mode set before every read: mouse input on, line editing and quick edit off.
std::uint32_t readingInputMode(std::uint32_t savedInputMode);

// Ctrl+C and Ctrl+Break are handled (ignored); other events take their default course.
int ctrlHandler(std::uint32_t ctrlType);
