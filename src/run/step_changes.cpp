#include "run/step_changes.h"

#include <cstring>

#include "cpu/cpu.h"

void watchStepBegin() {
    stepChanges.before = captureMachineState();
    std::memcpy(stepChanges.memoryBefore, cpu.memory, sizeof cpu.memory);
    stepChanges.watching = true;
}

void watchStepEnd() {
    if (!stepChanges.watching) return;
    stepChanges.watching = false;
    clearStepChanges();
    StepChanges& c = stepChanges;
    const MachineState& b = c.before;
    for (unsigned i = 0; i < 16; ++i)
        if (b.registers[i] != cpu.registers[i]) c.registers |= static_cast<std::uint16_t>(1u << i);
    c.flags = static_cast<std::uint8_t>(b.flags ^ cpu.flags);
    c.pc = b.pc != cpu.pc;
    c.sp = b.sp != cpu.sp;
    c.clk = b.clk != cpu.clk;
    // Compare eight bytes at a time; most of memory never changes.
    for (unsigned a = 0; a < 65536; a += 8)
        if (std::memcmp(c.memoryBefore + a, cpu.memory + a, 8) != 0)
            for (unsigned k = a; k < a + 8; ++k)
                if (c.memoryBefore[k] != cpu.memory[k]) c.memory.set(k);
    c.any = true;
}

void clearStepChanges() {
    if (!stepChanges.any) return;
    stepChanges.registers = 0;
    stepChanges.flags = 0;
    stepChanges.pc = stepChanges.sp = stepChanges.clk = false;
    stepChanges.memory.reset();
    stepChanges.any = false;
}
