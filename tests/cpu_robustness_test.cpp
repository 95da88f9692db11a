// Whatever a machine holds, stepping it stays inside the machine.
#include <random>

#include "cpu_machine.h"

TEST(CpuRobustness, RandomMachinesNeverEscapeMemory) {
    // Random memory, registers, SP and interrupt table: whatever runs must stay
    // inside the machine (the sanitizer build checks every access).
    freshProgram();
    std::mt19937 random(777);
    for (int round = 0; round < 40; ++round) {
        cpu.reset();
        for (std::uint8_t& byte : cpu.memory) byte = static_cast<std::uint8_t>(random());
        for (std::uint8_t& r : cpu.registers) r = static_cast<std::uint8_t>(random());
        cpu.sp = static_cast<std::uint16_t>(random());
        cpu.pc = static_cast<std::uint16_t>(random());
        cpu.flags = static_cast<std::uint8_t>(random());
        cpu.clk = static_cast<std::uint16_t>(random() % 64);
        cpu.pendingKey = static_cast<std::uint8_t>(random());
        for (int i = 0; i < 20000; ++i) {
            if (cpu.halted) {
                consolePanel.clearText();
                cpu.halted = 0;
            }
            cpu.step();
        }
    }
    SUCCEED();
}
