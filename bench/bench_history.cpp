// What the run's test data (重放) and the step history (回退) cost: the run
// start kept at every set-up, fast frames with the history on and off against
// the bare CPU, the memory a million steps take, the time of one 回退; fast
// frames with watches that never fire against none, and 反向运行 over a
// million steps to a watched change.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "cpu/cpu.h"
#include "game/game.h"
#include "game/panels.h"
#include "run/reverse_run.h"
#include "run/run_replay.h"
#include "run/step_history.h"
#include "run/watches.h"

namespace {

// ALU work only; stores into every page of memory (the worst case for the
// history); SLD/SST blocks of 153 bytes; stores into two arrays.
const char* aluLoop = "label top\naddi r1 r1 1\nsub r0 r1 r2\njne r0 r0 top\njmp r0 r0 top";
const char* storeLoop = "label top\naddi r1 r1 1\nstore r1 r0 r1 0200\nstore r1 r1 r0 0280\njmp r0 r0 top";
const char* blockLoop = "addi r2 r0 99\nstore r2 r0 r0 0400\nlabel top\naddi r1 r1 1\nstore r1 r0 r1 0401\n"
                        "sld r0 r0 0400\nsst r0 r1 0600\njmp r0 r0 top";
const char* arrayLoop = "label top\naddi r1 r1 1\nstore r1 r0 r1 0200\nstore r1 r0 r1 0300\njmp r0 r0 top";
const char* timerLoop = "label top\nsck r0 r0 1000\naddi r1 r1 1\nsub r0 r1 r2\njmp r0 r0 top";
const char* programs[] = {aluLoop, storeLoop, blockLoop, arrayLoop, timerLoop};

void start(const char* source, std::uint16_t level, bool history) {
    restartGlobals();
    stepHistory.enabled = history;
    game.setLEVEL(level);
    editorPanel.setText(source);
    compileProgram();
    game.updateLEVEL();
    game.fast = 1;
    game.running = 1;
}

// The game's fast mode without drawing: updateVM's 4096 steps.
void BM_FastFrameSteps(benchmark::State& state) {
    start(programs[state.range(0)], 31, state.range(1) != 0);
    for (auto _ : state) {
        game.updateVM();
        if (stepHistory.steps > 4000000) { // keep the history in its steady state
            state.PauseTiming();
            start(programs[state.range(0)], 31, state.range(1) != 0);
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations() * 4096);
}
BENCHMARK(BM_FastFrameSteps)->ArgsProduct({{0, 1, 2, 3}, {0, 1}})->ArgNames({"program", "history"});

// Fast frames with the history, and watches that do not fire (the run goes on):
// none; R4 and a byte of an untouched page; R2 and a byte of a page the store
// loop writes (a test after each of those stores); SP and interrupt entries
// (中断处停). Program 4 keeps the timer armed: the per-step body, which
// compares after every step.
void watchSet(int set) {
    watches.level = game.level;
    watches.list.clear();
    watches.stopAtInterrupts = false;
    if (set == 1) watches.list = {{WatchKind::Register, 4}, {WatchKind::Memory, 0x0100}};
    if (set == 2) watches.list = {{WatchKind::Register, 2}, {WatchKind::Memory, 0x0481}};
    if (set == 3) {
        watches.list = {{WatchKind::Sp, 0}};
        watches.stopAtInterrupts = true;
    }
}

void BM_FastFrameWatched(benchmark::State& state) {
    const char* program = programs[state.range(0)];
    start(program, 31, true);
    watchSet(static_cast<int>(state.range(1)));
    for (auto _ : state) {
        game.updateVM();
        if (stepHistory.steps > 4000000 || !game.running) {
            state.PauseTiming();
            start(program, 31, true);
            watchSet(static_cast<int>(state.range(1)));
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations() * 4096);
}
BENCHMARK(BM_FastFrameWatched)->ArgsProduct({{0, 1, 3, 4}, {0, 1, 2, 3}})->ArgNames({"program", "watches"});

// 反向运行 from step 1,000,000 (and more) with R4 watched, which only the
// first step changed: the whole history is scanned back to the start.
void BM_RunBackwardsAMillionSteps(benchmark::State& state) {
    const char* program = state.range(0) ? "addi r4 r0 1\nlabel top\naddi r1 r1 1\nstore r1 r0 r1 0200\n"
                                           "store r1 r1 r0 0280\njmp r0 r0 top"
                                         : "addi r4 r0 1\nlabel top\naddi r1 r1 1\nsub r0 r1 r2\njmp r0 r0 top";
    std::uint64_t from = 0;
    for (auto _ : state) {
        state.PauseTiming();
        start(program, 31, true);
        while (stepHistory.steps < 1000000) game.updateVM();
        from = stepHistory.steps;
        watchSet(0);
        watches.list = {{WatchKind::Register, 4}};
        state.ResumeTiming();
        runBackwards();
        if (stepHistory.steps != 0) state.SkipWithError("did not reach the first step");
    }
    state.counters["from_step"] = static_cast<double>(from);
}
BENCHMARK(BM_RunBackwardsAMillionSteps)->Arg(0)->Arg(1)->ArgName("stores")->Iterations(5)
    ->Unit(benchmark::kMillisecond);

// The same steps on the bare CPU: its batched run, no frame, no history.
void BM_CpuAloneSteps(benchmark::State& state) {
    start(programs[state.range(0)], 31, false);
    for (auto _ : state) cpu.run(4096, nullptr, nullptr);
    state.SetItemsProcessed(state.iterations() * 4096);
}
BENCHMARK(BM_CpuAloneSteps)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->ArgName("program");

// A level whose feeder draws rand() during the run (every draw is logged).
void BM_FastFrameLevel24(benchmark::State& state) {
    start("iset 1 key\nlabel idle\njmp r0 r0 idle\nlabel key\npop r1\niret", 24, state.range(0) != 0);
    for (auto _ : state) {
        game.updateVM();
        if (stepHistory.steps > 4000000) {
            state.PauseTiming();
            start("iset 1 key\nlabel idle\njmp r0 r0 idle\nlabel key\npop r1\niret", 24, state.range(0) != 0);
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations() * 4096);
}
BENCHMARK(BM_FastFrameLevel24)->Arg(0)->Arg(1)->ArgName("history");

// Keeping a run's start for 重放, as every set-up does (64 KiB of memory,
// the registers, the checks and the feeder).
void BM_KeepRunStart(benchmark::State& state) {
    start(aluLoop, 1, true);
    for (auto _ : state) beginRun();
}
BENCHMARK(BM_KeepRunStart);

// A whole set-up of one run (level 1), which includes keeping its start.
void BM_SetUpOneRun(benchmark::State& state) {
    start(aluLoop, 1, true);
    for (auto _ : state) game.setLEVEL(1);
}
BENCHMARK(BM_SetUpOneRun);

// A million steps, then what the history holds.
void BM_HistoryMemoryForAMillionSteps(benchmark::State& state) {
    for (auto _ : state) {
        start(programs[state.range(0)], 31, true);
        while (stepHistory.steps < 1000000) game.updateVM();
    }
    state.counters["steps"] = static_cast<double>(stepHistory.steps);
    state.counters["MiB"] = static_cast<double>(stepHistory.bytesHeld()) / (1 << 20);
    state.counters["epochs"] = static_cast<double>(stepHistory.epochs.size());
}
BENCHMARK(BM_HistoryMemoryForAMillionSteps)->Arg(0)->Arg(1)->Arg(2)->ArgName("program")->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// One 回退 deep in a long run: restore the epoch, execute forward to the step.
void BM_OneStepBack(benchmark::State& state) {
    start(programs[state.range(0)], 31, true);
    while (stepHistory.steps < 1000000) game.updateVM();
    for (auto _ : state) {
        if (!stepHistory.stepBack()) state.SkipWithError("no history left");
    }
    state.counters["steps_left"] = static_cast<double>(stepHistory.steps);
}
BENCHMARK(BM_OneStepBack)->Arg(0)->Arg(1)->Arg(2)->ArgName("program")->Unit(benchmark::kMicrosecond);

} // namespace
