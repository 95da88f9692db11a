// Operand parsers and their messages, byte for byte.
#include "cpu_machine.h"

namespace {
using Messages = std::vector<std::string>;

Messages takeMessages() {
    Messages messages;
    auto found = assembler.errors.find(assembler.line);
    if (found != assembler.errors.end()) messages = found->second;
    assembler.errors.clear();
    return messages;
}

const std::string lengthRegister = "长度过长，字符数不能大于8，即位数不能大于32";
const std::string lengthByte = "长度过长，字符数不能大于2，即位数不能大于8";
const std::string lengthAddress = "长度过长，字符数不能大于4，即位数不能大于16";
std::string notHex(char c) { return std::string("'") + c + "'不是16进制数字(0123456789ABCDEF)\n"; }
} // namespace

TEST(AsmParse, Registers) {
    freshProgram();
    struct Case {
        const char* token;
        std::uint8_t value;
        Messages messages;
    };
    const Case cases[] = {
        {"R3", 3, {}},
        {"R03", 3, {}},
        {"R00F", 15, {}},
        {"RF", 15, {}},
        {"R", 0, {}},
        {"RG", 0, {"寄存器\"G\"不合法\n"}},
        {"R-1", 0, {"寄存器\"-1\"不合法\n"}},
        {"X1", 0, {"寄存器名称\"X1\"的第一个字符不是'R'\n"}},
        {"r3", 0, {"寄存器名称\"r3\"的第一个字符不是'R'\n"}}, // the source is folded before parsing
        {"R10", 0, {"没有寄存器\"10\"\n"}},
        {"R00000000F", 15, {lengthRegister}},
        {"R100000003", 3, {lengthRegister}}, // the digit arithmetic is 32-bit and wraps
        {"R000000010", 0, {lengthRegister, "没有寄存器\"000000010\"\n"}},
        {"Ra", 0, {notHex('a'), }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.token);
        EXPECT_EQ(assembler.parseRegister(c.token), c.value);
        EXPECT_EQ(takeMessages(), c.messages);
    }
}

TEST(AsmParse, Bytes) {
    freshProgram();
    struct Case {
        const char* token;
        std::uint8_t value;
        Messages messages;
    };
    const Case cases[] = {
        {"FF", 0xFF, {}},
        {"7", 0x07, {}},
        {"-1", 0xFF, {}},
        {"-5", 0xFB, {}},
        {"-", 0x00, {}},
        {"100", 0x00, {lengthByte}},
        {"123", 0x23, {lengthByte}},
        {"-123", 0xDD, {lengthByte}},
        {"0X23", 0x23, {lengthByte, notHex('X')}},
        {"0D35", 0x35, {lengthByte}},
        {"G", 0x00, {notHex('G')}},
        {"1-", 0x01, {notHex('-')}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.token);
        EXPECT_EQ(assembler.parseByte(c.token), c.value);
        EXPECT_EQ(takeMessages(), c.messages);
    }
}

TEST(AsmParse, AddressesAndLabels) {
    freshProgram();
    assembler.labels = {{"LOOP", 0x0010}, {"FACE", 0x0020}, {"A-1", 0x0030}};
    assembler.address = 0x0018;
    struct Case {
        const char* token;
        bool relative;
        std::uint16_t value;
        Messages messages;
    };
    const Case cases[] = {
        {"1234", false, 0x1234, {}},
        {"-4", true, 0xFFFC, {}},
        {"-4", false, 0xFFFC, {}},
        {"12345", false, 0x2345, {lengthAddress}},
        {"1-2", false, 0x0012, {notHex('-')}},
        {"LOOP", false, 0x0010, {}},
        {"LOOP", true, 0xFFF8, {}},
        {"FACE", false, 0xFACE, {}}, // digits only: always a number
        {"A-1", false, 0x00A1, {notHex('-')}},
        {"NOWHERE", true, 0x7777, {"找不到标签\"NOWHERE\"\n"}},
        {"", false, 0x0000, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.token);
        EXPECT_EQ(assembler.parseAddress(c.token, c.relative), c.value);
        EXPECT_EQ(takeMessages(), c.messages);
    }
}

TEST(AsmParse, SplitDropsEmptyPiecesOnlyWhenAsked) {
    EXPECT_EQ(Asm::split("  ADD  R3 R1\tR2 ", ' ', false), (Messages{"ADD", "R3", "R1\tR2"}));
    EXPECT_EQ(Asm::split("a\n\nb\n", '\n', true), (Messages{"a", "", "b", ""}));
    EXPECT_EQ(Asm::split("", '\n', true), (Messages{""}));
    EXPECT_EQ(Asm::split("", ' ', false), Messages{});
}

TEST(AsmParse, ReportCutsAtTheBufferAndKeepsLines) {
    freshProgram();
    assembler.line = 7;
    const std::string huge(200000, 'x');
    assembler.report("<%s>", huge.c_str());
    assembler.line = 8;
    assembler.report("%d", 42);
    ASSERT_EQ(assembler.errors[7].size(), 1u);
    EXPECT_EQ(assembler.errors[7][0].size(), 65535u);
    EXPECT_EQ(assembler.errors[7][0].substr(0, 3), "<xx");
    EXPECT_EQ(assembler.errors[8], Messages{"42"});
}
