// Any machine state: a memory image at any address, registers, flags, PC, SP, timer and a
// pending key, stepped a bounded number of times. Or, with the top bit of the
// first byte, a level set up as the game does (presets, checks, key feeder)
// with the bytes as its program, stepped and then judged. Every step must
// return normally and keep the machine's own bounds (checkedStep); resets and
// level set-ups must give the machine they promise; and Cpu::run must end
// exactly where the same number of single steps ends.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "cpu/cpu.h"
#include "fuzz_host.h"
#include "game/game.h"
#include "levels/game_random.h"

namespace {
constexpr unsigned maxSteps = 2000;

bool sameMachine(const Cpu& a, const Cpu& b) {
    return std::memcmp(a.registers, b.registers, sizeof a.registers) == 0 && a.flags == b.flags && a.pc == b.pc &&
           a.sp == b.sp && a.halted == b.halted && a.pendingKey == b.pendingKey && a.clk == b.clk &&
           std::memcmp(a.memory, b.memory, sizeof a.memory) == 0;
}

bool inStackArea(std::uint16_t sp) { return sp >= STACK_BASE && sp <= STACK_BASE + 0xFF; }

// One step and what must hold across it, whatever the machine held.
void checkedStep(bool keysOnlyTaken) {
    const std::uint16_t pc = cpu.pc, sp = cpu.sp;
    const std::uint8_t flags = cpu.flags, key = cpu.pendingKey;
    cpu.step();
    fuzzCheck(!inStackArea(sp) || inStackArea(cpu.sp), "SP inside the stack area stays there");
    // Pushes stop at the last stack byte; only SLD (Op 3, TYPE 3) sets SP beyond it. SLD
    // does not jump, so its word is just before PC, unless SLD has overwritten it.
    const std::uint16_t word = static_cast<std::uint16_t>(cpu.pc - 4);
    if (sp >= STACK_BASE && sp <= STACK_LIMIT + 1 && cpu.sp > STACK_LIMIT + 1 &&
        !(word >= STACK_BASE - 3 && word <= STACK_BASE + 0xFF))
        fuzzCheck(cpu.memory[word] >> 4 == 3 && (cpu.memory[static_cast<std::uint16_t>(word + 1)] & 0xF) == 3,
                  "SP passes the last stack byte only by SLD");
    if (keysOnlyTaken) fuzzCheck(cpu.pendingKey == key || cpu.pendingKey == 0, "a pending key is taken or kept");
    const bool enteredInterrupt = !(flags & FLAG_I) && (cpu.flags & FLAG_I);
    if (cpu.halted && !enteredInterrupt)
        fuzzCheck(cpu.pc == static_cast<std::uint16_t>(pc + 4), "a halting step leaves PC 4 past its word");
}

// Steps the machine one step at a time, then the same start again with
// Cpu::run in uneven batches: both must end alike, hook state and all (the
// hooks draw from rand(), reseeded for each pass).
void stepAndCheck(unsigned steps, bool keysOnlyTaken) {
    static Cpu start, stepped;
    std::uint8_t scratch[sizeof game.scratch];
    start = cpu;
    std::memcpy(scratch, game.scratch, sizeof scratch);

    gameSrand(steps);
    for (unsigned i = 0; i < steps && !cpu.halted; ++i) checkedStep(keysOnlyTaken);
    stepped = cpu;
    std::uint8_t steppedScratch[sizeof game.scratch];
    std::memcpy(steppedScratch, game.scratch, sizeof steppedScratch);

    cpu = start;
    std::memcpy(game.scratch, scratch, sizeof scratch);
    gameSrand(steps);
    std::uint64_t done = 0;
    for (std::uint64_t batch = 1; done < steps && !cpu.halted; batch = batch * 3 + 1)
        done += cpu.run(std::min<std::uint64_t>(batch, steps - done));
    fuzzCheck(sameMachine(stepped, cpu) && std::memcmp(steppedScratch, game.scratch, sizeof scratch) == 0,
              "Cpu::run ends where the single steps end");

    if (cpu.halted) {
        // A halted machine's step changes nothing.
        std::uint8_t before[16];
        std::memcpy(before, cpu.registers, sizeof before);
        const std::uint16_t pc = cpu.pc;
        cpu.step();
        fuzzCheck(cpu.halted && cpu.pc == pc && std::memcmp(before, cpu.registers, sizeof before) == 0,
                  "a halted step is a no-op");
        fuzzCheck(cpu.run(5) == 0, "a halted machine runs no step");
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
        // A run starts from its presets on a machine that is ready to run.
        fuzzCheck(std::memcmp(cpu.registers, game.presetRegisters, sizeof cpu.registers) == 0 && cpu.pc == 0 &&
                      cpu.flags == 0 && cpu.clk == TIMER_OFF && !cpu.halted && cpu.pendingKey == 0,
                  "a level run starts from its presets");
        const std::size_t length = std::min<std::size_t>(size - std::min(size, in.at), sizeof cpu.memory);
        if (length > 0) std::memcpy(cpu.memory, data + in.at, length);
        stepAndCheck(steps, false); // feeders type keys
        (void)game.runPasses();
        cpu.stepHook = nullptr;
        return 0;
    }

    cpu.reset();
    // Whatever the last input left, reset gives the cold machine.
    fuzzCheck(std::all_of(std::begin(cpu.registers), std::end(cpu.registers), [](std::uint8_t r) { return r == 0; }) &&
                  cpu.flags == 0 && cpu.pc == 0 && cpu.sp == STACK_BASE && cpu.clk == TIMER_OFF && cpu.halted == 1 &&
                  cpu.pendingKey == 0 && !cpu.stepHook &&
                  std::all_of(std::begin(cpu.memory), std::end(cpu.memory), [](std::uint8_t b) { return b == 0; }),
              "reset gives the cold machine");
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
    stepAndCheck(steps, true);
    return 0;
}
