// Each check mirrors one way the assembler reads a line silently differently
// from how a student reads it: a tab is no separator, a second LABEL is
// ignored, a label named like a number is read as the number, tokens after
// the operands are dropped, and 0d/0x prefixes are not understood.
#include "asm/asm_warnings.h"

#include <cstdio>
#include <unordered_map>

#include "asm/asm.h"
#include "cpu/instruction_table.h"

namespace {

std::string folded(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = char(c & ~0x20);
    return text;
}

// Folding keeps every byte in place, so the original tokens line up with the folded ones.
std::vector<std::string> tokensAsWritten(const std::string& line) { return Asm::split(line, ' ', false); }

bool readsAsNumber(const std::string& token) {
    return !token.empty() && token.find_first_not_of("-0123456789ABCDEF") == std::string::npos;
}

bool isNumberOperand(Operand operand) {
    return operand == Operand::Imm || operand == Operand::Number || operand == Operand::Data ||
           operand == Operand::Absolute || operand == Operand::Relative;
}

struct Report {
    std::vector<AsmWarning>& warnings;
    std::uint64_t line;
    template <class... Args>
    void operator()(const char* format, Args... args) {
        char buffer[512];
        std::snprintf(buffer, sizeof buffer, format, args...);
        warnings.push_back({line, buffer});
    }
};

// "0d35" and "0x23": the level texts write numbers so in prose, the assembler never.
void checkPrefix(Report& report, const std::string& written, const std::string& token) {
    const std::size_t start = token[0] == '-' ? 1 : 0;
    if (token.size() < start + 3 || token[start] != '0') return;
    const char prefix = token[start + 1];
    if (prefix != 'X' && prefix != 'D') return;
    const std::string digits = token.substr(start + 2);
    if (prefix == 'X') {
        report("\"%s\"：汇编器里的数都是16进制，不写0x前缀，直接写%s%s。\n", written.c_str(), start ? "-" : "",
               digits.c_str());
        return;
    }
    if (digits.size() <= 5 && digits.find_first_not_of("0123456789") == std::string::npos) {
        report("\"%s\"：汇编器里的数都是16进制，不认0d前缀。想写十进制%s的话要写成%s%lX。\n", written.c_str(),
               digits.c_str(), start ? "-" : "", std::stoul(digits));
        return;
    }
    report("\"%s\"：汇编器里的数都是16进制，不认0d前缀。\n", written.c_str());
}

} // namespace

std::vector<AsmWarning> findAsmWarnings(const std::string& text) {
    std::vector<AsmWarning> warnings;
    const std::vector<std::string> lines = Asm::split(text, '\n', true);

    // Labels as the first pass keeps them: the first definition wins.
    std::unordered_map<std::string, std::uint64_t> labelLine;
    for (std::uint64_t i = 0; i < lines.size(); ++i) {
        const std::vector<std::string> tokens = Asm::split(folded(lines[i]), ' ', false);
        if (tokens.size() >= 2 && tokens[0] == "LABEL") labelLine.emplace(tokens[1], i);
    }

    for (std::uint64_t i = 0; i < lines.size(); ++i) {
        Report report{warnings, i};
        const std::string& line = lines[i];
        const std::string code = line.substr(0, line.find(';'));
        if (code.find('\t') != std::string::npos)
            report("这一行有制表符(Tab)。汇编器只认空格作分隔符，请把Tab换成空格。\n");

        const std::vector<std::string> tokens = Asm::split(folded(line), ' ', false);
        if (tokens.empty() || tokens[0][0] == ';') continue;
        const std::vector<std::string> written = tokensAsWritten(line);
        const InstructionInfo* info = findInstruction(tokens[0]);
        if (!info || tokens.size() <= info->operandCount) continue; // an error, or nothing after the operands

        const bool isLabel = info->kind == InstructionClass::Directive && info->operands[0] == Operand::Name;
        if (isLabel) {
            const std::uint64_t first = labelLine.at(tokens[1]);
            if (first != i)
                report("标签\"%s\"在第%llu行已经定义过，这里的定义不起作用，用的是第%llu行的。\n", written[1].c_str(),
                       static_cast<unsigned long long>(first), static_cast<unsigned long long>(first));
        }
        for (std::size_t k = 0; k < info->operandCount; ++k) {
            const std::string& token = tokens[k + 1];
            const Operand operand = info->operands[k];
            if (!isNumberOperand(operand)) continue;
            checkPrefix(report, written[k + 1], token);
            const bool address = operand == Operand::Absolute || operand == Operand::Relative;
            if (address && readsAsNumber(token) && labelLine.count(token))
                report("\"%s\"被读成16进制数%s，不是同名的标签。只含0~9和A~F的标签名用不了，请改名。\n",
                       written[k + 1].c_str(), token.c_str());
        }
        const std::size_t extra = info->operandCount + 1u;
        if (extra < tokens.size() && tokens[extra][0] != ';')
            report("指令到\"%s\"就完整了，后面的\"%s\"被忽略。注释要以;开头。\n", written[extra - 1].c_str(),
                   written[extra].c_str());
    }
    return warnings;
}
