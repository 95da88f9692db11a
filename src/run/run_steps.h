// Steps of the current run as the frame and the buttons take them: counted,
// recorded in the step history, watched for changes when taken one at a
// time, and reported once when a run goes on past a million steps.
//
//   beforeFrameSteps(); n = runFrameSteps(4096, stopTest, context); afterFrameSteps(n);
//   stepForwardOnce();   // 步进, F7
//   stepBackOnce();      // 回退, Shift+F7
#pragma once
#include <cstdint>

#include "cpu/cpu.h"

inline constexpr std::uint64_t NOT_HALTING_STEPS = 1000000;

void beforeFrameSteps();
// Up to `count` steps through Cpu::run, counted in the history: batches end
// where a logged key was typed, and the run stops (with its console line)
// after a step that changed a watched place.
std::uint64_t runFrameSteps(std::uint64_t count, Cpu::StopTest stop, void* context);
void afterFrameSteps(std::uint64_t steps);
void stepForwardOnce();
void stepBackOnce();
