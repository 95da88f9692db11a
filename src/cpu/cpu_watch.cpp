// Watchpoints: the places a run stops after, and which instructions can
// touch them (Cpu::run's batched loop tests only after those).
#include "cpu/cpu.h"

namespace {
const std::uint8_t* bytesOf(const std::uint16_t& value) { return reinterpret_cast<const std::uint8_t*>(&value); }
} // namespace

void Watchpoints::clear() { *this = Watchpoints{}; }

namespace {
void add(Watchpoints& w, const std::uint8_t* at, std::uint8_t mask) {
    if (w.count < Watchpoints::MAX_PLACES) w.places[w.count++] = {at, mask, *at};
}
} // namespace

void Watchpoints::watchRegister(const Cpu& cpu, unsigned index) {
    index &= 15;
    add(*this, &cpu.registers[index], 0xFF);
    registers[index] = aluTouches[index] = popTouches[index] = 1;
}

void Watchpoints::watchFlags(const Cpu& cpu, std::uint8_t bits) {
    add(*this, &cpu.flags, bits);
    for (std::uint8_t& t : aluTouches) t = 1;
}

void Watchpoints::watchPc(const Cpu& cpu) {
    add(*this, bytesOf(cpu.pc), 0xFF);
    add(*this, bytesOf(cpu.pc) + 1, 0xFF);
    pc = true;
}

void Watchpoints::watchSp(const Cpu& cpu) {
    add(*this, bytesOf(cpu.sp), 0xFF);
    add(*this, bytesOf(cpu.sp) + 1, 0xFF);
    stack = true;
    for (std::uint8_t& t : popTouches) t = 1;
}

void Watchpoints::watchClk(const Cpu& cpu) {
    add(*this, bytesOf(cpu.clk), 0xFF);
    add(*this, bytesOf(cpu.clk) + 1, 0xFF);
    clk = true;
}

void Watchpoints::watchMemory(const Cpu& cpu, std::uint16_t address) {
    add(*this, &cpu.memory[address], 0xFF);
    pages[address >> 8] = 1;
    if ((address >> 8) == (STACK_BASE >> 8)) stack = true;
}

void Watchpoints::watchInterruptEntries(const Cpu& cpu) { add(*this, &cpu.interruptEntries, 0xFF); }

void Watchpoints::snapshot() {
    hit = false;
    for (std::size_t i = 0; i < count; ++i) places[i].before = *places[i].at;
}
