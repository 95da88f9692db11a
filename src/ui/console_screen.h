// The cell screen: frames are composed into frontBuffer (first writer wins,
// a cell holding a non-zero byte is never overwritten within a frame) and
// present() sends only what differs from backBuffer to the console.
//
//   clearFrame(width, height);            // once per frame, before drawing
//   putCell(x, y, 'A', 0x0F);             // widgets draw front-most first
//   putPair(x, y, lead, trail, 0x0F);     // a GBK double-byte character
//   screen.present();                     // after all drawing
#pragma once
#include <cstdint>

#include "ui/platform.h"

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

    ConsoleScreen();
    ~ConsoleScreen();
    ConsoleScreen(const ConsoleScreen&) = delete;
    ConsoleScreen& operator=(const ConsoleScreen&) = delete;

    void present();
};

extern ConsoleScreen screen;

// True for a byte that can start a GBK double-byte character (0x81-0xFE).
inline bool isGbkLead(std::uint8_t b) { return b >= 0x81 && b <= 0xFE; }
// True for a byte that can end one (0x40-0x7E, 0x80-0xFE).
inline bool isGbkTrail(std::uint8_t b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFE); }

void clearFrame(std::int64_t width, std::int64_t height);
void putCell(std::int64_t x, std::int64_t y, std::uint8_t character, std::uint16_t attribute);
void putPair(std::int64_t x, std::int64_t y, std::uint8_t lead, std::uint8_t trail, std::uint16_t attribute);
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
