// Cpu::run: the steps of Cpu::step in one loop that keeps PC and the step
// budget in machine registers and ends every instruction with its own
// indirect jump to the next one (computed goto), so each jump predicts on its own.
//
// Decoding is memoised per address: decodedAt[a] holds the four bytes last
// decoded at a, with their handler and fields. A fetch compares the memo with
// the bytes memory holds now, so writes from anywhere (the CPU, the loader, a
// level's hook, tests) need no invalidation; a changed word is decoded afresh.
// The memo starts as all-zero words, and the zero word is the invalid handler 0.
//
// The loop has two bodies: a plain one (no hook, timer off, no key pending),
// which returns after an SCK that armed the timer, and one that runs the
// hook, the timer and the keyboard before each fetch, as the step does, and
// returns once none of them is left.
#include <cstring>

#include "cpu/cpu.h"
#include "cpu/cpu_internal.h"
#include "cpu/instruction_table.h"

using namespace cpu_detail;

namespace {

#define CPU_HANDLERS(X)                                                                                          \
    X(Invalid) X(Hlt) X(Nop) X(Ret) X(Iret) X(Push) X(Pop)                                                       \
    X(AddR) X(SubR) X(MulR) X(MulhR) X(DivR) X(ModR) X(ShlR) X(ShrR) X(AndR) X(OrR) X(NandR) X(NorR) X(XorR)     \
    X(XnorR)                                                                                                     \
    X(AddI) X(SubI) X(MulI) X(MulhI) X(DivI) X(ModI) X(ShlI) X(ShrI) X(AndI) X(OrI) X(NandI) X(NorI) X(XorI)     \
    X(XnorI) X(Int)                                                                                              \
    X(Iset) X(Sld) X(Sst) X(Sck) X(Call) X(Jnv) X(Jgt) X(Jlt) X(Jeq) X(Jge) X(Jle) X(Jne) X(Jmp)                 \
    X(Load) X(Store) X(Swap)

enum Handler : std::uint8_t {
#define X(name) H_##name,
    CPU_HANDLERS(X)
#undef X
};
constexpr std::uint8_t NO_HANDLER = H_Invalid;

// Op << 4 | TYPE to handler; the enum follows the TYPE order within each class.
constexpr std::uint8_t handlerOfKey(std::uint32_t key) {
    const std::uint32_t op = key >> 4, type = key & 0xF;
    switch (op) {
    case 0: return type >= 1 && type <= 6 ? std::uint8_t(H_Hlt + type - 1) : NO_HANDLER;
    case 1: return type >= 1 && type <= 14 ? std::uint8_t(H_AddR + type - 1) : NO_HANDLER;
    case 2: return type >= 1 ? std::uint8_t(H_AddI + type - 1) : NO_HANDLER; // TYPE F is INT
    case 3:
        if (type >= 2 && type <= 6) return std::uint8_t(H_Iset + type - 2);
        return type >= 8 ? std::uint8_t(H_Jnv + type - 8) : NO_HANDLER;
    case 5: return type == 0 ? std::uint8_t(H_Load) : NO_HANDLER;
    case 6: return type == 0 ? std::uint8_t(H_Store) : NO_HANDLER;
    case 7: return type == 0 ? std::uint8_t(H_Swap) : NO_HANDLER;
    default: return NO_HANDLER;
    }
}

// The handlers cover exactly the instruction table's rows.
constexpr bool handlersMatchTable() {
    for (std::uint32_t key = 0; key < 256; ++key)
        if ((handlerOfKey(key) != H_Invalid) != validOpType[key]) return false;
    return handlerOfKey(0x2F) == H_Int && handlerOfKey(0x36) == H_Call && handlerOfKey(0x1E) == H_XnorR;
}
static_assert(handlersMatchTable());

struct Decoded {
    std::uint32_t raw; // the word's four bytes in memory order
    std::uint8_t handler;
    std::uint8_t d, s, t;
    std::uint16_t addr; // Addr; Imm is its low byte
    std::uint8_t key;   // Op << 4 | TYPE, 0 when invalid
};

Decoded decodedAt[65536];

void decode(Decoded& e, std::uint32_t word) {
    e.raw = __builtin_bswap32(word);
    e.key = std::uint8_t(keyOf(word));
    e.handler = handlerOfKey(e.key);
    e.s = (word >> 24) & 0xF;
    e.t = (word >> 20) & 0xF;
    e.d = (word >> 16) & 0xF;
    e.addr = std::uint16_t(word);
}

template <bool withWork>
std::uint64_t interpret(Cpu& cpu, const std::uint64_t budget) {
    static const void* const labels[] = {
#define X(name) &&do_##name,
        CPU_HANDLERS(X)
#undef X
    };
    std::uint8_t* const R = cpu.registers;
    const std::uint8_t* const M = cpu.memory;
    std::uint64_t left = budget;
    std::uint32_t pc = cpu.pc, self = 0, next = 0;
    const Decoded* e = nullptr;
    Decoded wrapped;

    // One step's start: budget, per-step work (hook, R0 := 0, timer, key),
    // then R0 := 0, fetch through the memo and jump to the handler. Every
    // handler ends with its own copy.
#define DISPATCH()                                                                                               \
    do {                                                                                                         \
        if (left == 0) [[unlikely]] goto out;                                                                    \
        if constexpr (withWork) {                                                                                \
            if (cpu.halted) goto out; /* a hook may halt the machine */                                          \
            if (cpu.stepHook) {                                                                                  \
                cpu.pc = std::uint16_t(pc);                                                                      \
                cpu.stepHook();                                                                                  \
                pc = cpu.pc;                                                                                     \
            } else if (cpu.clk == TIMER_OFF && !cpu.pendingKey) {                                                \
                goto out; /* nothing per step left: the plain body takes over */                                 \
            }                                                                                                    \
            R[0] = 0;                                                                                            \
            if (cpu.clk != TIMER_OFF) {                                                                          \
                if (cpu.clk == 0 || cpu.pendingKey) [[unlikely]] goto interrupts;                                \
                --cpu.clk;                                                                                       \
            } else if (cpu.pendingKey) [[unlikely]] {                                                            \
                goto interrupts;                                                                                 \
            }                                                                                                    \
        }                                                                                                        \
        --left;                                                                                                  \
        FETCH();                                                                                                 \
    } while (0)
#define FETCH()                                                                                                  \
    do {                                                                                                         \
        R[0] = 0;                                                                                                \
        self = pc;                                                                                               \
        next = (pc + 4) & 0xFFFF;                                                                                \
        if (pc > 0xFFFC) [[unlikely]] goto fetchWrapped;                                                         \
        e = &decodedAt[pc];                                                                                      \
        std::uint32_t raw;                                                                                       \
        std::memcpy(&raw, M + pc, 4);                                                                            \
        if (raw != e->raw) [[unlikely]] goto redecode;                                                           \
        goto* labels[e->handler];                                                                                \
    } while (0)
#define EA() (((std::uint32_t{R[e->s]} << 8) + R[e->t] + e->addr) & 0xFFFF)
#define IMM() std::uint32_t(e->addr & 0xFF)
#define ALU(name, B, full, carry)                                                                                \
    do_##name : {                                                                                                \
        const std::uint32_t a = R[e->s], b = B;                                                                  \
        writeAluResult(cpu, e->d, full, carry);                                                                  \
        pc = next;                                                                                               \
        DISPATCH();                                                                                              \
    }
#define ALU_PAIR(name, full, carry) ALU(name##R, R[e->t], full, carry) ALU(name##I, IMM(), full, carry)
#define JUMP_IF(name, taken)                                                                                     \
    do_##name : pc = (taken) ? (self + EA()) & 0xFFFF : next;                                                    \
    DISPATCH();

