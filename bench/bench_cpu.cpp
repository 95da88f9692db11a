// CPU steps per second on a tight loop (ADDI, SUB, JNE), as the fast mode runs
// it: 4096 steps per frame, with no hook, with a level-style hook and with the
// timer armed.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "asm/asm.h"
#include "cpu/cpu.h"

namespace {
// Never halts: counts r1 up and compares it with r2. A keyboard handler takes
// keys; a timer handler re-arms the timer.
const char* loopProgram = "iset 0 timer\n"
                          "iset 1 keyboard\n"
                          "sck r0 r0 @CLK\n"
                          "label top\n"
                          "addi r1 r1 1\n"
                          "sub r0 r1 r2\n"
                          "jne r0 r0 top\n"
                          "jmp r0 r0 top\n"
                          "label keyboard\n"
                          "pop r3\n"
                          "iret\n"
                          "label timer\n"
                          "sck r0 r0 fffe\n"
                          "iret";

void boot(bool timer) {
    std::string source = loopProgram;
    source.replace(source.find("@CLK"), 4, timer ? "fffe" : "ffff");
    loadProgram(assembler.complie(source));
    cpu.halted = 0;
}

void runFrames(benchmark::State& state) {
    for (auto _ : state) {
        for (int i = 0; i < 4096; ++i) cpu.step();
    }
    benchmark::DoNotOptimize(cpu.registers[1]);
    state.SetItemsProcessed(state.iterations() * 4096);
}

void BM_StepNoHook(benchmark::State& state) {
    boot(false);
    runFrames(state);
}
BENCHMARK(BM_StepNoHook);

void BM_StepLevelHook(benchmark::State& state) {
    boot(false);
    std::uint64_t calls = 0;
    cpu.stepHook = [&calls] {
        if ((++calls & 0x3FFF) == 0) cpu.pendingKey = 0x41;
    };
    runFrames(state);
    benchmark::DoNotOptimize(calls);
}
BENCHMARK(BM_StepLevelHook);

void BM_StepTimerArmed(benchmark::State& state) {
    boot(true);
    runFrames(state);
}
BENCHMARK(BM_StepTimerArmed);
} // namespace

// ---- Cpu::run side by side with the straightforward switch interpreter ----
// Both take turns on the same machine state (same program, same hook), 16
// frames of 4096 steps each per turn; the counters give each one's steps per
// second and their ratio.
#include <ctime>
#include <vector>

#include "game/game.h"
#include "levels/levels.h"
#include "switch_interpreter.h"

namespace {
struct SideBySideProgram {
    const char* name;
    const char* source;
};

// Each never halts. The keyboard handler takes keys from a level's feeder;
// the timer handler re-arms the timer.
const SideBySideProgram sideBySidePrograms[] = {
    {"counting loop", "label top\naddi r1 r1 1\nsub r0 r1 r2\njne r0 r0 top\njmp r0 r0 top\n"},
    {"memory copy", "label top\nload r3 r0 r1 1000\nstore r3 r0 r1 2000\naddi r1 r1 1\njne r0 r0 top\njmp r0 r0 top\n"},
    {"call/return", "label top\ncall r0 r0 count\njmp r0 r0 top\nlabel count\naddi r1 r1 1\nret\n"},
    {"timer armed", "iset 0 timer\nsck r0 r0 100\nlabel top\naddi r1 r1 1\nsub r0 r1 r2\njne r0 r0 top\n"
                    "jmp r0 r0 top\nlabel timer\nsck r0 r0 100\niret\n"},
};
const char* keyboardHandler = "label keyboard\npop r3\niret\n";

// CPU time of this thread: the machine is shared, and time spent preempted is
// neither interpreter's.
std::uint64_t nowNanos() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return std::uint64_t(t.tv_sec) * 1000000000u + std::uint64_t(t.tv_nsec);
}

constexpr int framesPerTurn = 16;
constexpr int stepsPerFrame = 4096;

// Arg 0: program index; arg 1: 1 = level 20's key feeder as the step hook.
void BM_RunVsSwitch(benchmark::State& state) {
    const SideBySideProgram& program = sideBySidePrograms[state.range(0)];
    const bool levelHook = state.range(1) != 0;
    std::string source = program.source;
    if (levelHook) source = "iset 1 keyboard\n" + source + keyboardHandler;

    cpu.reset();
    const std::vector<std::uint8_t> image = assembler.complie(source);
    loadProgram(image);
    cpu.halted = 0;
    std::uint8_t scratch[16] = {};
    if (levelHook) {
        setUpLevelRun(game, 20);
        std::copy(std::begin(game.scratch), std::end(game.scratch), scratch);
    }
    static Cpu start; // a copy of the machine, so each turn starts alike
    start = cpu;

    const auto turn = [&](bool ours) {
        cpu = start;
        std::copy(std::begin(scratch), std::end(scratch), game.scratch);
        const std::uint64_t begin = nowNanos();
        for (int frame = 0; frame < framesPerTurn; ++frame) {
            if (ours) cpu.run(stepsPerFrame);
            else
                for (int i = 0; i < stepsPerFrame && !cpu.halted; ++i) switchStep(cpu);
        }
        return nowNanos() - begin;
    };

    std::uint64_t oursNanos = 0, switchNanos = 0;
    for (auto _ : state) {
        oursNanos += turn(true);
        const std::uint8_t oursR1 = cpu.registers[1];
        switchNanos += turn(false);
        if (cpu.registers[1] != oursR1 || cpu.halted) state.SkipWithError("the two interpreters disagree");
    }
    const double steps = double(state.iterations()) * framesPerTurn * stepsPerFrame;
    state.counters["ours_Msteps_s"] = steps / double(oursNanos) * 1e3;
    state.counters["switch_Msteps_s"] = steps / double(switchNanos) * 1e3;
    state.counters["ratio"] = double(switchNanos) / double(oursNanos);
    state.SetLabel(std::string(program.name) + (levelHook ? ", level 20 hook" : ", no hook"));
    cpu.stepHook = nullptr;
}
BENCHMARK(BM_RunVsSwitch)->ArgsProduct({{0, 1, 2, 3}, {0, 1}});
} // namespace
