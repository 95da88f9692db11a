#include "cpu/instruction_table.h"

const InstructionInfo* findInstruction(std::string_view mnemonic) {
    for (const InstructionInfo& info : instructionTable())
        if (info.assembles && info.mnemonic == mnemonic) return &info;
    return nullptr;
}

std::uint32_t baseWord(const InstructionInfo& info) {
    std::uint32_t op = std::uint32_t{info.op} << 28;
    switch (info.kind) {
    case InstructionClass::None: return op | 0x01010001 | std::uint32_t{info.type} << 20;
    case InstructionClass::Stack: return op | 0x01000001 | std::uint32_t{info.type} << 20;
    case InstructionClass::Reg: return op | info.type;
    case InstructionClass::Immediate: return op | std::uint32_t{info.type} << 20;
    case InstructionClass::Address:
    case InstructionClass::Difference: return op | std::uint32_t{info.type} << 16;
    case InstructionClass::Memory:
    case InstructionClass::Directive: return op;
    }
    return op;
}
