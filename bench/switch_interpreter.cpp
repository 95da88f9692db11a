#include "switch_interpreter.h"

#include <cstdint>

namespace {
using u8 = std::uint8_t;
using u16 = std::uint16_t;
using u32 = std::uint32_t;

bool enter(Cpu& m, u8 n);

bool push(Cpu& m, u8 v) {
    if (m.sp > 0xFD98) {
        m.sp = 0xFD00;
        enter(m, 3);
        return false;
    }
    m.memory[m.sp++] = v;
    return true;
}

bool pop(Cpu& m, u8& v) {
    if (m.sp <= 0xFD00) {
        enter(m, 4);
        return false;
    }
    v = m.memory[--m.sp];
    return true;
}

bool enter(Cpu& m, u8 n) {
    if (m.flags & 8) return false;
    u16 handler = u16(m.memory[0xFE00 + 2 * n] | m.memory[0xFE01 + 2 * n] << 8);
    if (handler == 0) return false;
    for (u32 k = 0; k < 19; ++k) {
        if (m.sp + k > 0xFD98) {
            m.sp = 0xFD00;
            enter(m, 3);
            return false;
        }
        u8 b;
        if (k == 0) b = m.flags;
        else if (k <= 16) {
            b = m.registers[k - 1];
            m.registers[k - 1] = 0;
        } else if (k == 17) b = u8(m.pc);
        else b = u8(m.pc >> 8);
        m.memory[u16(m.sp + k)] = b;
    }
    m.sp = u16(m.sp + 19);
    m.flags |= 8;
    m.pc = handler;
    return true;
}

void halt(Cpu& m) { m.halted = 1; }

void alu(Cpu& m, u32 type, u32 d, u32 a, u32 b) {
    u32 full = 0;
    bool carry = false;
    m.flags &= 0xF8;
    switch (type) {
    case 1: full = a + b; carry = full > 0xFF; break;
    case 2: full = a - b; carry = a < b; break;
    case 3: full = a * b; carry = full > 0xFF; break;
    case 4: full = (a * b) >> 8; break;
    case 5:
        if (b == 0) {
            enter(m, 2);
            full = 0xFF;
            carry = true;
        } else full = a / b;
        break;
    case 6:
        if (b == 0) {
            enter(m, 2);
            full = 0;
        } else full = a % b;
        break;
    case 7: full = a << (b & 31); carry = full > 0xFF; break;
    case 8: full = a >> (b & 31); break;
    case 9: full = a & b; break;
    case 10: full = a | b; break;
    case 11: full = ~(a & b); carry = true; break;
    case 12: full = ~(a | b); carry = true; break;
    case 13: full = a ^ b; break;
    case 14: full = ~(a ^ b); carry = true; break;
    default: halt(m); return;
    }
    u8 result = u8(full);
    m.registers[d] = result;
    if (carry) m.flags |= 2;
    if (result == 0) m.flags |= 1;
    else if (result & 0x80) m.flags |= 4;
}
} // namespace

void switchStep(Cpu& m) {
    if (m.halted) return;
    if (m.stepHook) m.stepHook();
    m.registers[0] = 0;
    if (m.clk == 0) {
        if (enter(m, 0)) m.clk = 0xFFFF;
    } else if (m.clk != 0xFFFF) {
        --m.clk;
    }
    if (m.pendingKey && enter(m, 1) && push(m, m.pendingKey)) m.pendingKey = 0;

    u32 word = u32(m.memory[m.pc]) << 24 | u32(m.memory[u16(m.pc + 1)]) << 16 | u32(m.memory[u16(m.pc + 2)]) << 8 |
               m.memory[u16(m.pc + 3)];
    u32 op = word >> 28, s = (word >> 24) & 15, t = (word >> 20) & 15, d = (word >> 16) & 15;
    u32 addr = word & 0xFFFF, imm = word & 0xFF;
    u8* R = m.registers;
    u16 self = m.pc;
    u16 ea = u16((R[s] << 8) + R[t] + addr);
    m.pc = u16(m.pc + 4);
    u8 hi, lo;
    switch (op) {
    case 0:
        switch (t) {
        case 1: halt(m); break;
        case 2: break;
        case 3:
            if (pop(m, hi) && pop(m, lo)) m.pc = u16(hi << 8 | lo);
            break;
        case 4:
            if (!pop(m, hi) || !pop(m, lo)) break;
            m.pc = u16(hi << 8 | lo);
            for (int r = 15; r >= 0; --r)
                if (!pop(m, R[r])) return;
            pop(m, m.flags);
            break;
        case 5: push(m, R[d]); break;
        case 6: pop(m, R[d]); break;
        default: halt(m); break;
        }
        break;
    case 1: alu(m, imm, d, R[s], R[t]); break;
    case 2:
        if (t == 15) enter(m, u8(imm));
        else if (t == 0) halt(m);
        else alu(m, t, d, R[s], imm);
        break;
    case 3: {
        bool jump = false;
        switch (d) {
        case 2:
            m.memory[0xFE00 + 2 * (s << 4 | t)] = u8(addr);
            m.memory[0xFE01 + 2 * (s << 4 | t)] = u8(addr >> 8);
            break;
        case 3: {
            u32 n = m.memory[ea];
            for (u32 i = 1; i <= n; ++i) m.memory[0xFCFF + i] = m.memory[u16(ea + i)];
            m.sp = u16(0xFD00 + n);
            break;
        }
        case 4: {
            u32 n = u32(m.sp - 0xFD00) & 0xFFFF;
            m.memory[ea] = u8(n);
            for (u32 i = 1; i <= n; ++i) m.memory[u16(ea + i)] = m.memory[u16(0xFCFF + i)];
            m.sp = 0xFD00;
            break;
        }
        case 5: m.clk = ea; break;
        case 6:
            if (push(m, u8(m.pc)) && push(m, u8(m.pc >> 8))) m.pc = u16(self + ea);
            break;
        case 8: break;
        case 9: jump = !(m.flags & 3); break;
        case 10: jump = m.flags & 2; break;
        case 11: jump = m.flags & 1; break;
        case 12: jump = !(m.flags & 2); break;
        case 13: jump = m.flags & 3; break;
        case 14: jump = !(m.flags & 1); break;
        case 15: jump = true; break;
        default: halt(m); break;
        }
        if (jump) m.pc = u16(self + ea);
        break;
    }
    case 5: R[d] = m.memory[ea]; break;
    case 6: m.memory[ea] = R[d]; break;
    case 7: {
        u8 held = R[d];
        R[d] = m.memory[ea];
        m.memory[ea] = held;
        break;
    }
    default: halt(m); break;
    }
}
