// Pieces of one step shared by the single-step path (cpu.cpp) and the batched
// interpreter (cpu_run.cpp), so the two cannot drift apart: stack primitives
// that treat a fault as a value, the timer and keyboard work, the stack block
// moves, the ALU's flag rule and the out-of-line rare instructions.
// Only the CPU's own sources include this.
#pragma once
#include <array>
#include <cstdint>
#include <cstring>

#include "cpu/cpu.h"
#include "cpu/instruction_table.h"

namespace cpu_detail {
inline constexpr std::uint8_t FLAGS_ZCS = FLAG_Z | FLAG_C | FLAG_S;

inline std::uint32_t fetchWord(const Cpu& cpu) {
    const std::uint16_t pc = cpu.pc;
    if (pc <= 0xFFFC) [[likely]] {
        std::uint32_t word;
        std::memcpy(&word, cpu.memory + pc, 4);
        return __builtin_bswap32(word);
    }
    // The last three addresses take their remaining bytes from 0x0000 upward.
    return std::uint32_t{cpu.memory[pc]} << 24 | std::uint32_t{cpu.memory[std::uint16_t(pc + 1)]} << 16 |
           std::uint32_t{cpu.memory[std::uint16_t(pc + 2)]} << 8 | cpu.memory[std::uint16_t(pc + 3)];
}

// Prints the exception (and, for the zero word, the two hints) and halts.
void reportInvalid(Cpu& cpu, std::uint32_t word);

// Push and pop as the instructions use them: false on a stack fault, after
// the fault's interrupt has been raised. Cpu::push and Cpu::pop throw instead;
// inside the CPU a fault just ends the instruction, so it stays a value here.
inline bool tryPush(Cpu& cpu, std::uint8_t value) {
    if (cpu.sp > STACK_LIMIT) {
        cpu.sp = STACK_BASE;
        cpu.raiseInterrupt(INT_STACK_OVERFLOW);
        return false;
    }
    cpu.write(cpu.sp, value);
    cpu.sp = std::uint16_t(cpu.sp + 1);
    return true;
}

inline bool tryPop(Cpu& cpu, std::uint8_t& value) {
    if (cpu.sp <= STACK_BASE) {
        cpu.raiseInterrupt(INT_STACK_UNDERFLOW);
        return false;
    }
    cpu.sp = std::uint16_t(cpu.sp - 1);
    value = cpu.memory[cpu.sp];
    return true;
}

inline void tickTimer(Cpu& cpu) {
    if (cpu.clk == 0) {
        if (cpu.raiseInterrupt(INT_TIMER)) cpu.clk = TIMER_OFF;
    } else {
        --cpu.clk;
    }
}

inline void deliverKey(Cpu& cpu) {
    // A key that does not fit on the stack stays pending.
    if (cpu.raiseInterrupt(INT_KEYBOARD) && tryPush(cpu, cpu.pendingKey)) cpu.pendingKey = 0;
}

// SLD and SST blocks fold at the top of memory like every other address.
inline void loadStack(Cpu& cpu, std::uint16_t from) {
    const std::uint32_t count = cpu.memory[from];
    for (std::uint32_t i = 1; i <= count; ++i)
        cpu.write(std::uint16_t(STACK_BASE - 1 + i), cpu.memory[std::uint16_t(from + i)]);
    cpu.sp = std::uint16_t(STACK_BASE + count);
}

inline void saveStack(Cpu& cpu, std::uint16_t to) {
    const std::uint16_t count = std::uint16_t(cpu.sp - STACK_BASE);
    cpu.write(to, std::uint8_t(count));
    for (std::uint32_t i = 1; i <= count; ++i)
        cpu.write(std::uint16_t(to + i), cpu.memory[std::uint16_t(STACK_BASE - 1 + i)]);
    cpu.sp = STACK_BASE;
}

inline std::uint8_t readRegister(const Cpu& cpu, std::uint32_t index) { return index ? cpu.registers[index] : 0; }

// Z or S for each 8-bit result (never both: a zero result has bit 7 clear).
constexpr std::array<std::uint8_t, 256> buildZeroSignFlags() {
    std::array<std::uint8_t, 256> flags{};
    flags[0] = FLAG_Z;
    for (std::uint32_t value = 0x80; value < 0x100; ++value) flags[value] = FLAG_S;
    return flags;
}
inline constexpr std::array<std::uint8_t, 256> zeroSignFlags = buildZeroSignFlags();

inline void writeAluResult(Cpu& cpu, std::uint32_t d, std::uint32_t full, bool carry) {
    // Z, C, S from scratch; I kept (a division interrupt may have just set it).
    const std::uint8_t result = std::uint8_t(full);
    cpu.registers[d] = result;
    cpu.flags = std::uint8_t((cpu.flags & ~FLAGS_ZCS) | zeroSignFlags[result] | (carry ? FLAG_C : 0));
}

// The two operations of the common loop (count, compare), spelled out.
inline void aluAdd(Cpu& cpu, std::uint32_t d, std::uint32_t a, std::uint32_t b) { writeAluResult(cpu, d, a + b, a + b > 0xFF); }
inline void aluSub(Cpu& cpu, std::uint32_t d, std::uint32_t a, std::uint32_t b) { writeAluResult(cpu, d, a - b, a < b); }

// Stack instructions, INT, CALL, division by zero and invalid words, with PC
// already past the word; `key` is Op << 4 | TYPE (0 for an invalid word) and
// `self` the instruction's own address.
void executeRare(Cpu& cpu, std::uint32_t word, std::uint32_t key, std::uint16_t self);

// Op << 4 | TYPE for a valid word, 0 for an invalid one (the zero word included).
inline std::uint32_t keyOf(std::uint32_t word) {
    return isValidWord(word) ? (word >> 28) << 4 | wordType(word) : 0;
}
} // namespace cpu_detail
