#include "levels/custom_level.h"

#include <algorithm>

#include "asm/asm.h"
#include "cpu/cpu.h"
#include "levels/level_run.h"

namespace {
struct ActiveLevel {
    std::shared_ptr<const CustomLevel> level;
    std::vector<std::uint8_t> reference; // assembled once
    std::string fault;
};
ActiveLevel active;

// The reference's results for one run: the checked registers, then the
// checked memory ranges' bytes one range after another.
struct Expected {
    std::uint8_t registers[16] = {};
    std::vector<std::uint8_t> memory;
};

std::uint8_t drawByte(LevelRun& run, const InputDraw& draw) {
    const unsigned value = static_cast<unsigned>(run.draw());
    switch (draw.kind) {
    case InputDraw::Kind::range: return static_cast<std::uint8_t>(draw.min + value % (draw.max - draw.min + 1u));
    case InputDraw::Kind::values: return draw.values[value % draw.values.size()];
    case InputDraw::Kind::anyByte: break;
    }
    return static_cast<std::uint8_t>(value);
}

// The machine the student's program starts from is kept aside while the
// reference runs (static: 64 KiB is no stack object).
Cpu& parkedMachine() {
    static Cpu parked;
    return parked;
}
} // namespace

void useCustomLevel(std::shared_ptr<const CustomLevel> level) {
    active = {};
    active.level = std::move(level);
    if (!active.level) return;
    const Asm saved = assembler;
    active.reference = assembler.complie(active.level->reference);
    assembler = saved;
}

const CustomLevel* customLevelFor(std::uint16_t level) {
    return level == CUSTOM_LEVEL ? active.level.get() : nullptr;
}

void setUpCustomRun(LevelRun& run, const CustomLevel& level) {
    std::vector<std::pair<std::uint16_t, std::uint8_t>> memory;
    if (run.boundaryRun == 0) {
        for (const RegisterInput& input : level.registers) run.presetRegisters[input.index] = drawByte(run, input.draw);
        for (const MemoryInput& block : level.memory)
            for (std::uint32_t i = 0; i < block.count; ++i)
                memory.push_back({static_cast<std::uint16_t>(block.address + i), drawByte(run, block.draw)});
    } else if (run.boundaryRun <= level.boundary.size()) {
        // The reference must see the given inputs too; the set-up that called
        // this writes them again afterwards, to the same effect.
        const BoundaryRun& given = level.boundary[run.boundaryRun - 1u];
        for (const PresetRegister& preset : given.registers) run.presetRegisters[preset.index & 0xF] = preset.value;
        for (const MemoryBlock& block : given.memory)
            for (std::size_t i = 0; i < block.bytes.size(); ++i)
                memory.push_back({static_cast<std::uint16_t>(block.address + i), block.bytes[i]});
    }

    Cpu& machine = *run.machine;
    Cpu& parked = parkedMachine();
    parked = machine;
    loadProgram(machine, active.reference);
    std::copy(std::begin(run.presetRegisters), std::end(run.presetRegisters), machine.registers);
    for (auto [address, value] : memory) machine.memory[address] = value;
    machine.halted = 0;
    const std::uint64_t limit = level.maxSteps ? level.maxSteps : 10000000;
    machine.run(limit);
    if ((!machine.halted || machine.haltedOnInvalidWord) && active.fault.empty())
        active.fault = (machine.halted ? std::string("the reference halted without hlt on ")
                                   : "the reference did not halt within " + std::to_string(limit) + " steps on ") +
                       (run.boundaryRun ? "boundary run " + std::to_string(run.boundaryRun) : std::string("a random run"));

    auto expected = std::make_shared<Expected>();
    std::copy(std::begin(machine.registers), std::end(machine.registers), expected->registers);
    for (auto [first, last] : level.checkedMemory)
        expected->memory.insert(expected->memory.end(), machine.memory + first, machine.memory + last + 1);
    machine = parked;
    for (auto [address, value] : memory) machine.memory[address] = value;

    const std::uint16_t checkedRegisters = level.checkedRegisters;
    run.registerCheck = [expected, checkedRegisters](std::uint16_t index) -> std::uint16_t {
        return index < 16 && (checkedRegisters >> index & 1) ? expected->registers[index] : NOT_CHECKED;
    };
    if (level.checkedMemory.empty()) return;
    const auto ranges = level.checkedMemory;
    run.memoryCheck = [expected, ranges](std::uint16_t address) -> std::uint16_t {
        std::size_t offset = 0;
        for (auto [first, last] : ranges) {
            if (address >= first && address <= last) return expected->memory[offset + (address - first)];
            offset += static_cast<std::size_t>(last - first) + 1;
        }
        return NOT_CHECKED;
    };
}

std::uint16_t customPresetMask(const CustomLevel& level) {
    std::uint16_t mask = 0;
    for (const RegisterInput& input : level.registers) mask |= static_cast<std::uint16_t>(1u << input.index);
    for (const BoundaryRun& run : level.boundary)
        for (const PresetRegister& preset : run.registers) mask |= static_cast<std::uint16_t>(1u << (preset.index & 0xF));
    return mask;
}

MemoryRange customCheckedMemory(const CustomLevel& level) {
    if (level.checkedMemory.empty()) return everyAddress;
    MemoryRange hull{0xFFFF, 0};
    for (auto [first, last] : level.checkedMemory) {
        hull.first = std::min(hull.first, first);
        hull.last = std::max(hull.last, last);
    }
    return hull;
}

unsigned randomRuns(std::uint16_t level) {
    const CustomLevel* custom = customLevelFor(level);
    return custom ? custom->passes : PASSES_TO_COMPLETE;
}


const std::string& customLevelFault() { return active.fault; }
