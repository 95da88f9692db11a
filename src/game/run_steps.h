// Steps of the current run as the frame and the buttons take them: counted,
// recorded in the step history, watched for changes when taken one at a
// time, and reported once when a run goes on past a million steps.
//
//   beforeFrameSteps(); ...cpu.step() n times...; afterFrameSteps(n);
//   stepForwardOnce();   // 步进, F7
//   stepBackOnce();      // 回退, Shift+F7
#pragma once
#include <cstdint>

inline constexpr std::uint64_t NOT_HALTING_STEPS = 1000000;

void beforeFrameSteps();
void afterFrameSteps(std::uint64_t steps);
void stepForwardOnce();
void stepBackOnce();
