// ConsoleScreen::present through the terminal console's output path on a
// 170 x 45 screen of mixed ASCII and Chinese text in several colours, written
// to /dev/null: an unchanged frame, a frame with one changed cell, and a full
// redraw. The "bytes" counter is what reached the terminal per frame.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "console/console_screen.h"
#include "console/terminal_console.h"
#include "ui/window.h"

extern ConsolePlatform* benchConsole;

namespace {

constexpr int width = 170, height = 45;

struct TerminalBench {
    int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
    TerminalConsole terminal{TerminalConsole::DrawOnly{}, devNull, width, height};
    ConsolePlatform* previous = benchConsole;
    TerminalBench() { benchConsole = &terminal; }
    ~TerminalBench() {
        benchConsole = previous;
        close(devNull);
    }
    // Presents and sends one frame; returns the bytes sent.
    std::uint64_t frame() {
        std::uint64_t before = terminal.bytesWritten();
        screen.present();
        terminal.flush();
        return terminal.bytesWritten() - before;
    }
};

// Rows of panel-like text: ASCII, Chinese, borders, in a few colours.
void compose(int variant) {
    static const std::string pieces[] = {"mov r1 r2 ", "寄存器 R3=5A ", "|--+--| ", "关卡说明-第12关 ", "0xFC00: 41 42 43 "};
    clearFrame(width, height);
    for (int y = 0; y < height; ++y) {
        std::string line;
        for (int i = 0; line.size() < width; ++i) line += pieces[(y + i + variant) % 5];
        std::uint8_t colour = static_cast<std::uint8_t>(variant ? 0x1F - y % 3 : 0x0F + (y % 4) * 0x10);
        drawText(line.substr(0, width), 0, y, width, 1, colour);
    }
}

void BM_TerminalPresentUnchangedFrame(benchmark::State& state) {
    TerminalBench bench;
    compose(0);
    bench.frame();
    std::uint64_t bytes = 0;
    for (auto _ : state) bytes += bench.frame();
    state.counters["bytes"] = benchmark::Counter(static_cast<double>(bytes), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_TerminalPresentUnchangedFrame);

void BM_TerminalPresentOneChangedCell(benchmark::State& state) {
    TerminalBench bench;
    compose(0);
    bench.frame();
    std::uint64_t bytes = 0;
    bool flip = false;
    for (auto _ : state) {
        screen.frontBuffer[100][20].character = (flip = !flip) ? '#' : '*';
        bytes += bench.frame();
    }
    state.counters["bytes"] = benchmark::Counter(static_cast<double>(bytes), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_TerminalPresentOneChangedCell);

void BM_TerminalPresentFullRedraw(benchmark::State& state) {
    TerminalBench bench;
    std::uint64_t bytes = 0;
    int variant = 0;
    for (auto _ : state) {
        state.PauseTiming();
        compose(variant = 1 - variant);
        state.ResumeTiming();
        bytes += bench.frame();
    }
    state.counters["bytes"] = benchmark::Counter(static_cast<double>(bytes), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_TerminalPresentFullRedraw);

} // namespace
