#include "cpu/instruction_table.h"

#include <array>

namespace {
using C = InstructionClass;
using O = Operand;

constexpr InstructionInfo none(std::string_view m, std::uint8_t type) {
    return {m, C::None, 0, type, 0, {}, true, true};
}
constexpr InstructionInfo stack(std::string_view m, std::uint8_t type) {
    return {m, C::Stack, 0, type, 1, {O::Rd}, true, true};
}
constexpr InstructionInfo reg(std::string_view m, std::uint8_t type) {
    return {m, C::Reg, 1, type, 3, {O::Rd, O::Rs, O::Rt}, true, true};
}
constexpr InstructionInfo immediate(std::string_view m, std::uint8_t type, bool assembles = true) {
    return {m, C::Immediate, 2, type, 3, {O::Rd, O::Rs, O::Imm}, assembles, true};
}
constexpr InstructionInfo address(std::string_view m, std::uint8_t type) {
    return {m, C::Address, 3, type, 3, {O::Rs, O::Rt, O::Absolute}, true, true};
}
constexpr InstructionInfo difference(std::string_view m, std::uint8_t type) {
    return {m, C::Difference, 3, type, 3, {O::Rs, O::Rt, O::Relative}, true, true};
}
constexpr InstructionInfo memory(std::string_view m, std::uint8_t op) {
    return {m, C::Memory, op, 0, 4, {O::Rd, O::Rs, O::Rt, O::Absolute}, true, true};
}

constexpr InstructionInfo table[] = {
    none("HLT", 1), none("NOP", 2), none("RET", 3), none("IRET", 4),
    stack("PUSH", 5), stack("POP", 6),
    reg("ADD", 1), reg("SUB", 2), reg("MUL", 3), reg("MULH", 4), reg("DIV", 5), reg("MOD", 6),
    reg("SHL", 7), reg("SHR", 8), reg("AND", 9), reg("OR", 0xA), reg("NAND", 0xB), reg("NOR", 0xC),
    reg("XOR", 0xD), reg("XNOR", 0xE),
    // The CPU runs an immediate subtraction, but the assembler offers none:
    // players write x - 5 as x + FB.
    immediate("ADDI", 1), immediate("SUBI", 2, false), immediate("MULI", 3), immediate("MULHI", 4),
    immediate("DIVI", 5), immediate("MODI", 6), immediate("SHLI", 7), immediate("SHRI", 8),
    immediate("ANDI", 9), immediate("ORI", 0xA), immediate("NANDI", 0xB), immediate("NORI", 0xC),
    immediate("XORI", 0xD), immediate("XNORI", 0xE),
    {"ISET", C::Address, 3, 2, 2, {O::Number, O::Absolute}, true, true},
    address("SLD", 3), address("SST", 4), address("SCK", 5),
    difference("CALL", 6), difference("JNV", 8), difference("JGT", 9), difference("JLT", 0xA),
    difference("JEQ", 0xB), difference("JGE", 0xC), difference("JLE", 0xD), difference("JNE", 0xE),
    difference("JMP", 0xF),
    memory("LOAD", 5), memory("STORE", 6), memory("SWAP", 7),
    {"INT", C::Immediate, 2, 0xF, 1, {O::Imm}, true, false},
    {"DTA", C::Directive, 0, 0, 1, {O::Data}, true, false},
    {"LABEL", C::Directive, 0, 0, 1, {O::Name}, true, false},
};

constexpr std::array<bool, 256> buildValidity() {
    std::array<bool, 256> valid{};
    for (const InstructionInfo& info : table)
        if (info.kind != C::Directive) valid[info.op << 4 | info.type] = true;
    return valid;
}
} // namespace

constinit const std::array<bool, 256> validOpType = buildValidity();

std::span<const InstructionInfo> instructionTable() { return table; }

const InstructionInfo* findInstruction(std::string_view mnemonic) {
    for (const InstructionInfo& info : table)
        if (info.assembles && info.mnemonic == mnemonic) return &info;
    return nullptr;
}

std::uint32_t baseWord(const InstructionInfo& info) {
    std::uint32_t op = std::uint32_t{info.op} << 28;
    switch (info.kind) {
    case C::None: return op | 0x01010001 | std::uint32_t{info.type} << 20;
    case C::Stack: return op | 0x01000001 | std::uint32_t{info.type} << 20;
    case C::Reg: return op | info.type;
    case C::Immediate: return op | std::uint32_t{info.type} << 20;
    case C::Address:
    case C::Difference: return op | std::uint32_t{info.type} << 16;
    case C::Memory:
    case C::Directive: return op;
    }
    return op;
}
