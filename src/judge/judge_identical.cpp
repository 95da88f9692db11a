#include "judge/judge_identical.h"

#include <map>
#include <unordered_map>

#include "cpu/instruction_table.h"

namespace {
// The assembler's own reading of a line: letters folded byte-wise, tokens
// separated by spaces (a tab is part of a token to it, so it is kept here too).
std::vector<std::string> tokensOf(const std::string& line) {
    std::vector<std::string> tokens;
    std::string token;
    for (char c : line) {
        if (c == ' ') {
            if (!token.empty()) tokens.push_back(std::move(token));
            token.clear();
            continue;
        }
        token += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    if (!token.empty()) tokens.push_back(std::move(token));
    return tokens;
}

// What the assembler reads of a line: nothing for a comment, otherwise the
// mnemonic and its operands (it ignores whatever follows the last operand).
std::vector<std::string> meaningfulTokens(const std::string& line) {
    std::vector<std::string> tokens = tokensOf(line);
    if (tokens.empty() || tokens[0][0] == ';') return {};
    if (const InstructionInfo* info = findInstruction(tokens[0]))
        if (tokens.size() > 1u + info->operandCount) tokens.resize(1u + info->operandCount);
    return tokens;
}
} // namespace

std::string normalisedProgram(const std::string& gbkSource) {
    std::vector<std::vector<std::string>> lines;
    std::size_t start = 0;
    while (start <= gbkSource.size()) {
        std::size_t end = gbkSource.find('\n', start);
        if (end == std::string::npos) end = gbkSource.size();
        std::vector<std::string> tokens = meaningfulTokens(gbkSource.substr(start, end - start));
        if (!tokens.empty()) lines.push_back(std::move(tokens));
        start = end + 1;
    }
    std::unordered_map<std::string, std::string> labelNames;
    for (const auto& tokens : lines)
        if (tokens[0] == "LABEL" && tokens.size() > 1 && !labelNames.count(tokens[1]))
            labelNames.emplace(tokens[1], 'L' + std::to_string(labelNames.size() + 1));
    std::string out;
    for (const auto& tokens : lines) {
        for (std::size_t i = 0; i < tokens.size(); ++i) {
            if (i) out += ' ';
            const auto renamed = i > 0 ? labelNames.find(tokens[i]) : labelNames.end();
            out += renamed != labelNames.end() ? renamed->second : tokens[i];
        }
        out += '\n';
    }
    return out;
}

std::vector<std::vector<std::size_t>> identicalGroups(const std::vector<std::string>& keys) {
    std::map<std::string, std::size_t> groupOf;
    std::vector<std::vector<std::size_t>> groups;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        auto [found, added] = groupOf.emplace(keys[i], groups.size());
        if (added) groups.emplace_back();
        groups[found->second].push_back(i);
    }
    std::erase_if(groups, [](const std::vector<std::size_t>& group) { return group.size() < 2; });
    return groups;
}
