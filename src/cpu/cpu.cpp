// One step: hook, R0 := 0, timer, keyboard, fetch, execute. The common path
// is one test for all per-step work, a table-driven decode and one jump
// table, with no stack frame; interrupts, stack faults and invalid words
// live out of line.
//
// Address arithmetic folds modulo 65536 everywhere, including the places
// where a block could run past the top of memory: a fetch at 0xFFFD..0xFFFF
// takes its remaining bytes from 0x0000 upward, and SLD/SST blocks continue
// at 0x0000. An invalid word (any Op/TYPE pair without a row in the
// instruction table) changes nothing but PC before it is reported.
#include "cpu/cpu.h"

#include <array>
#include <cstring>

#include "cpu/cpu_internal.h"
#include "cpu/instruction_table.h"
#include "shell/messages.h"

using namespace cpu_detail;

[[gnu::noinline, gnu::cold]] void cpu_detail::reportInvalid(Cpu& cpu, std::uint32_t word) {
    consolePrintf("异常：读取到0x%08X！已停机。\n", word);
    if (word == 0) {
        consolePrintf("你是不是没写hlt？\n");
        consolePrintf("是不是写错了地址？\n");
    }
    cpu.halted = 1;
    cpu.haltedOnInvalidWord = 1;
}

namespace {
constexpr std::uint32_t CONTEXT_BYTES = 19; // flags, R0..Rf, PC low, PC high

// Decoding is two table loads at most, both tables derived from the
// instruction table. The key is Op << 4 | TYPE, or 0 (itself invalid) for a
// word without a row. The upper half-word (Op Rs Rt Rd) decides every Op but
// 1, whose TYPE is the whole AddrL8 byte: its entries hold REG_CLASS instead.
constexpr std::uint8_t REG_CLASS = 0x10;

constexpr std::array<std::uint8_t, 65536> buildHalfWordKeys() {
    std::array<std::uint8_t, 65536> keys{};
    for (std::uint32_t high = 0; high < 65536; ++high) {
        const std::uint32_t op = high >> 12;
        const std::uint32_t type = op == 1 ? 0 : ((high << 16) >> typeShift[op]) & typeMask[op];
        if (op == 1) keys[high] = REG_CLASS;
        else if (validOpType[op << 4 | type]) keys[high] = std::uint8_t(op << 4 | type);
    }
    return keys;
}
constexpr std::array<std::uint8_t, 256> buildRegKeys() {
    std::array<std::uint8_t, 256> keys{};
    for (std::uint32_t type = 0; type < 16; ++type)
        if (validOpType[0x10 | type]) keys[type] = std::uint8_t(0x10 | type);
    return keys;
}
constexpr std::array<std::uint8_t, 65536> halfWordKeys = buildHalfWordKeys();
constexpr std::array<std::uint8_t, 256> regKeys = buildRegKeys();
static_assert(!validOpType[REG_CLASS]);

inline std::uint32_t decodeKey(std::uint32_t word) {
    const std::uint32_t key = halfWordKeys[word >> 16];
    return key == REG_CLASS ? regKeys[word & 0xFF] : key;
}

} // namespace

// Everything that may push, pop, raise an interrupt or print: kept out of the
// step's fast path so that path needs no stack frame. PC already points past the word.
// A stack fault ends the instruction where it hit: what it changed before stays changed.
[[gnu::noinline]] void cpu_detail::executeRare(Cpu& cpu, std::uint32_t word, std::uint32_t key, std::uint16_t self) {
    const std::uint32_t s = (word >> 24) & 0xF, t = (word >> 20) & 0xF, d = (word >> 16) & 0xF;
    std::uint8_t high, low;
    switch (key) {
    case 0x03: // RET
        if (tryPop(cpu, high) && tryPop(cpu, low)) cpu.pc = std::uint16_t(high << 8 | low);
        return;
    case 0x04: // IRET
        if (!tryPop(cpu, high) || !tryPop(cpu, low)) return;
        cpu.pc = std::uint16_t(high << 8 | low);
        for (int r = 15; r >= 0; --r)
            if (!tryPop(cpu, cpu.registers[r])) return;
        tryPop(cpu, cpu.flags);
        return;
    case 0x05: tryPush(cpu, readRegister(cpu, d)); return;
    case 0x06: tryPop(cpu, cpu.registers[d]); return;
    case 0x15: case 0x25: // division by zero: the interrupt first, then the result
    case 0x16: case 0x26:
        cpu.flags &= ~FLAGS_ZCS;
        cpu.raiseInterrupt(INT_DIVIDE);
        if ((key & 0xF) == 5) writeAluResult(cpu, d, 0xFF, true);
        else writeAluResult(cpu, d, 0, false);
        return;
    case 0x2F: cpu.raiseInterrupt(std::uint8_t(word)); return;
    case 0x36: { // CALL
        const std::uint16_t ea = std::uint16_t((readRegister(cpu, s) << 8) + readRegister(cpu, t) + (word & 0xFFFF));
        if (tryPush(cpu, std::uint8_t(cpu.pc)) && tryPush(cpu, std::uint8_t(cpu.pc >> 8)))
            cpu.pc = std::uint16_t(self + ea);
        return;
    }
    default: reportInvalid(cpu, word); return;
    }
}

