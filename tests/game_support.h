// Helpers for driving the game in tests: frames without pacing, clicks, typing.
#pragma once
#include <cstdint>
#include <string>

#include "test_support.h"

// One frame of the game loop without the 60 Hz wait.
void runFrame();
void runFrames(int count);
// A press and a release of the left button at (x, y), one frame each.
void click(int x, int y);
// The text of a panel's grid row, trailing blanks removed.
std::string panelRow(const struct window& panel, int row);
// Puts the editor in front and types the text into it (the editor takes queued keys in one frame).
void typeIntoEditor(const std::string& text);
// Screen coordinates of a CPU control button ("编译", "运行", ...).
struct CellPosition {
    int x = 0, y = 0;
};
CellPosition controlButton(const std::string& text);
CellPosition barButton(const std::string& text);
