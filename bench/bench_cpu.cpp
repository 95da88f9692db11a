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
