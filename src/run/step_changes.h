// What the last step changed (forward or back): registers, flags, PC, SP, CLK
// and memory cells, drawn highlighted in their panels until the next step.
// Only single steps are watched (步进, 回退, slow running): a fast frame
// clears the marks instead of comparing 64 KiB every frame.
//
//   watchStepBegin(); cpu.step(); watchStepEnd();
#pragma once
#include <bitset>
#include <cstdint>

#include "run/step_history.h"

struct StepChanges {
    bool watching = false;
    bool any = false;
    MachineState before{};
    std::uint8_t memoryBefore[65536] = {};
    std::uint16_t registers = 0; // bit i: Ri changed
    std::uint8_t flags = 0;      // changed flag bits
    bool pc = false, sp = false, clk = false;
    std::bitset<65536> memory;
};

extern StepChanges stepChanges;

void watchStepBegin();
void watchStepEnd();
void clearStepChanges();
