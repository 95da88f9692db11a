// Assembler lines per second on a 10000-line program with labels and comments.
#include <benchmark/benchmark.h>

#include <string>

#include "asm/asm.h"

namespace {
std::string bigProgram() {
    std::string text;
    for (int i = 0; i < 1000; ++i) {
        const std::string n = std::to_string(i);
        text += "label loop" + n + "\n";
        text += "addi r1 r1 1     ;count\n";
        text += "sub r0 r1 r2\n";
        text += "jne r0 r0 loop" + n + "\n";
        text += "load r3 r1 r2 fc00\n";
        text += "store r3 r0 r0 100\n";
        text += "call r0 r0 loop" + std::to_string((i * 7) % 1000) + "\n";
        text += "\n";
        text += "; a comment line\n";
        text += "dta 41\n";
    }
    return text;
}

void BM_AssembleTenThousandLines(benchmark::State& state) {
    const std::string text = bigProgram();
    for (auto _ : state) {
        auto image = assembler.complie(text);
        benchmark::DoNotOptimize(image.data());
    }
    state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_AssembleTenThousandLines);
} // namespace