    DISPATCH();

redecode:
    cpu.pc = std::uint16_t(self);
    decode(decodedAt[self], fetchWord(cpu));
    e = &decodedAt[self];
    goto* labels[e->handler];

fetchWrapped:
    cpu.pc = std::uint16_t(self);
    decode(wrapped, fetchWord(cpu));
    e = &wrapped;
    goto* labels[e->handler];

interrupts: __attribute__((unused)); // the timer's or the keyboard's turn, as the step does it
    cpu.pc = std::uint16_t(pc);
    if (cpu.clk != TIMER_OFF) tickTimer(cpu);
    if (cpu.pendingKey) deliverKey(cpu);
    pc = cpu.pc;
    --left;
    FETCH();

rare: // stack faults, interrupts, division by zero: the single-step code
    cpu.pc = std::uint16_t(next);
    executeRare(cpu, __builtin_bswap32(e->raw), e->key, std::uint16_t(self));
    pc = cpu.pc;
    DISPATCH();

do_Invalid:
    cpu.pc = std::uint16_t(next);
    reportInvalid(cpu, __builtin_bswap32(e->raw));
    return budget - left;
do_Hlt:
    cpu.halted = 1;
    cpu.haltedOnInvalidWord = 0;
    pc = next;
    goto out;
do_Nop:
    pc = next;
    DISPATCH();
do_Ret:
    if (cpu.sp < STACK_BASE + 2) goto rare;
    pc = std::uint32_t{M[cpu.sp - 1]} << 8 | M[cpu.sp - 2];
    cpu.sp = std::uint16_t(cpu.sp - 2);
    DISPATCH();
do_Iret:
do_Int:
    goto rare;
do_Push:
    if (cpu.sp > STACK_LIMIT) goto rare;
    cpu.write(cpu.sp, R[e->d]);
    cpu.sp = std::uint16_t(cpu.sp + 1);
    pc = next;
    DISPATCH();
do_Pop:
    if (cpu.sp <= STACK_BASE) goto rare;
    cpu.sp = std::uint16_t(cpu.sp - 1);
    R[e->d] = M[cpu.sp];
    pc = next;
    DISPATCH();

