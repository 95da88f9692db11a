#include "run/watches.h"

#include <algorithm>
#include <cstdio>

#include "run/run_state.h"
#include "shell/messages.h"

namespace {

const char* const flagNames[] = {"Z", "C", "S", "I"};

// Each watch as the bytes Cpu::run compares.
void addPlaces(Watchpoints& p, Watch w) {
    switch (w.kind) {
    case WatchKind::Register: p.watchRegister(cpu, w.index); break;
    case WatchKind::Flag: p.watchFlags(cpu, static_cast<std::uint8_t>(1u << w.index)); break;
    case WatchKind::Pc: p.watchPc(cpu); break;
    case WatchKind::Sp: p.watchSp(cpu); break;
    case WatchKind::Clk: p.watchClk(cpu); break;
    case WatchKind::Memory: p.watchMemory(cpu, w.index); break;
    }
}

unsigned valueOf(const Watchpoints::Place* place, Watch w, bool before) {
    const auto byte = [before](const Watchpoints::Place& p) { return before ? p.before : *p.at; };
    switch (w.kind) {
    case WatchKind::Pc:
    case WatchKind::Sp:
    case WatchKind::Clk: return byte(place[0]) | byte(place[1]) << 8; // little-endian, as the CPU's 16-bit fields
    case WatchKind::Flag: return (byte(place[0]) >> w.index) & 1;
    default: return byte(place[0]);
    }
}

std::string valueText(Watch w, unsigned value) {
    char text[8];
    const char* format = w.kind == WatchKind::Flag                                             ? "%X"
                         : w.kind == WatchKind::Register || w.kind == WatchKind::Memory ? "%02X"
                                                                                         : "%04X";
    std::snprintf(text, sizeof text, format, value);
    return text;
}

} // namespace

void keepWatchesForLevel() {
    if (watches.level == currentRun.level) return;
    watches.list.clear();
    watches.level = currentRun.level;
}

void toggleWatch(Watch w) {
    keepWatchesForLevel();
    const auto at = std::find(watches.list.begin(), watches.list.end(), w);
    if (at != watches.list.end()) watches.list.erase(at);
    else if (watches.list.size() < Watchpoints::MAX_PLACES / 2 - 1) watches.list.push_back(w); // room for 中断处停
}

bool isWatched(Watch w) {
    return watches.level == currentRun.level && std::find(watches.list.begin(), watches.list.end(), w) != watches.list.end();
}

Watchpoints* armWatches() {
    keepWatchesForLevel();
    Watchpoints& p = watches.points;
    p.clear();
    watches.firstPlace.clear();
    for (const Watch& w : watches.list) {
        watches.firstPlace.push_back(p.count);
        addPlaces(p, w);
    }
    if (watches.stopAtInterrupts) p.watchInterruptEntries(cpu);
    return p.count ? &p : nullptr;
}

std::string watchName(Watch w) {
    char text[8];
    switch (w.kind) {
    case WatchKind::Register: std::snprintf(text, sizeof text, "R%x", w.index); return text;
    case WatchKind::Flag: return flagNames[w.index & 3];
    case WatchKind::Pc: return "PC";
    case WatchKind::Sp: return "SP";
    case WatchKind::Clk: return "CLK";
    case WatchKind::Memory: std::snprintf(text, sizeof text, "%04X", w.index); return text;
    }
    return {};
}

std::string interruptName(std::uint8_t number) {
    static const char* const names[] = {"定时器", "键盘", "除零", "栈溢出", "栈下溢"};
    char text[48];
    if (number < std::size(names)) std::snprintf(text, sizeof text, "中断%u（%s）", number, names[number]);
    else std::snprintf(text, sizeof text, "中断%u", number);
    return text;
}

void reportWatchStop(std::uint64_t step) {
    const Watchpoints& p = watches.points;
    if (watches.stopAtInterrupts && p.count && p.places[p.count - 1].before != cpu.interruptEntries)
        consolePrintf("进入%s（第%llu步）\n", interruptName(cpu.lastInterrupt).c_str(), static_cast<unsigned long long>(step));
    for (std::size_t i = 0; i < watches.list.size(); ++i) {
        const Watch w = watches.list[i];
        const unsigned before = valueOf(&p.places[watches.firstPlace[i]], w, true);
        const unsigned after = valueOf(&p.places[watches.firstPlace[i]], w, false);
        if (before != after)
            consolePrintf("观察：%s由%s变为%s（第%llu步）\n", watchName(w).c_str(), valueText(w, before).c_str(),
                          valueText(w, after).c_str(), static_cast<unsigned long long>(step));
    }
}

const char* interruptStopText() { return watches.stopAtInterrupts ? "中断处停:开" : "中断处停:关"; }
