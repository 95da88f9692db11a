// One frame of the game: status panels, composing every panel, the screen
// diff, and the CPU, on a console that draws nothing.
#include <benchmark/benchmark.h>

#include "cpu/cpu.h"
#include "game/game.h"
#include "game/panels.h"

namespace {

void frame() {
    game.lastFrameMicros = 0; // no pacing wait
    game.update();
}

void startGame(const char* source) {
    restartGlobals();
    frame();
    editorPanel.setText(source);
    compileProgram();
    frame();
}

void BM_FrameIdle(benchmark::State& state) {
    startGame("add r3 r1 r2\nhlt");
    for (auto _ : state) frame();
}
BENCHMARK(BM_FrameIdle);

// 4096 CPU steps per frame on a loop that never halts.
void BM_FrameRunningFast(benchmark::State& state) {
    startGame("label top\naddi r1 r1 1\nsub r0 r1 r2\njne r0 r0 top\njmp r0 r0 top");
    game.running = 1;
    game.fast = 1;
    for (auto _ : state) frame();
    state.SetItemsProcessed(state.iterations() * 4096);
}
BENCHMARK(BM_FrameRunningFast);

// A level judged at every frame: the 65536 memory checks of one halt.
void BM_FrameJudgingEveryHalt(benchmark::State& state) {
    startGame("add r3 r1 r2\nhlt");
    game.setLEVEL(5); // a level with a memory check
    game.running = 1;
    for (auto _ : state) {
        game.passCount = 0;
        frame();
    }
}
BENCHMARK(BM_FrameJudgingEveryHalt);

} // namespace
