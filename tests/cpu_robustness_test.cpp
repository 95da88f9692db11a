// Whatever a machine holds, stepping it stays inside the machine.
#include <algorithm>
#include <cstring>
#include <random>
#include <tuple>

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