namespace {

// The body of Cpu::execute. From the step, R0 has just been cleared and can be
// read directly; a direct execute() call reads it as 0 whatever it holds.
template <bool r0IsZero>
[[gnu::always_inline]] inline void executeWord(Cpu& cpu, std::uint32_t word) {
    const std::uint32_t key = decodeKey(word);
    const std::uint16_t self = cpu.pc;
    cpu.pc = std::uint16_t(self + 4);

    const auto R = [&cpu](std::uint32_t index) -> std::uint32_t {
        if constexpr (r0IsZero) return cpu.registers[index];
        else return readRegister(cpu, index);
    };
    // Operands are read inside each case so the common ones stay in few registers.
    const auto s = [word] { return (word >> 24) & 0xF; };
    const auto t = [word] { return (word >> 20) & 0xF; };
    const std::uint32_t d = (word >> 16) & 0xF;
    const auto a = [&] { return R(s()); };
    const std::uint32_t imm = word & 0xFF;
    const auto b = [&] { return key & 0x20 ? imm : R(t()); }; // Immediate: Imm; Reg: Rt
    const auto ea = [&] { return std::uint16_t((a() << 8) + R(t()) + (word & 0xFFFF)); };
    const auto jumpIf = [&](bool taken) {
        if (taken) cpu.pc = std::uint16_t(self + ea());
    };
    const std::uint8_t flags = cpu.flags;

    switch (key) {
    case 0x01:
        cpu.halted = 1;
        cpu.haltedOnInvalidWord = 0;
        return;
    case 0x02: return;

    // Reg: B = R[Rt]; Immediate: B = Imm.
    case 0x11: aluAdd(cpu, d, a(), R(t())); return;
    case 0x21: aluAdd(cpu, d, a(), imm); return;
    case 0x12: aluSub(cpu, d, a(), R(t())); return;
    case 0x22: aluSub(cpu, d, a(), imm); return;
    case 0x13: case 0x23: { const std::uint32_t x = a(), y = b(); writeAluResult(cpu, d, x * y, x * y > 0xFF); return; }
    case 0x14: case 0x24: writeAluResult(cpu, d, (a() * b()) >> 8, false); return;
    case 0x15: case 0x25: {
        const std::uint32_t y = b();
        if (y == 0) [[unlikely]] break;
        writeAluResult(cpu, d, a() / y, false);
        return;
    }
    case 0x16: case 0x26: {
        const std::uint32_t y = b();
        if (y == 0) [[unlikely]] break;
        writeAluResult(cpu, d, a() % y, false);
        return;
    }
    case 0x17: case 0x27: { const std::uint32_t full = a() << (b() & 31); writeAluResult(cpu, d, full, full > 0xFF); return; }
    case 0x18: case 0x28: writeAluResult(cpu, d, a() >> (b() & 31), false); return;
    case 0x19: case 0x29: writeAluResult(cpu, d, a() & b(), false); return;
    case 0x1A: case 0x2A: writeAluResult(cpu, d, a() | b(), false); return;
    case 0x1B: case 0x2B: writeAluResult(cpu, d, ~(a() & b()), true); return;
    case 0x1C: case 0x2C: writeAluResult(cpu, d, ~(a() | b()), true); return;
    case 0x1D: case 0x2D: writeAluResult(cpu, d, a() ^ b(), false); return;
    case 0x1E: case 0x2E: writeAluResult(cpu, d, ~(a() ^ b()), true); return;

    case 0x32: { // ISET: n in Rs:Rt, Addr absolute
        const std::uint32_t entry = INTERRUPT_TABLE + 2 * (s() << 4 | t());
        cpu.write(std::uint16_t(entry), std::uint8_t(word));
        cpu.write(std::uint16_t(entry + 1), std::uint8_t(word >> 8));
        return;
    }
    case 0x33: loadStack(cpu, ea()); return;
    case 0x34: saveStack(cpu, ea()); return;
    case 0x35: cpu.clk = ea(); return;
    case 0x38: return;
    case 0x39: jumpIf(!(flags & (FLAG_Z | FLAG_C))); return;
    case 0x3A: jumpIf(flags & FLAG_C); return;
    case 0x3B: jumpIf(flags & FLAG_Z); return;
    case 0x3C: jumpIf(!(flags & FLAG_C)); return;
    case 0x3D: jumpIf(flags & (FLAG_Z | FLAG_C)); return;
    case 0x3E: jumpIf(!(flags & FLAG_Z)); return;
    case 0x3F: jumpIf(true); return;

    case 0x50: cpu.registers[d] = cpu.memory[ea()]; return;
    case 0x60: cpu.write(ea(), std::uint8_t(R(d))); return;
    case 0x70: {
        const std::uint16_t at = ea();
        const std::uint8_t held = std::uint8_t(R(d));
        cpu.registers[d] = cpu.memory[at];
        cpu.write(at, held);
        return;
    }
    default: break; // stack, interrupts, calls, invalid words
    }
    executeRare(cpu, word, key, self);
}

[[gnu::noinline]] void stepWithPerStepWork(Cpu& cpu) {
    if (cpu.stepHook) cpu.stepHook();
    cpu.registers[0] = 0;
    if (cpu.clk != TIMER_OFF) tickTimer(cpu);
    if (cpu.pendingKey) deliverKey(cpu);
    executeWord<true>(cpu, fetchWord(cpu));
}
} // namespace

