// Frame composition and the screen diff over the game's real panels, on the
// benchmarks' console that draws nothing (170 x 45).
#include <benchmark/benchmark.h>

#include "game/panels.h"

namespace {

void composeGameFrame() {
    const ConsoleSize size = visibleConsoleSize();
    clearFrame(size.width, size.height);
    drawAllWindows();
    screen.present();
}

void BM_ComposeUnchangedFrame(benchmark::State& state) {
    composeGameFrame();
    for (auto _ : state) composeGameFrame();
}
BENCHMARK(BM_ComposeUnchangedFrame);

void BM_ComposeFrameWithOneChangedCell(benchmark::State& state) {
    composeGameFrame();
    std::uint8_t tick = 0;
    for (auto _ : state) {
        const ConsoleSize size = visibleConsoleSize();
        clearFrame(size.width, size.height);
        putCell(0, 44, static_cast<std::uint8_t>('a' + (++tick & 7)), 15);
        drawAllWindows();
        screen.present();
    }
}
BENCHMARK(BM_ComposeFrameWithOneChangedCell);

void BM_PresentWholeScreenChange(benchmark::State& state) {
    std::uint16_t attribute = 15;
    for (auto _ : state) {
        attribute = attribute == 15 ? 0x1F : 15;
        clearFrame(170, 45);
        for (int y = 0; y < 45; ++y)
            for (int x = 0; x < 170; ++x) putCell(x, y, static_cast<std::uint8_t>('a' + (x + y) % 26), attribute);
        screen.present();
    }
}
BENCHMARK(BM_PresentWholeScreenChange);

void BM_EditorGridOfTwoHundredLines(benchmark::State& state) {
    std::string text;
    for (int i = 0; i < 200; ++i) text += "add r1 r2 r3 ; line " + std::to_string(i) + "\n";
    editorPanel.setText(text);
    editorPanel.lineColours[3] = 0x9F;
    for (auto _ : state) editorPanel.updateGrid();
}
BENCHMARK(BM_EditorGridOfTwoHundredLines);
} // namespace

namespace {
void BM_PresentUnchangedFrame(benchmark::State& state) {
    const ConsoleSize size = visibleConsoleSize();
    clearFrame(size.width, size.height);
    drawAllWindows();
    screen.present();
    for (auto _ : state) screen.present();
}
BENCHMARK(BM_PresentUnchangedFrame);

void BM_DrawAllWindows(benchmark::State& state) {
    const ConsoleSize size = visibleConsoleSize();
    for (auto _ : state) {
        clearFrame(size.width, size.height);
        drawAllWindows();
    }
}
BENCHMARK(BM_DrawAllWindows);
} // namespace
