#include "game_support.h"

#include "game/game.h"
#include "game/panels.h"

void runFrame() {
    game.lastFrameMicros = 0;
    game.update();
}

void runFrames(int count) {
    for (int i = 0; i < count; ++i) runFrame();
}

void click(int x, int y) {
    fakeConsole().pushMouse(x, y, FROM_LEFT_1ST_BUTTON_PRESSED);
    runFrame();
    fakeConsole().pushMouse(x, y, 0);
    runFrame();
}

std::string panelRow(const window& panel, int row) {
    std::string text;
    for (const auto& column : panel.grid) text += static_cast<char>(column[static_cast<std::size_t>(row)].character);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
    return text;
}

void typeIntoEditor(const std::string& text) {
    editorPanel.raise();
    fakeConsole().pushText(text);
    while (!fakeConsole().input.empty()) runFrame();
    runFrames(2); // the frame after an edit resets the machine, the next one sets the level up
}

CellPosition controlButton(const std::string& text) {
    for (const Button& b : cpuControlPanel.buttons)
        if (b.text == text) return {static_cast<int>(b.x + b.offsetX), static_cast<int>(b.y + b.offsetY)};
    return {-1, -1};
}

CellPosition barButton(const std::string& text) {
    for (const Button& b : buttonBar)
        if (b.text == text) return {static_cast<int>(b.x + b.offsetX), static_cast<int>(b.y + b.offsetY)};
    return {-1, -1};
}