    ALU_PAIR(Add, a + b, a + b > 0xFF)
    ALU_PAIR(Sub, a - b, a < b)
    ALU_PAIR(Mul, a * b, a * b > 0xFF)
    ALU_PAIR(Mulh, (a * b) >> 8, false)
    ALU_PAIR(Shl, a << (b & 31), (a << (b & 31)) > 0xFF)
    ALU_PAIR(Shr, a >> (b & 31), false)
    ALU_PAIR(And, a & b, false)
    ALU_PAIR(Or, a | b, false)
    ALU_PAIR(Nand, ~(a & b), true)
    ALU_PAIR(Nor, ~(a | b), true)
    ALU_PAIR(Xor, a ^ b, false)
    ALU_PAIR(Xnor, ~(a ^ b), true)
do_DivR:
do_DivI:
do_ModR:
do_ModI: {
    const std::uint32_t a = R[e->s], b = e->handler <= H_ModR ? R[e->t] : IMM();
    if (b == 0) goto rare; // the interrupt comes before the result
    const bool divide = e->handler == H_DivR || e->handler == H_DivI;
    writeAluResult(cpu, e->d, divide ? a / b : a % b, false);
    pc = next;
    DISPATCH();
}

do_Iset: {
    const std::uint32_t entry = INTERRUPT_TABLE + 2 * (std::uint32_t{e->s} << 4 | e->t);
    cpu.write(std::uint16_t(entry), std::uint8_t(e->addr));
    cpu.write(std::uint16_t(entry + 1), std::uint8_t(e->addr >> 8));
    pc = next;
    DISPATCH();
}
do_Sld:
    loadStack(cpu, std::uint16_t(EA()));
    pc = next;
    DISPATCH();
do_Sst:
    saveStack(cpu, std::uint16_t(EA()));
    pc = next;
    DISPATCH();
do_Sck:
    cpu.clk = std::uint16_t(EA());
    pc = next;
    if constexpr (!withWork) {
        if (cpu.clk != TIMER_OFF) goto out; // the timer now needs the per-step body
    }
    DISPATCH();
do_Call: {
    if (cpu.sp > STACK_LIMIT - 1) goto rare; // one of the two pushes would fault
    const std::uint32_t target = (self + EA()) & 0xFFFF;
    cpu.write(cpu.sp, std::uint8_t(next));
    cpu.write(std::uint16_t(cpu.sp + 1), std::uint8_t(next >> 8));
    cpu.sp = std::uint16_t(cpu.sp + 2);
    pc = target;
    DISPATCH();
}
do_Jnv:
    pc = next;
    DISPATCH();
    JUMP_IF(Jgt, !(cpu.flags & (FLAG_Z | FLAG_C)))
    JUMP_IF(Jlt, cpu.flags & FLAG_C)
    JUMP_IF(Jeq, cpu.flags & FLAG_Z)
    JUMP_IF(Jge, !(cpu.flags & FLAG_C))
    JUMP_IF(Jle, cpu.flags & (FLAG_Z | FLAG_C))
    JUMP_IF(Jne, !(cpu.flags & FLAG_Z))
    JUMP_IF(Jmp, true)

do_Load:
    R[e->d] = M[EA()];
    pc = next;
    DISPATCH();
do_Store:
    cpu.write(std::uint16_t(EA()), R[e->d]);
    pc = next;
    DISPATCH();
do_Swap: {
    const std::uint16_t at = std::uint16_t(EA());
    const std::uint8_t held = R[e->d];
    R[e->d] = M[at];
    cpu.write(at, held);
    pc = next;
    DISPATCH();
}

out:
    cpu.pc = std::uint16_t(pc);
    return budget - left;
#undef DISPATCH
#undef FETCH
#undef EA
#undef IMM
#undef ALU
#undef ALU_PAIR
#undef JUMP_IF
}

} // namespace

std::uint64_t Cpu::run(std::uint64_t maxSteps, StopTest stopAfter, void* context) {
    std::uint64_t done = 0;
    if (stopAfter) {
        // Breakpoints: the stop test needs the state after every single step.
        while (done < maxSteps && !halted) {
            step();
            ++done;
            if (stopAfter(context)) break;
        }
        return done;
    }
    while (done < maxSteps && !halted) {
        const bool work = stepHook || clk != TIMER_OFF || pendingKey;
        done += work ? interpret<true>(*this, maxSteps - done) : interpret<false>(*this, maxSteps - done);
    }
    return done;
}
