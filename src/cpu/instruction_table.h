// The instruction set as data: one row per mnemonic with its class, Op, TYPE
// and operands. The assembler encodes from it, the CPU derives which words are
// valid from it, and the manual lists it. Nothing else spells out mnemonics.
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

// In manual order (None, Stack, Reg, Immediate, Address, Difference, Memory),
// then INT and the directives.
std::span<const InstructionInfo> instructionTable();

// The row whose mnemonic equals the (upper-case) token, or null; SUBI and
// other rows that do not assemble are not found.
const InstructionInfo* findInstruction(std::string_view mnemonic);

// The word with Op, TYPE and the fixed filler fields set and every operand field 0
// (HLT: 0x01110001, ADDI: 0x20100000, JMP: 0x300F0000).
std::uint32_t baseWord(const InstructionInfo& info);

// The TYPE field of a word as its Op defines it (Op 1: the whole AddrL8 byte;
// Memory and the invalid Ops: 0).
inline std::uint32_t wordType(std::uint32_t word) {
    switch (word >> 28) {
    case 0: case 2: return (word >> 20) & 0xF;
    case 1: return word & 0xFF;
    case 3: return (word >> 16) & 0xF;
    default: return 0;
    }
}

// Whether some row gives meaning to Op and TYPE; Op 4 and 8..F never do.
// validOpType[op << 4 | type], for TYPE below 16.
extern const std::array<bool, 256> validOpType;

inline bool isValidWord(std::uint32_t word) {
    std::uint32_t type = wordType(word);
    return type < 16 && validOpType[(word >> 28) << 4 | type];
}
