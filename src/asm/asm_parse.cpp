// The assembler's lexical layer: tokens and the three operand parsers. Every
// parser records its complaints under the current line and still returns a
// value, so one line can collect several messages and assembly goes on.
#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "asm/asm.h"

namespace {
constexpr std::string_view HEX_DIGITS = "0123456789ABCDEFabcdef";
constexpr std::string_view NUMBER_CHARACTERS = "-0123456789ABCDEFabcdef";

bool consistsOf(std::string_view text, std::string_view allowed) {
    return std::all_of(text.begin(), text.end(), [&](char c) { return allowed.find(c) != std::string_view::npos; });
}

void reportLength(Asm& assembler, unsigned long long characters) {
    assembler.report("长度过长，字符数不能大于%llu，即位数不能大于%llu", characters, characters * 4);
}

// Upper-case hexadecimal only: the source has been folded before it gets here.
std::uint32_t readHex(Asm& assembler, std::string_view digits) {
    std::uint32_t value = 0;
    for (char c : digits) {
        if (c >= '0' && c <= '9') {
            value = value * 16 + std::uint32_t(c - '0');
        } else if (c >= 'A' && c <= 'F') {
            value = value * 16 + std::uint32_t(c - 'A' + 10);
        } else {
            assembler.report("'%c'不是16进制数字(0123456789ABCDEF)\n", c);
        }
    }
    return value;
}
} // namespace

std::vector<std::string> Asm::split(const std::string& text, char separator, bool keepEmpty) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = text.find(separator, start);
        if (end == std::string::npos) end = text.size();
        if (keepEmpty || end > start) pieces.emplace_back(text, start, end - start);
        if (end == text.size()) break;
        start = end + 1;
    }
    return pieces;
}

std::uint8_t Asm::parseRegister(const std::string& token) {
    if (token.empty() || token[0] != 'R') {
        report("寄存器名称\"%s\"的第一个字符不是'R'\n", token.c_str());
        return 0;
    }
    const std::string rest = token.substr(1);
    if (!consistsOf(rest, HEX_DIGITS)) {
        report("寄存器\"%s\"不合法\n", rest.c_str());
        return 0;
    }
    if (rest.size() > 8) reportLength(*this, 8);
    std::uint32_t value = readHex(*this, rest);
    if (value < 16) return std::uint8_t(value);
    report("没有寄存器\"%s\"\n", rest.c_str());
    return 0;
}

std::uint8_t Asm::parseByte(const std::string& token) {
    std::string_view digits = token;
    const bool negative = !digits.empty() && digits[0] == '-';
    if (negative) digits.remove_prefix(1);
    if (digits.size() > 2) reportLength(*this, 2);
    std::uint32_t value = readHex(*this, digits);
    return std::uint8_t(negative ? 0u - value : value);
}

std::uint16_t Asm::parseAddress(const std::string& token, bool relative) {
    if (consistsOf(token, NUMBER_CHARACTERS)) {
        // A written number is taken as it stands: in a jump it already is the distance.
        std::string_view digits = token;
        const bool negative = !digits.empty() && digits[0] == '-';
        if (negative) digits.remove_prefix(1);
        if (digits.size() > 4) reportLength(*this, 4);
        std::uint32_t value = readHex(*this, digits);
        return std::uint16_t(negative ? 0u - value : value);
    }
    auto found = labels.find(token);
    if (found != labels.end()) return relative ? std::uint16_t(found->second - address) : found->second;
    report("找不到标签\"%s\"\n", token.c_str());
    return 0x7777;
}

void Asm::report(const char* format, ...) {
    // Only a message quoting a huge source line comes near the limit; it is cut there.
    char buffer[65536];
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (length < 0) length = 0;
    errors[line].emplace_back(buffer, std::min<std::size_t>(std::size_t(length), sizeof buffer - 1));
}
