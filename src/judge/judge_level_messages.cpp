#include "judge/judge_level_messages.h"

#include <algorithm>
#include <cstdio>

#include "asm/asm_warnings.h"
#include "judge/judge_json.h"

namespace {
std::string lm(const char8_t* text) { return reinterpret_cast<const char*>(text); }

std::vector<std::string> gbkLines(const std::string& text) {
    std::vector<std::string> lines(1);
    for (char c : text) {
        if (c == '\n') lines.emplace_back();
        else lines.back() += c;
    }
    return lines;
}

std::string hex4(std::size_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04zX", value);
    return text;
}
} // namespace

std::optional<std::string> notUtf8Message(const std::string& bytes, const std::string& name) {
    if (isUtf8(bytes)) return std::nullopt;
    // The first byte that is not UTF-8, as line and column, for an editor's "go to".
    std::size_t line = 1, column = 1, good = 0;
    while (good < bytes.size() && isUtf8(bytes.substr(0, good + 1))) ++good;
    for (std::size_t i = 0; i < good; ++i) {
        if (bytes[i] == '\n') ++line, column = 1;
        else if ((static_cast<unsigned char>(bytes[i]) & 0xC0) != 0x80) ++column;
    }
    return name + ":" + std::to_string(line) + ":" + std::to_string(column) +
           lm(u8": 请把关卡文件存成UTF-8（它现在是别的编码，多半是GBK：记事本“另存为”里选UTF-8）") +
           " (the file is not UTF-8)";
}

std::string inChinese(const std::string& error) {
    // "name:L:C: key: message" from the reader, "name:L:C: words" from toml++
    // (its words have blanks before their first colon, a key has none).
    const std::size_t colon = error.find(": ");
    if (colon == std::string::npos) return lm(u8"关卡文件有误：") + error;
    const std::string rest = error.substr(colon + 2);
    const std::size_t keyEnd = rest.find(": ");
    const bool syntax = keyEnd == std::string::npos || rest.substr(0, keyEnd).find(' ') != std::string::npos;
    const bool located = std::count(error.begin(), error.begin() + static_cast<std::ptrdiff_t>(colon), ':') >= 2;
    if (syntax && located) return lm(u8"关卡文件的TOML写法有误，请看这一行这一列：") + error;
    return lm(u8"关卡文件有误：") + error;
}

std::string visibleLine(const std::string& gbkLine) {
    std::string out;
    for (std::size_t i = 0; i < gbkLine.size(); ++i) {
        const auto byte = static_cast<unsigned char>(gbkLine[i]);
        if (byte == '\t') out += lm(u8"→");
        else if (byte == 0xA1 && i + 1 < gbkLine.size() && static_cast<unsigned char>(gbkLine[i + 1]) == 0xA1)
            out += lm(u8"［全角空格］"), ++i;
        else if (byte < 0x20 || byte == 0x7F) out += "[" + hex4(byte).substr(4) + "]";
        else if (byte >= 0x81 && i + 1 < gbkLine.size()) out += gbkToUtf8(gbkLine.substr(i, 2)), ++i;
        else out += gbkToUtf8(gbkLine.substr(i, 1));
    }
    return out;
}

std::string invisibleCharacters(const CustomLevel& level, std::size_t index) {
    const std::vector<std::string> lines = gbkLines(level.reference);
    if (index >= lines.size()) return {};
    const std::string& line = lines[index];
    bool hidden = line.find('\t') != std::string::npos || line.find("\xA1\xA1") != std::string::npos;
    for (char c : line) hidden = hidden || (static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == '\x7F';
    if (!hidden) return {};
    return lm(u8"；这一行是“") + visibleLine(line) +
           lm(u8"”（→是制表符：汇编器只认空格；［全角空格］也要换成空格）");
}

std::vector<std::string> inputOverlaps(const CustomLevel& level, std::size_t programBytes, bool reference) {
    std::vector<std::string> problems;
    const auto check = [&](std::size_t first, std::size_t count, const std::string& what) {
        if (count == 0 || first >= programBytes) return;
        problems.push_back(level.fileName + ": " + what + lm(u8"的输入块") + hex4(first) + "-" + hex4(first + count - 1) +
                           (reference ? lm(u8"与参考程序（") : lm(u8"与程序（")) + hex4(0) + "-" + hex4(programBytes - 1) +
                           (reference ? lm(u8"）重叠：程序会被输入覆盖，只会“没有执行hlt就停机”；请把输入放到程序之后")
                                     : lm(u8"）重叠：程序被关卡的输入覆盖了，这是关卡文件的问题，请告诉老师")) +
                           " (an input block overlaps the program)");
    };
    for (const MemoryInput& input : level.memory) check(input.address, input.count, "inputs.memory");
    for (std::size_t b = 0; b < level.boundary.size(); ++b)
        for (const MemoryBlock& block : level.boundary[b].memory)
            check(block.address, block.bytes.size(), "boundary " + std::to_string(b + 1));
    return problems;
}

std::vector<std::string> referenceWarnings(const CustomLevel& level) {
    std::vector<std::string> warnings;
    for (const AsmWarning& warning : findAsmWarnings(level.reference)) {
        std::string message = gbkToUtf8(warning.message);
        while (!message.empty() && message.back() == '\n') message.pop_back();
        warnings.push_back(level.fileName + ": reference line " + std::to_string(warning.line + 1) + lm(u8"：警告：") +
                           message + invisibleCharacters(level, static_cast<std::size_t>(warning.line)));
    }
    return warnings;
}
