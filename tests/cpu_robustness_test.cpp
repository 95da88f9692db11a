// Whatever a machine holds, stepping it stays inside the machine.
#include <algorithm>
#include <cstring>
#include <random>
#include <tuple>

#include "cpu/instruction_table.h"

#include "cpu_machine.h"

namespace {
// Everything a step may change, memory aside.
struct Machine {
    std::uint8_t registers[16];
    std::uint8_t flags, halted, pendingKey;
    std::uint16_t pc, sp, clk;

    static Machine now() {
        Machine m{};
        std::memcpy(m.registers, cpu.registers, sizeof m.registers);
        m.flags = cpu.flags, m.halted = cpu.halted, m.pendingKey = cpu.pendingKey;
        m.pc = cpu.pc, m.sp = cpu.sp, m.clk = cpu.clk;
        return m;
    }
    bool operator==(const Machine& o) const {
        return std::memcmp(registers, o.registers, sizeof registers) == 0 &&
               std::tie(flags, halted, pendingKey, pc, sp, clk) == std::tie(o.flags, o.halted, o.pendingKey, o.pc, o.sp, o.clk);
    }
};

// SP from the empty stack up to what SLD can set (0xFD00 + 0xFF).
bool inStackArea(std::uint16_t sp) { return sp >= STACK_BASE && sp <= STACK_BASE + 0xFF; }

void expectColdMachine() {
    EXPECT_TRUE(std::all_of(std::begin(cpu.registers), std::end(cpu.registers), [](std::uint8_t r) { return r == 0; }));
    EXPECT_EQ(cpu.flags, 0);
    EXPECT_EQ(cpu.pc, 0x0000);
    EXPECT_EQ(cpu.sp, STACK_BASE);
    EXPECT_EQ(cpu.clk, TIMER_OFF);
    EXPECT_TRUE(std::all_of(std::begin(cpu.memory), std::end(cpu.memory), [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(cpu.halted, 1);
    EXPECT_EQ(cpu.pendingKey, 0);
    EXPECT_FALSE(cpu.stepHook);
}
} // namespace

TEST(CpuRobustness, RandomMachinesNeverEscapeMemory) {
    // Random memory, registers, SP, timer, key and interrupt table: whatever runs
    // must stay inside the machine (the sanitizer build checks every access), and
    // at every step: the hook runs once per running step and never on a halted
    // one; a halted step changes nothing; a stack pointer inside the stack area
    // never leaves it, and rises past the last stack byte only by SLD; a pending key is taken or kept, never changed; a step that
    // halts without entering an interrupt leaves PC 4 past the word it fetched.
    // After each machine, reset brings back the cold machine.
    freshProgram();
    std::mt19937 random(777);
    int hookCalls = 0;
    long haltingSteps = 0, stackAreaSteps = 0, keysTaken = 0;
    for (int round = 0; round < 40; ++round) {
        cpu.reset();
        expectColdMachine();
        for (std::uint8_t& byte : cpu.memory) byte = static_cast<std::uint8_t>(random());
        for (std::uint8_t& r : cpu.registers) r = static_cast<std::uint8_t>(random());
        // Half the machines start with SP in the stack area, the rest anywhere.
        cpu.sp = static_cast<std::uint16_t>(round % 2 ? random() : STACK_BASE + random() % 0x100);
        cpu.pc = static_cast<std::uint16_t>(random());
        cpu.flags = static_cast<std::uint8_t>(random());
        cpu.clk = static_cast<std::uint16_t>(random() % 64);
        cpu.pendingKey = static_cast<std::uint8_t>(random());
        cpu.stepHook = [&hookCalls] { ++hookCalls; };
        bool memoryCompared = false;
        for (int i = 0; i < 20000; ++i) {
            if (cpu.halted) {
                consolePanel.clearText();
                cpu.halted = 0;
            }
            const Machine before = Machine::now();
            const int callsBefore = hookCalls;
            cpu.step();
            const Machine after = Machine::now();
            ASSERT_EQ(hookCalls, callsBefore + 1) << "round " << round << " step " << i;
            if (inStackArea(before.sp)) {
                ++stackAreaSteps;
                ASSERT_TRUE(inStackArea(after.sp)) << std::hex << "SP " << before.sp << " became " << after.sp;
            }
            // Pushes stop at the last stack byte; only SLD (Op 3, TYPE 3) sets SP beyond it.
            // SLD does not jump, so its word lies just before the new PC (unless it
            // lay in the stack area and SLD has just overwritten it).
            const std::uint16_t word = std::uint16_t(after.pc - 4);
            if (before.sp >= STACK_BASE && before.sp <= STACK_LIMIT + 1 && after.sp > STACK_LIMIT + 1 &&
                !(word >= STACK_BASE - 3 && word <= STACK_BASE + 0xFF)) {
                ASSERT_TRUE(cpu.memory[word] >> 4 == 3 && (cpu.memory[std::uint16_t(word + 1)] & 0xF) == 3)
                    << std::hex << "SP " << before.sp << " became " << after.sp << " without SLD";
            }
            ASSERT_TRUE(after.pendingKey == before.pendingKey || after.pendingKey == 0);
            if (before.pendingKey && !after.pendingKey) ++keysTaken;
            if (!after.halted) continue;

            ++haltingSteps;
            const bool enteredInterrupt = !(before.flags & I) && (after.flags & I);
            if (!enteredInterrupt) {
                ASSERT_EQ(after.pc, std::uint16_t(before.pc + 4)) << "round " << round << " step " << i;
            }
            // The whole memory is compared at the first halt of each machine only: it is large.
            static std::uint8_t memory[sizeof cpu.memory];
            if (!memoryCompared) std::memcpy(memory, cpu.memory, sizeof memory);
            cpu.step();
            ASSERT_EQ(hookCalls, callsBefore + 1) << "a halted step ran the hook";
            ASSERT_TRUE(Machine::now() == after) << "a halted step changed the machine";
            if (!memoryCompared) {
                ASSERT_EQ(std::memcmp(memory, cpu.memory, sizeof memory), 0) << "a halted step wrote memory";
            }
            memoryCompared = true;
        }
    }
    cpu.reset();
    expectColdMachine();
    // The invariants above were met often enough to mean something.
    EXPECT_GT(haltingSteps, 10000);
    EXPECT_GT(stackAreaSteps, 10000);
    EXPECT_GT(keysTaken, 10);
}

namespace {
// A random word of a random row of the instruction table, with random fields;
// jumps and calls land near themselves, and now and then a word is invalid.
std::uint32_t randomWord(std::mt19937& random) {
    if (random() % 40 == 0) return static_cast<std::uint32_t>(random()); // mostly invalid
    const auto table = instructionTable();
    const InstructionInfo* row;
    do row = &table[random() % table.size()];
    while (row->kind == InstructionClass::Directive || (row->mnemonic == "HLT" && random() % 4 != 0));
    std::uint32_t word = baseWord(*row);
    const std::uint32_t s = random() % 16, t = random() % 16, d = random() % 16;
    switch (row->kind) {
    case InstructionClass::Stack: word |= d << 16; break;
    case InstructionClass::Reg: word |= s << 24 | t << 20 | d << 16; break;
    case InstructionClass::Immediate:
        word |= (row->type == 0xF ? 0 : s << 24 | d << 16) | (random() % 256);
        if (row->type == 0xF) word = (word & ~0xFFu) | (random() % 6); // INT 0..5
        break;
    case InstructionClass::Address:
        word |= (random() % 2 ? s << 24 | t << 20 : 0) | (row->type == 5 ? random() % 12 : random() % 0x10000);
        if (row->type == 2) word = (word & 0xFF0F0000) | (random() % 0x40 * 4); // ISET n, a handler in the program
        break;
    case InstructionClass::Difference: word |= (random() % 2 ? t << 20 : 0) | ((random() % 32 - 16) * 4 & 0xFFFF); break;
    case InstructionClass::Memory: word |= s << 24 | t << 20 | d << 16 | (random() % 0x10000); break;
    default: break;
    }
    return word;
}

void putWord(std::uint16_t at, std::uint32_t word) {
    for (int i = 0; i < 4; ++i) cpu.memory[static_cast<std::uint16_t>(at + i)] = static_cast<std::uint8_t>(word >> (24 - 8 * i));
}

struct MachineAfter {
    std::vector<std::uint8_t> state; // registers, flags, PC, SP, halted, key, CLK, then memory
    std::vector<std::string> console;
    std::uint64_t hookCalls;
};

MachineAfter machineAfter(std::uint64_t hookCalls) {
    MachineAfter after{{}, consoleRows(), hookCalls};
    after.state.assign(cpu.registers, cpu.registers + 16);
    for (unsigned v : {unsigned{cpu.flags}, unsigned{cpu.pc}, unsigned{cpu.pc} >> 8, unsigned{cpu.sp}, unsigned{cpu.sp} >> 8,
                       unsigned{cpu.halted}, unsigned{cpu.pendingKey}, unsigned{cpu.clk}, unsigned{cpu.clk} >> 8})
        after.state.push_back(static_cast<std::uint8_t>(v));
    after.state.insert(after.state.end(), cpu.memory, cpu.memory + sizeof cpu.memory);
    return after;
}
} // namespace

TEST(CpuRobustness, RunEndsWhereSingleStepsEnd) {
    // Random programs of real instructions with handlers for every interrupt,
    // a stack near either end, the timer, keys, invalid words and code at the
    // top of memory; half of them with a hook that presses keys and rewrites
    // code under the running program, and rarely halts the machine. Cpu::run in uneven batches must leave
    // exactly the machine, console and hook calls that single steps leave.
    std::mt19937 random(2024);
    for (int round = 0; round < 300; ++round) {
        const unsigned seed = static_cast<unsigned>(random());
        const bool withHook = round % 2 == 1;
        const int steps = 3000;
        MachineAfter results[2];
        for (int pass = 0; pass < 2; ++pass) {
            std::mt19937 setup(seed);
            freshProgram();
            consolePanel.clearText();
            for (std::uint16_t at = 0; at < 0x100; at += 4) putWord(at, randomWord(setup));
            for (std::uint16_t at = 0xFFF0; at >= 0xFFF0; at = static_cast<std::uint16_t>(at + 4)) putWord(at, randomWord(setup));
            for (unsigned n = 0; n < 5; ++n)
                if (setup() % 4) cpu.memory[INTERRUPT_TABLE + 2 * n] = static_cast<std::uint8_t>(setup() % 0x40 * 4);
            for (std::uint8_t& r : cpu.registers) r = static_cast<std::uint8_t>(setup() % 3 == 0 ? setup() : setup() % 4);
            const unsigned spChoice = setup() % 3;
            cpu.sp = static_cast<std::uint16_t>(spChoice == 0 ? 0xFD00 + setup() % 3 : spChoice == 1 ? 0xFD80 + setup() % 0x1C : 0xFD00 + setup() % 0x9A);
            cpu.pc = static_cast<std::uint16_t>(setup() % 8 == 0 ? 0xFFF0 + setup() % 16 : setup() % 0x40 * 4);
            cpu.clk = static_cast<std::uint16_t>(setup() % 2 ? TIMER_OFF : setup() % 40);
            cpu.pendingKey = static_cast<std::uint8_t>(setup() % 3 == 0 ? setup() : 0);
            cpu.halted = 0;
            std::uint64_t hookCalls = 0;
            std::mt19937 hookRandom(seed);
            if (withHook)
                cpu.stepHook = [&] {
                    ++hookCalls;
                    if (hookRandom() % 16 == 0) cpu.pendingKey = static_cast<std::uint8_t>(hookRandom());
                    if (hookRandom() % 8 == 0) putWord(static_cast<std::uint16_t>(cpu.pc + hookRandom() % 3 * 4), randomWord(hookRandom));
                    if (hookRandom() % 1000 == 0) cpu.halted = 1; // the step still runs its instruction
                };
            if (pass == 0) {
                for (int i = 0; i < steps && !cpu.halted; ++i) cpu.step();
            } else {
                std::uint64_t done = 0;
                for (std::uint64_t batch = setup() % 5 + 1; done < steps && !cpu.halted; batch = batch * 2 + setup() % 7)
                    done += cpu.run(std::min<std::uint64_t>(batch, steps - done));
            }
            results[pass] = machineAfter(hookCalls);
            cpu.stepHook = nullptr;
        }
        ASSERT_EQ(results[0].console, results[1].console) << "round " << round;
        ASSERT_EQ(results[0].hookCalls, results[1].hookCalls) << "round " << round;
        ASSERT_TRUE(results[0].state == results[1].state) << "round " << round;
    }
}
