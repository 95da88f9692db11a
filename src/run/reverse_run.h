// 反向运行 (Shift+F5): back through the step history to just before the
// latest earlier step that changed a watched place, entered an interrupt
// (with 中断处停), or would execute a breakpoint line; else to the oldest
// step the history holds. The console says where and why.
//
//   runBackwardsUntil(breakpointStops);   // then 步进 repeats the step that changed the watch
#pragma once
#include <cstdint>

// Whether a breakpoint stops the run with the PC here; null: no breakpoints.
using BreakpointTest = bool (*)(std::uint16_t pc);

void runBackwardsUntil(BreakpointTest breakpointAt);
