// Any machine state: a memory image at any address, registers, flags, PC, SP, timer and a
// pending key, stepped a bounded number of times. Or, with the top bit of the
// first byte, a level set up as the game does (presets, checks, key feeder)
// with the bytes as its program, stepped and then judged. Every step must
// return normally and keep the machine's own bounds.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "cpu/cpu.h"
#include "fuzz_host.h"
#include "game/game.h"

namespace {
constexpr unsigned maxSteps = 2000;

void stepAndCheck(unsigned steps) {
    for (unsigned i = 0; i < steps && !cpu.halted; ++i) cpu.step();
    if (cpu.halted) {
        // A halted machine's step changes nothing.
        std::uint8_t before[16];
        std::memcpy(before, cpu.registers, sizeof before);
        const std::uint16_t pc = cpu.pc;
        cpu.step();
        fuzzCheck(cpu.halted && cpu.pc == pc && std::memcmp(before, cpu.registers, sizeof before) == 0,
                  "a halted step is a no-op");
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader in{data, size};
    const std::uint8_t mode = in.byte();
    const unsigned steps = in.word() % (maxSteps + 1);

    if (mode & 0x80) {
        game.program.clear();
        game.setLEVEL(static_cast<unsigned short>(mode & 0x3F));
        const std::size_t length = std::min<std::size_t>(size - std::min(size, in.at), sizeof cpu.memory);
        if (length > 0) std::memcpy(cpu.memory, data + in.at, length);
        stepAndCheck(steps);
        (void)game.runPasses();
        cpu.stepHook = nullptr;
        return 0;
    }

    cpu.reset();
    cpu.stepHook = nullptr;
    for (std::uint8_t& r : cpu.registers) r = in.byte();
    cpu.flags = in.byte();
    cpu.pc = in.word();
    cpu.sp = in.word();
    cpu.clk = in.word();
    cpu.pendingKey = in.byte();
    cpu.halted = 0;
    // The image may start anywhere (wrapping at the top), so short inputs reach
    // the screen, the stack and the interrupt table as well as address 0.
    const std::uint16_t base = in.word();
    const std::size_t length = std::min<std::size_t>(size - std::min(size, in.at), sizeof cpu.memory);
    for (std::size_t i = 0; i < length; ++i) cpu.memory[static_cast<std::uint16_t>(base + i)] = data[in.at + i];
    stepAndCheck(steps);
    return 0;
}
