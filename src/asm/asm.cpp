// Two passes over the lines: the first only counts addresses and collects
// labels (so a label may be used before its line), the second encodes each
// line from its instruction-table row.
#include "asm/asm.h"

#include <algorithm>
#include <cstring>

#include "cpu/cpu.h"
#include "cpu/instruction_table.h"
#include "shell/messages.h"

namespace {
// Byte-wise, so it also touches a-z bytes inside GBK characters, as intended.
std::vector<std::string> tokensOf(const std::string& line) {
    std::string folded = line;
    for (char& c : folded)
        if (c >= 'a' && c <= 'z') c = char(c & ~0x20);
    return Asm::split(folded, ' ', false);
}

bool isBlankOrComment(const std::vector<std::string>& tokens) { return tokens.empty() || tokens[0][0] == ';'; }

bool isLabel(const InstructionInfo* info) { return info && info->kind == InstructionClass::Directive && info->operands[0] == Operand::Name; }
bool isData(const InstructionInfo* info) { return info && info->kind == InstructionClass::Directive && info->operands[0] == Operand::Data; }
} // namespace

std::vector<std::uint8_t> Asm::complie(const std::string& text) {
    std::vector<std::uint8_t> image;
    address = 0;
    labels.clear();
    errors.clear();
    lineAddress.clear();

    const std::vector<std::string> lines = split(text, '\n', true);
    for (std::size_t i = 0; i < lines.size(); ++i) scanLine(lines[i], i);
    address = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) encodeLine(lines[i], i, image);
    return image;
}

void Asm::scanLine(const std::string& text, std::uint64_t number) {
    line = number;
    const std::vector<std::string> tokens = tokensOf(text);
    if (isBlankOrComment(tokens)) return;
    const InstructionInfo* info = findInstruction(tokens[0]);
    if (isLabel(info)) {
        if (tokens.size() < 2) {
            report("行\"%s\"参数过少\n", text.c_str());
            return;
        }
        labels.emplace(tokens[1], address); // a second definition never replaces the first
        return;
    }
    // Lines the second pass rejects still count 4 bytes; such a text is never loaded.
    address = std::uint16_t(address + (isData(info) ? 1 : 4));
}

void Asm::encodeLine(const std::string& text, std::uint64_t number, std::vector<std::uint8_t>& image) {
    line = number;
    lineAddress.push_back(address);
    const std::vector<std::string> tokens = tokensOf(text);
    if (isBlankOrComment(tokens)) return;
    const InstructionInfo* info = findInstruction(tokens[0]);
    if (!info) {
        report("不存在的指令：\"%s\"\n", tokens[0].c_str());
        return;
    }
    if (isLabel(info)) return;

    std::uint32_t word = baseWord(*info);
    std::uint8_t data = 0;
    // Tokens after the last operand are ignored: that is what makes trailing comments work.
    for (std::size_t i = 0; i < info->operandCount; ++i) {
        if (i + 1 >= tokens.size()) {
            report("行\"%s\"参数过少\n", text.c_str());
            return;
        }
        const std::string& token = tokens[i + 1];
        switch (info->operands[i]) {
        case Operand::Rd: word |= std::uint32_t{parseRegister(token)} << 16; break;
        case Operand::Rs: word |= std::uint32_t{parseRegister(token)} << 24; break;
        case Operand::Rt: word |= std::uint32_t{parseRegister(token)} << 20; break;
        case Operand::Imm: word |= parseByte(token); break;
        case Operand::Number: word |= std::uint32_t{parseByte(token)} << 20; break; // n fills Rs:Rt
        case Operand::Absolute: word |= parseAddress(token, false); break;
        case Operand::Relative: word |= parseAddress(token, true); break;
        case Operand::Data: data = parseByte(token); break;
        case Operand::Name: break;
        }
    }
    if (isData(info)) {
        image.push_back(data);
        address = std::uint16_t(address + 1);
        return;
    }
    image.push_back(std::uint8_t(word >> 24));
    image.push_back(std::uint8_t(word >> 16));
    image.push_back(std::uint8_t(word >> 8));
    image.push_back(std::uint8_t(word));
    address = std::uint16_t(address + 4);
}

void loadProgram(Cpu& machine, const std::vector<std::uint8_t>& image) {
    machine.reset();
    if (!image.empty()) std::memcpy(machine.memory, image.data(), std::min(image.size(), sizeof machine.memory));
    if (image.size() > sizeof machine.memory) consolePrintf("写入内存时地址溢出。\n");
}

void loadProgram(const std::vector<std::uint8_t>& image) { loadProgram(cpu, image); }
