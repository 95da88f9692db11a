// STUB: replaced by the CPU.
#include "cpu/cpu.h"
Cpu::Cpu() : registers{}, flags(0), pc(0), sp(0xFD00), memory{}, halted(1), pendingKey(0), stepHook(), clk(0xFFFF) {}
void Cpu::reset() {}
void Cpu::step() {}
void Cpu::execute(std::uint32_t) {}
void Cpu::push(std::uint8_t) {}
std::uint8_t Cpu::pop() { return 0; }
bool Cpu::raiseInterrupt(std::uint8_t) { return false; }
