// One step: hook, R0 := 0, timer, keyboard, fetch, execute. The common path
// is a few predictable branches and one jump table; interrupts, stack faults
// and invalid words are the rare paths.
//
// Address arithmetic folds modulo 65536 everywhere, including the places
// where a block could run past the top of memory: a fetch at 0xFFFD..0xFFFF
// takes its remaining bytes from 0x0000 upward, and SLD/SST blocks continue
// at 0x0000. An invalid word (any Op/TYPE pair without a row in the
// instruction table) changes nothing but PC before it is reported.
#include "cpu/cpu.h"

#include <cstring>

#include "cpu/instruction_table.h"
#include "shell/messages.h"

namespace {
constexpr std::uint8_t FLAGS_ZCS = FLAG_Z | FLAG_C | FLAG_S;
constexpr std::uint32_t CONTEXT_BYTES = 19; // flags, R0..Rf, PC low, PC high

inline std::uint32_t fetchWord(const Cpu& cpu) {
    std::uint16_t pc = cpu.pc;
    if (pc <= 0xFFFC) [[likely]] {
        std::uint32_t word;
        std::memcpy(&word, cpu.memory + pc, 4);
        return __builtin_bswap32(word);
    }
    return std::uint32_t{cpu.memory[pc]} << 24 | std::uint32_t{cpu.memory[std::uint16_t(pc + 1)]} << 16 |
           std::uint32_t{cpu.memory[std::uint16_t(pc + 2)]} << 8 | cpu.memory[std::uint16_t(pc + 3)];
}

[[gnu::noinline, gnu::cold]] void reportInvalid(Cpu& cpu, std::uint32_t word) {
    consolePrintf("异常：读取到0x%08X！已停机。\n", word);
    if (word == 0) {
        consolePrintf("你是不是没写hlt？\n");
        consolePrintf("是不是写错了地址？\n");
    }
    cpu.halted = 1;
}

[[gnu::noinline]] void tickTimer(Cpu& cpu) {
    if (cpu.clk == 0) {
        if (cpu.raiseInterrupt(INT_TIMER)) cpu.clk = TIMER_OFF;
    } else {
        --cpu.clk;
    }
}

[[gnu::noinline]] void deliverKey(Cpu& cpu) {
    if (!cpu.raiseInterrupt(INT_KEYBOARD)) return;
    try {
        cpu.push(cpu.pendingKey);
        cpu.pendingKey = 0;
    } catch (const StackFault&) {
        // The key stays pending; the overflow interrupt has been raised.
    }
}

void loadStack(Cpu& cpu, std::uint16_t from) {
    std::uint32_t count = cpu.memory[from];
    for (std::uint32_t i = 1; i <= count; ++i)
        cpu.memory[STACK_BASE - 1 + i] = cpu.memory[std::uint16_t(from + i)];
    cpu.sp = std::uint16_t(STACK_BASE + count);
}

void saveStack(Cpu& cpu, std::uint16_t to) {
    std::uint16_t count = std::uint16_t(cpu.sp - STACK_BASE);
    cpu.memory[to] = std::uint8_t(count);
    for (std::uint32_t i = 1; i <= count; ++i)
        cpu.memory[std::uint16_t(to + i)] = cpu.memory[std::uint16_t(STACK_BASE - 1 + i)];
    cpu.sp = STACK_BASE;
}

// The body of Cpu::execute, inlined into the step.
[[gnu::always_inline]] inline void executeWord(Cpu& cpu, std::uint32_t word) {
    const std::uint32_t op = word >> 28;
    const std::uint32_t s = (word >> 24) & 0xF, t = (word >> 20) & 0xF, d = (word >> 16) & 0xF;
    const std::uint8_t imm = word & 0xFF;
    const std::uint16_t self = cpu.pc;
    cpu.pc = std::uint16_t(self + 4);

    const std::uint32_t type = wordType(word);
    if (type >= 16 || !validOpType[op << 4 | type]) [[unlikely]] {
        reportInvalid(cpu, word);
        return;
    }

    // R0 reads as 0 even if an earlier instruction of this step wrote it.
    const std::uint32_t a = s ? cpu.registers[s] : 0;
    const std::uint32_t rt = t ? cpu.registers[t] : 0;
    const std::uint32_t b = op == 2 ? imm : rt;
    const std::uint16_t ea = std::uint16_t((a << 8) + rt + (word & 0xFFFF));
    const std::uint16_t target = std::uint16_t(self + ea);
    const std::uint8_t flags = cpu.flags;
    std::uint32_t full = 0;
    bool carry = false;

    try {
        switch (op << 4 | type) {
        case 0x01: cpu.halted = 1; return;
        case 0x02: return;
        case 0x03: {
            std::uint8_t high = cpu.pop();
            std::uint8_t low = cpu.pop();
            cpu.pc = std::uint16_t(high << 8 | low);
            return;
        }
        case 0x04: {
            std::uint8_t high = cpu.pop();
            std::uint8_t low = cpu.pop();
            cpu.pc = std::uint16_t(high << 8 | low);
            for (int r = 15; r >= 0; --r) cpu.registers[r] = cpu.pop();
            cpu.flags = cpu.pop();
            return;
        }
        case 0x05: cpu.push(d ? cpu.registers[d] : 0); return;
        case 0x06: cpu.registers[d] = cpu.pop(); return;

        case 0x11: case 0x21: full = a + b; carry = full > 0xFF; break;
        case 0x12: case 0x22: full = a - b; carry = a < b; break;
        case 0x13: case 0x23: full = a * b; carry = full > 0xFF; break;
        case 0x14: case 0x24: full = (a * b) >> 8; break;
        case 0x15: case 0x25:
            if (b == 0) [[unlikely]] {
                cpu.flags = flags & ~FLAGS_ZCS;
                cpu.raiseInterrupt(INT_DIVIDE);
                full = 0xFF;
                carry = true;
                break;
            }
            full = a / b;
            break;
        case 0x16: case 0x26:
            if (b == 0) [[unlikely]] {
                cpu.flags = flags & ~FLAGS_ZCS;
                cpu.raiseInterrupt(INT_DIVIDE);
                full = 0;
                break;
            }
            full = a % b;
            break;
        case 0x17: case 0x27: full = a << (b & 31); carry = full > 0xFF; break;
        case 0x18: case 0x28: full = a >> (b & 31); break;
        case 0x19: case 0x29: full = a & b; break;
        case 0x1A: case 0x2A: full = a | b; break;
        case 0x1B: case 0x2B: full = ~(a & b); carry = true; break;
        case 0x1C: case 0x2C: full = ~(a | b); carry = true; break;
        case 0x1D: case 0x2D: full = a ^ b; break;
        case 0x1E: case 0x2E: full = ~(a ^ b); carry = true; break;
        case 0x2F: cpu.raiseInterrupt(imm); return;

        case 0x32: {
            std::uint32_t entry = INTERRUPT_TABLE + 2 * (s << 4 | t);
            cpu.memory[entry] = imm;
            cpu.memory[entry + 1] = std::uint8_t(word >> 8);
            return;
        }
        case 0x33: loadStack(cpu, ea); return;
        case 0x34: saveStack(cpu, ea); return;
        case 0x35: cpu.clk = ea; return;
        case 0x36:
            cpu.push(std::uint8_t(cpu.pc));
            cpu.push(std::uint8_t(cpu.pc >> 8));
            cpu.pc = target;
            return;
        case 0x38: return;
        case 0x39: if (!(flags & (FLAG_Z | FLAG_C))) cpu.pc = target; return;
        case 0x3A: if (flags & FLAG_C) cpu.pc = target; return;
        case 0x3B: if (flags & FLAG_Z) cpu.pc = target; return;
        case 0x3C: if (!(flags & FLAG_C)) cpu.pc = target; return;
        case 0x3D: if (flags & (FLAG_Z | FLAG_C)) cpu.pc = target; return;
        case 0x3E: if (!(flags & FLAG_Z)) cpu.pc = target; return;
        case 0x3F: cpu.pc = target; return;

        case 0x50: cpu.registers[d] = cpu.memory[ea]; return;
        case 0x60: cpu.memory[ea] = d ? cpu.registers[d] : 0; return;
        case 0x70: {
            std::uint8_t held = d ? cpu.registers[d] : 0;
            cpu.registers[d] = cpu.memory[ea];
            cpu.memory[ea] = held;
            return;
        }
        default:
            // Unreachable while the table and this switch agree; a test holds them together.
            reportInvalid(cpu, word);
            return;
        }
    } catch (const StackFault&) {
        // The instruction stops where the fault hit; the interrupt has been raised.
        return;
    }

    // ALU result: Z, C, S from scratch, I kept (the division interrupt may have just set it).
    const std::uint8_t result = std::uint8_t(full);
    cpu.registers[d] = result;
    std::uint8_t next = cpu.flags & ~FLAGS_ZCS;
    if (carry) next |= FLAG_C;
    if (result == 0) next |= FLAG_Z;
    else next |= (result & 0x80) ? FLAG_S : 0;
    cpu.flags = next;
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
    pendingKey = 0;
    stepHook = nullptr;
}

void Cpu::step() {
    if (halted) return;
    if (stepHook) stepHook();
    registers[0] = 0;
    if (clk != TIMER_OFF) [[unlikely]] tickTimer(*this);
    if (pendingKey) [[unlikely]] deliverKey(*this);
    executeWord(*this, fetchWord(*this));
}

void Cpu::execute(std::uint32_t word) { executeWord(*this, word); }

void Cpu::push(std::uint8_t value) {
    if (sp > STACK_LIMIT) {
        sp = STACK_BASE;
        raiseInterrupt(INT_STACK_OVERFLOW);
        throw StackFault{"INT_STACK_OVER"};
    }
    memory[sp] = value;
    sp = std::uint16_t(sp + 1);
}

std::uint8_t Cpu::pop() {
    if (sp <= STACK_BASE) {
        raiseInterrupt(INT_STACK_UNDERFLOW);
        throw StackFault{"INT_STACK_UNDER"};
    }
    sp = std::uint16_t(sp - 1);
    return memory[sp];
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
        memory[std::uint16_t(sp + k)] = byte;
    }
    sp = std::uint16_t(sp + CONTEXT_BYTES);
    flags |= FLAG_I;
    pc = handler;
    return true;
}