Cpu::Cpu() {
    stepHook = nullptr;
    pendingKey = 0;
    clk = TIMER_OFF;
    reset();
}

void Cpu::reset() {
    std::memset(registers, 0, sizeof registers);
    flags = 0;
    pc = 0;
    sp = STACK_BASE;
    clk = TIMER_OFF;
    std::memset(memory, 0, sizeof memory);
    halted = 1;
    haltedOnInvalidWord = 0;
    pendingKey = 0;
    stepHook = nullptr;
}

void Cpu::step() {
    if (halted) return;
    // One test for all per-step work (hook, timer, key); the plain step needs none.
    if (stepHook || clk != TIMER_OFF || pendingKey) [[unlikely]] {
        stepWithPerStepWork(*this);
        return;
    }
    registers[0] = 0;
    executeWord<true>(*this, fetchWord(*this));
}

void Cpu::execute(std::uint32_t word) { executeWord<false>(*this, word); }

void Cpu::push(std::uint8_t value) {
    if (!tryPush(*this, value)) throw StackFault{"INT_STACK_OVER"};
}

std::uint8_t Cpu::pop() {
    std::uint8_t value;
    if (!tryPop(*this, value)) throw StackFault{"INT_STACK_UNDER"};
    return value;
}

bool Cpu::raiseInterrupt(std::uint8_t number) {
    if (flags & FLAG_I) return false;
    const std::uint32_t entry = INTERRUPT_TABLE + 2u * number;
    const std::uint16_t handler = std::uint16_t(memory[entry] | memory[entry + 1] << 8);
    if (handler == 0) return false;

    for (std::uint32_t k = 0; k < CONTEXT_BYTES; ++k) {
        // Each byte is bounded like a push; a context that does not fit turns
        // into a stack overflow on the emptied stack (I is still clear).
        if (std::uint32_t{sp} + k > STACK_LIMIT) {
            sp = STACK_BASE;
            raiseInterrupt(INT_STACK_OVERFLOW);
            return false;
        }
        std::uint8_t byte;
        if (k == 0) {
            byte = flags;
        } else if (k <= 16) {
            byte = registers[k - 1];
            registers[k - 1] = 0;
        } else {
            byte = k == 17 ? std::uint8_t(pc) : std::uint8_t(pc >> 8);
        }
        write(std::uint16_t(sp + k), byte);
    }
    sp = std::uint16_t(sp + CONTEXT_BYTES);
    flags |= FLAG_I;
    pc = handler;
    return true;
}
