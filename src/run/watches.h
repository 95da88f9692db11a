// Watches: registers, flags, PC, SP, CLK and memory bytes the player marked
// by clicking them in the register, memory, stack and screen panels. A run
// stops after a step that changed one (and, with 中断处停, after a step that
// entered an interrupt); 反向运行 stops before such a step. Watches belong to
// the level: they survive compiles and runs, and go with a level change.
//
//   toggleWatch({WatchKind::Register, 4});
//   Watchpoints* points = armWatches();   // for Cpu::run, null when nothing is watched
//   if (points && points->hit) reportWatchStop(step);
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "cpu/cpu.h"

enum class WatchKind : std::uint8_t { Register, Flag, Pc, Sp, Clk, Memory };

struct Watch {
    WatchKind kind;
    std::uint16_t index; // register number, flag bit, or address
    bool operator==(const Watch&) const = default;
};

struct Watches {
    std::vector<Watch> list;
    std::uint16_t level = 0;       // the level the list belongs to
    bool stopAtInterrupts = false; // 中断处停
    Watchpoints points;
    // First place in `points` of each watch of `list` (a 16-bit one has two).
    std::vector<std::size_t> firstPlace;
};

extern Watches watches;

void toggleWatch(Watch watch);
bool isWatched(Watch watch);
// Drops the list when the level changed since it was made.
void keepWatchesForLevel();
// The watchpoints of the list and the toggle, snapshotted for a run, or null.
Watchpoints* armWatches();
// The watch's name and value as the panels show them ("R4", "09"; "0200", "05").
std::string watchName(Watch watch);
// After a run stopped on points.hit: the console says which place changed and
// how, or which interrupt was entered, at step `step`.
void reportWatchStop(std::uint64_t step);
// The interrupt's name as the console gives it: "中断1（键盘）".
std::string interruptName(std::uint8_t number);
// 中断处停's button text for the toggle as it is.
const char* interruptStopText();
