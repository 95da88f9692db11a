// The instruction set as data: one row per mnemonic with its class, Op, TYPE
// and operands. The assembler encodes from it, the CPU derives which words are
// valid from it, and the manual can list it. Nothing else spells out mnemonics.
//
//   const InstructionInfo* info = findInstruction("ADDI");
//   std::uint32_t word = baseWord(*info) | ...operand fields...;
//   bool ok = isValidWord(word);
#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <string_view>

enum class InstructionClass : std::uint8_t {
    None,       // Op 0, TYPE in Rt, no operand
    Stack,      // Op 0, TYPE in Rt, one register in Rd
    Reg,        // Op 1, TYPE in AddrL8
    Immediate,  // Op 2, TYPE in Rt
    Address,    // Op 3, TYPE in Rd, absolute Addr
    Difference, // Op 3, TYPE in Rd, Addr relative to the instruction
    Memory,     // Op 5..7, no TYPE
    Directive,  // assembler-only lines (DTA, LABEL): no word
};

// Where an operand token goes, which also fixes the parser that reads it.
enum class Operand : std::uint8_t {
    Rd,       // register
    Rs,       // register
    Rt,       // register
    Imm,      // byte, into AddrL8
    Number,   // byte, split over Rs (high nibble) and Rt (low nibble)
    Absolute, // address or label, into Addr
    Relative, // address, or label distance from the instruction, into Addr
    Data,     // byte, emitted on its own (DTA)
    Name,     // label name (LABEL)
};

struct InstructionInfo {
    std::string_view mnemonic;
    InstructionClass kind;
    std::uint8_t op;
    std::uint8_t type;
    std::uint8_t operandCount;
    Operand operands[4];
    bool assembles;        // false: a word the CPU runs but no source line produces (SUBI)
    bool listedInManual;   // INT and the directives have no manual entry
};

// Row builders, one per class, filling in the class's operands.
namespace instruction_rows {
constexpr InstructionInfo noneRow(std::string_view m, std::uint8_t type) {
    return {m, InstructionClass::None, 0, type, 0, {}, true, true};
}
constexpr InstructionInfo stackRow(std::string_view m, std::uint8_t type) {
    return {m, InstructionClass::Stack, 0, type, 1, {Operand::Rd}, true, true};
}
constexpr InstructionInfo regRow(std::string_view m, std::uint8_t type) {
    return {m, InstructionClass::Reg, 1, type, 3, {Operand::Rd, Operand::Rs, Operand::Rt}, true, true};
}
constexpr InstructionInfo immediateRow(std::string_view m, std::uint8_t type, bool assembles = true) {
    return {m, InstructionClass::Immediate, 2, type, 3, {Operand::Rd, Operand::Rs, Operand::Imm}, assembles, true};
}
constexpr InstructionInfo addressRow(std::string_view m, std::uint8_t type) {
    return {m, InstructionClass::Address, 3, type, 3, {Operand::Rs, Operand::Rt, Operand::Absolute}, true, true};
}
constexpr InstructionInfo differenceRow(std::string_view m, std::uint8_t type) {
    return {m, InstructionClass::Difference, 3, type, 3, {Operand::Rs, Operand::Rt, Operand::Relative}, true, true};
}
constexpr InstructionInfo memoryRow(std::string_view m, std::uint8_t op) {
    return {m, InstructionClass::Memory, op, 0, 4, {Operand::Rd, Operand::Rs, Operand::Rt, Operand::Absolute}, true, true};
}
} // namespace instruction_rows

// In manual order (None, Stack, Reg, Immediate, Address, Difference, Memory),
// then INT and the directives.
namespace instruction_rows {
inline constexpr InstructionInfo rows[] = {
    noneRow("HLT", 1), noneRow("NOP", 2), noneRow("RET", 3), noneRow("IRET", 4),
    stackRow("PUSH", 5), stackRow("POP", 6),
    regRow("ADD", 1), regRow("SUB", 2), regRow("MUL", 3), regRow("MULH", 4), regRow("DIV", 5), regRow("MOD", 6),
    regRow("SHL", 7), regRow("SHR", 8), regRow("AND", 9), regRow("OR", 0xA), regRow("NAND", 0xB), regRow("NOR", 0xC),
    regRow("XOR", 0xD), regRow("XNOR", 0xE),
    // The CPU runs an immediate subtraction, but the assembler offers none:
    // players write x - 5 as x + FB.
    immediateRow("ADDI", 1), immediateRow("SUBI", 2, false), immediateRow("MULI", 3), immediateRow("MULHI", 4),
    immediateRow("DIVI", 5), immediateRow("MODI", 6), immediateRow("SHLI", 7), immediateRow("SHRI", 8),
    immediateRow("ANDI", 9), immediateRow("ORI", 0xA), immediateRow("NANDI", 0xB), immediateRow("NORI", 0xC),
    immediateRow("XORI", 0xD), immediateRow("XNORI", 0xE),
    {"ISET", InstructionClass::Address, 3, 2, 2, {Operand::Number, Operand::Absolute}, true, true},
    addressRow("SLD", 3), addressRow("SST", 4), addressRow("SCK", 5),
    differenceRow("CALL", 6), differenceRow("JNV", 8), differenceRow("JGT", 9), differenceRow("JLT", 0xA),
    differenceRow("JEQ", 0xB), differenceRow("JGE", 0xC), differenceRow("JLE", 0xD), differenceRow("JNE", 0xE),
    differenceRow("JMP", 0xF),
    memoryRow("LOAD", 5), memoryRow("STORE", 6), memoryRow("SWAP", 7),
    {"INT", InstructionClass::Immediate, 2, 0xF, 1, {Operand::Imm}, true, false},
    {"DTA", InstructionClass::Directive, 0, 0, 1, {Operand::Data}, true, false},
    {"LABEL", InstructionClass::Directive, 0, 0, 1, {Operand::Name}, true, false},
};

constexpr std::array<bool, 256> buildValidity() {
    std::array<bool, 256> valid{};
    for (const InstructionInfo& info : rows)
        if (info.kind != InstructionClass::Directive) valid[info.op << 4 | info.type] = true;
    return valid;
}
} // namespace instruction_rows

inline constexpr std::span<const InstructionInfo> instructionTable() { return instruction_rows::rows; }

// The row whose mnemonic equals the (upper-case) token, or null; SUBI and
// other rows that do not assemble are not found.
const InstructionInfo* findInstruction(std::string_view mnemonic);

// The word with Op, TYPE and the fixed filler fields set and every operand field 0
// (HLT: 0x01110001, ADDI: 0x20100000, JMP: 0x300F0000).
std::uint32_t baseWord(const InstructionInfo& info);

// Where each Op keeps its TYPE: Op 0 and 2 in Rt, Op 1 in the whole AddrL8
// byte, Op 3 in Rd. Memory and invalid Ops have none (read as 0).
inline constexpr std::uint8_t typeShift[16] = {20, 0, 20, 16};
inline constexpr std::uint8_t typeMask[16] = {0xF, 0xFF, 0xF, 0xF};

inline std::uint32_t wordType(std::uint32_t word) {
    const std::uint32_t op = word >> 28;
    return (word >> typeShift[op]) & typeMask[op];
}

// Whether some row gives meaning to Op and TYPE; Op 4 and 8..F never do.
// validOpType[op << 4 | type], for TYPE below 16.
inline constexpr std::array<bool, 256> validOpType = instruction_rows::buildValidity();

inline bool isValidWord(std::uint32_t word) {
    std::uint32_t type = wordType(word);
    return type < 16 && validOpType[(word >> 28) << 4 | type];
}
