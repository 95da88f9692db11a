// Malformed input of every kind assembles to messages, never to a crash or a hang.
#include <algorithm>
#include <random>

#include "cpu_machine.h"

using namespace std::string_literals;

namespace {
std::size_t messageCount() {
    std::size_t count = 0;
    for (const auto& entry : assembler.errors) count += entry.second.size();
    return count;
}
} // namespace

TEST(AsmRobustness, BinaryGarbage) {
    freshProgram();
    std::mt19937 random(12345);
    for (int round = 0; round < 8; ++round) {
        std::string text(50000, '\0');
        for (char& c : text) c = static_cast<char>(random() & 0xFF);
        std::vector<std::uint8_t> image = assembler.complie(text);
        std::size_t lines = std::size_t(std::count(text.begin(), text.end(), '\n')) + 1;
        EXPECT_EQ(assembler.lineAddress.size(), lines);
        EXPECT_FALSE(assembler.errors.empty());
    }
}

TEST(AsmRobustness, HugeLinesAreQuotedUpToTheBuffer) {
    freshProgram();
    const std::string huge(1 << 20, 'Q');
    assembler.complie(huge);
    ASSERT_EQ(assembler.errors.at(0).size(), 1u);
    EXPECT_EQ(assembler.errors.at(0)[0].size(), 65535u);
    EXPECT_EQ(assembler.errors.at(0)[0].substr(0, 17), std::string("不存在的指令：\"QQ"));

    assembler.complie("label\nadd r1 r2 " + huge);
    EXPECT_EQ(assembler.errors.at(0), std::vector<std::string>{"行\"label\"参数过少\n"});
    EXPECT_EQ(assembler.errors.at(1)[0].substr(0, 2), std::string("寄"));

    // A 1 MB comment and a 1 MB run of digits as an immediate.
    assembler.complie(";" + huge + "\naddi r1 r1 " + std::string(1 << 20, 'F') + "\nhlt");
    EXPECT_EQ(assembler.errors.size(), 1u);
    EXPECT_EQ(assembler.errors.at(1), std::vector<std::string>{"长度过长，字符数不能大于2，即位数不能大于8"});
}

TEST(AsmRobustness, ManyTokensAndManyMessages) {
    freshProgram();
    std::string line = "add r1 r2 r3";
    for (int i = 0; i < 100000; ++i) line += " r4";
    std::vector<std::uint8_t> image = assembler.complie(line + "\n" + line);
    EXPECT_TRUE(assembler.errors.empty());
    EXPECT_EQ(image.size(), 8u);

    // Every non-digit is one message.
    assembler.complie("dta " + std::string(200000, 'Z'));
    EXPECT_EQ(messageCount(), 200001u);
}

TEST(AsmRobustness, NulBytesAndLoneLeadBytes) {
    freshProgram();
    assembler.complie("hl\0t\naddi r1 r1 \0\n\x81\nadd r1 r2 \xB0\njmp r0 r0 \xB0"s);
    EXPECT_EQ(assembler.errors.at(0), std::vector<std::string>{"不存在的指令：\"HL\"\n"});
    EXPECT_EQ(assembler.errors.at(1), std::vector<std::string>{"'\0'不是16进制数字(0123456789ABCDEF)\n"s});
    EXPECT_EQ(assembler.errors.at(2), std::vector<std::string>{"不存在的指令：\"\x81\"\n"});
    EXPECT_EQ(assembler.errors.at(3), std::vector<std::string>{"寄存器名称\"\xB0\"的第一个字符不是'R'\n"});
    EXPECT_EQ(assembler.errors.at(4), std::vector<std::string>{"找不到标签\"\xB0\"\n"});
}
