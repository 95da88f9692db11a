// Whole texts through Asm::complie: encodings, labels, the line table,
// messages per line, and loading.
#include "cpu_machine.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "asm/asm_warnings.h"
#include "levels/level_texts.h"

namespace {
using Bytes = std::vector<std::uint8_t>;
using Messages = std::vector<std::string>;
using Errors = std::unordered_map<std::uint64_t, Messages>;
using Addresses = std::vector<std::uint16_t>;

Bytes assemble(const std::string& text) {
    freshProgram();
    return assembler.complie(text);
}
} // namespace

TEST(AsmEncode, EveryMnemonicGivesItsWord) {
    // One line per mnemonic; the words written out by hand from the encoding rules.
    const Bytes image = assemble("hlt\nnop\nret\niret\npush r5\npop r6\n"
                                 "add r1 r2 r3\nsub r1 r2 r3\nmul r1 r2 r3\nmulh r1 r2 r3\ndiv r1 r2 r3\n"
                                 "mod r1 r2 r3\nshl r1 r2 r3\nshr r1 r2 r3\nand r1 r2 r3\nor r1 r2 r3\n"
                                 "nand r1 r2 r3\nnor r1 r2 r3\nxor r1 r2 r3\nxnor r1 r2 r3\n"
                                 "addi r1 r2 7f\nmuli r1 r2 7f\nmulhi r1 r2 7f\ndivi r1 r2 7f\nmodi r1 r2 7f\n"
                                 "shli r1 r2 7f\nshri r1 r2 7f\nandi r1 r2 7f\nori r1 r2 7f\nnandi r1 r2 7f\n"
                                 "nori r1 r2 7f\nxori r1 r2 7f\nxnori r1 r2 7f\n"
                                 "int 2a\niset 3c 1234\nsck r1 r2 abcd\n"
                                 "call r1 r2 10\njnv r1 r2 10\njgt r1 r2 10\njlt r1 r2 10\njeq r1 r2 10\n"
                                 "jge r1 r2 10\njle r1 r2 10\njne r1 r2 10\njmp r1 r2 10\n"
                                 "load r1 r2 r3 4567\nstore r1 r2 r3 4567\nswap r1 r2 r3 4567\n"
                                 "sld r1 r2 abcd\nsst r1 r2 abcd\n"
                                 "dta 41");
    const Bytes expected = {
        0x01, 0x11, 0x00, 0x01, 0x01, 0x21, 0x00, 0x01, 0x01, 0x31, 0x00, 0x01, 0x01, 0x41, 0x00, 0x01,
        0x01, 0x55, 0x00, 0x01, 0x01, 0x66, 0x00, 0x01,
        0x12, 0x31, 0x00, 0x01, 0x12, 0x31, 0x00, 0x02, 0x12, 0x31, 0x00, 0x03, 0x12, 0x31, 0x00, 0x04,
        0x12, 0x31, 0x00, 0x05, 0x12, 0x31, 0x00, 0x06, 0x12, 0x31, 0x00, 0x07, 0x12, 0x31, 0x00, 0x08,
        0x12, 0x31, 0x00, 0x09, 0x12, 0x31, 0x00, 0x0A, 0x12, 0x31, 0x00, 0x0B, 0x12, 0x31, 0x00, 0x0C,
        0x12, 0x31, 0x00, 0x0D, 0x12, 0x31, 0x00, 0x0E,
        0x22, 0x11, 0x00, 0x7F, 0x22, 0x31, 0x00, 0x7F, 0x22, 0x41, 0x00, 0x7F, 0x22, 0x51, 0x00, 0x7F,
        0x22, 0x61, 0x00, 0x7F, 0x22, 0x71, 0x00, 0x7F, 0x22, 0x81, 0x00, 0x7F, 0x22, 0x91, 0x00, 0x7F,
        0x22, 0xA1, 0x00, 0x7F, 0x22, 0xB1, 0x00, 0x7F, 0x22, 0xC1, 0x00, 0x7F, 0x22, 0xD1, 0x00, 0x7F,
        0x22, 0xE1, 0x00, 0x7F,
        0x20, 0xF0, 0x00, 0x2A, 0x33, 0xC2, 0x12, 0x34, 0x31, 0x25, 0xAB, 0xCD,
        0x31, 0x26, 0x00, 0x10, 0x31, 0x28, 0x00, 0x10, 0x31, 0x29, 0x00, 0x10, 0x31, 0x2A, 0x00, 0x10,
        0x31, 0x2B, 0x00, 0x10, 0x31, 0x2C, 0x00, 0x10, 0x31, 0x2D, 0x00, 0x10, 0x31, 0x2E, 0x00, 0x10,
        0x31, 0x2F, 0x00, 0x10,
        0x52, 0x31, 0x45, 0x67, 0x62, 0x31, 0x45, 0x67, 0x72, 0x31, 0x45, 0x67,
        0x31, 0x23, 0xAB, 0xCD, 0x31, 0x24, 0xAB, 0xCD,
        0x41,
    };
    EXPECT_EQ(assembler.errors, Errors{});
    EXPECT_EQ(image, expected);
}

TEST(AsmEncode, FirstProgramAndItsLineTable) {
    EXPECT_EQ(assemble("add r3 r1 r2\nhlt"), (Bytes{0x11, 0x23, 0x00, 0x01, 0x01, 0x11, 0x00, 0x01}));
    EXPECT_EQ(assembler.lineAddress, (Addresses{0x0000, 0x0004}));

    // Runs of spaces separate like one; the trailing comment is ignored.
    EXPECT_EQ(assemble("   ADD   r3  R1 r2     ;把R1和R2的数相加，存到R3。"), (Bytes{0x11, 0x23, 0x00, 0x01}));
    EXPECT_EQ(assembler.errors, Errors{});
}

TEST(AsmLabels, ForwardBackwardAbsoluteAndRelative) {
    EXPECT_EQ(assemble("label LAB\naddi r1 r1 1\njmp r0 r0 LAB"),
              (Bytes{0x21, 0x11, 0x00, 0x01, 0x30, 0x0F, 0xFF, 0xFC}));
    EXPECT_EQ(assembler.lineAddress, (Addresses{0x0000, 0x0000, 0x0004}));
    EXPECT_EQ(assembler.labels.at("LAB"), 0x0000);

    // Used before its LABEL line; 8 ahead of the jump and the absolute forms.
    const Bytes image = assemble("jmp r0 r0 ahead\nnop\nlabel ahead\n"
                                 "iset 1 ahead\nsck r0 r0 ahead\nsld r0 r0 ahead\nsst r0 r0 ahead\n"
                                 "load r1 r0 r0 ahead\nstore r1 r0 r0 ahead\nswap r1 r0 r0 ahead\n"
                                 "call r0 r0 ahead");
    EXPECT_EQ(assembler.errors, Errors{});
    const Bytes expected = {0x30, 0x0F, 0x00, 0x08, 0x01, 0x21, 0x00, 0x01, 0x30, 0x12, 0x00, 0x08,
                            0x30, 0x05, 0x00, 0x08, 0x30, 0x03, 0x00, 0x08, 0x30, 0x04, 0x00, 0x08,
                            0x50, 0x01, 0x00, 0x08, 0x60, 0x01, 0x00, 0x08, 0x70, 0x01, 0x00, 0x08,
                            0x30, 0x06, 0xFF, 0xE4};
    EXPECT_EQ(image, expected);
}

TEST(AsmLabels, LabelsAfterDataCountOneBytePerDta) {
    // A data table between code: the first pass must count one byte per DTA, or
    // every label after it is off and the jump and the LOAD miss their bytes.
    const std::string source = "jmp r0 r0 code\nlabel table\ndta 11\ndta 22\nlabel last\ndta 33\nlabel code\n"
                               "load r1 r0 r0 last\njmp r0 r0 done\ndta 44\nlabel done\nhlt";
    EXPECT_EQ(assemble(source), (Bytes{0x30, 0x0F, 0x00, 0x07, 0x11, 0x22, 0x33, 0x50, 0x01, 0x00, 0x06,
                                       0x30, 0x0F, 0x00, 0x05, 0x44, 0x01, 0x11, 0x00, 0x01}));
    EXPECT_EQ(assembler.errors, Errors{});
    EXPECT_EQ(assembler.labels.at("TABLE"), 0x0004);
    EXPECT_EQ(assembler.labels.at("LAST"), 0x0006);
    EXPECT_EQ(assembler.labels.at("CODE"), 0x0007);
    EXPECT_EQ(assembler.labels.at("DONE"), 0x0010);
    EXPECT_EQ(assembler.lineAddress, (Addresses{0x0, 0x4, 0x4, 0x5, 0x6, 0x6, 0x7, 0x7, 0xB, 0xF, 0x10, 0x10}));

    // Run from odd addresses: the jumps land on the LOAD and the HLT, the LOAD reads the 33.
    boot(source);
    runToHalt(10);
    EXPECT_EQ(cpu.registers[1], 0x33);
    EXPECT_EQ(cpu.pc, 0x0014);
    EXPECT_TRUE(consoleRows().empty());
}

TEST(AsmLabels, LevelTextExampleAndDuplicates) {
    const Bytes image = assemble("iset 1 int1 ;将1号中断地址设为0008\nhlt\nlabel int1\nlabel int1\nlabel Int1\nhlt");
    EXPECT_EQ(assembler.errors, Errors{});
    EXPECT_EQ(Bytes(image.begin(), image.begin() + 4), (Bytes{0x30, 0x12, 0x00, 0x08}));
    EXPECT_EQ(assembler.labels.size(), 1u);

    assemble("nop\nlabel twice\nnop\nlabel twice\njmp r0 r0 twice");
    EXPECT_EQ(assembler.errors, Errors{});
    EXPECT_EQ(assembler.labels.at("TWICE"), 0x0004);
}

TEST(AsmLines, DataCommentsAndEmptyLines) {
    EXPECT_EQ(assemble("DTA 41\nHLT"), (Bytes{0x41, 0x01, 0x11, 0x00, 0x01}));
    EXPECT_EQ(assembler.lineAddress, (Addresses{0x0000, 0x0001}));

    EXPECT_EQ(assemble("; comment\n\n   \nhlt\n;"), (Bytes{0x01, 0x11, 0x00, 0x01}));
    EXPECT_EQ(assembler.lineAddress, (Addresses{0, 0, 0, 0, 4}));

    EXPECT_EQ(assemble(""), Bytes{});
    EXPECT_EQ(assembler.lineAddress, Addresses{0});
    EXPECT_EQ(assembler.errors, Errors{});
}

TEST(AsmErrors, MessagesPerLineWithTheirSubstitutes) {
    const Bytes image = assemble("SUBI R1 R1 5\nadd r1  r1\nnop\nadd r1 rx r2\nADD\tR3 R1 R2\nlabel\n"
                                 "jmp r0 r0 nowhere\nhlt\r\n\xB0\x61\nsubi");
    const Errors expected = {
        {0, {"不存在的指令：\"SUBI\"\n"}},
        {1, {"行\"add r1  r1\"参数过少\n"}},
        {3, {"寄存器\"X\"不合法\n"}},
        {4, {"不存在的指令：\"ADD\tR3\"\n"}},
        {5, {"行\"label\"参数过少\n"}},
        {6, {"找不到标签\"NOWHERE\"\n"}},
        {7, {"不存在的指令：\"HLT\r\"\n"}},
        {8, {"不存在的指令：\"\xB0\x41\"\n"}}, // folding touches the GBK trail byte too
        {9, {"不存在的指令：\"SUBI\"\n"}},
    };
    EXPECT_EQ(assembler.errors, expected);
    // Only the lines that encode produce bytes; an operand error keeps its line's word.
    EXPECT_EQ(image, (Bytes{0x01, 0x21, 0x00, 0x01, 0x10, 0x21, 0x00, 0x01, 0x30, 0x0F, 0x77, 0x77}));

    // Messages for earlier operands stay when a later one is missing.
    assemble("load rz r1");
    EXPECT_EQ(assembler.errors, (Errors{{0, {"寄存器\"Z\"不合法\n", "行\"load rz r1\"参数过少\n"}}}));
}

TEST(AsmErrors, EachCompileStartsAfresh) {
    assemble("label a\nfoo");
    EXPECT_FALSE(assembler.errors.empty());
    assembler.complie("hlt");
    EXPECT_EQ(assembler.errors, Errors{});
    EXPECT_TRUE(assembler.labels.empty());
    EXPECT_EQ(assembler.lineAddress, Addresses{0});
}

TEST(AsmLoad, LoadProgramResetsAndCopies) {
    freshProgram();
    cpu.memory[0x9000] = 0x55;
    cpu.registers[4] = 4;
    cpu.halted = 0;
    consolePanel.clearText();
    loadProgram({0x01, 0x11, 0x00, 0x01});
    EXPECT_EQ(cpu.memory[0], 0x01);
    EXPECT_EQ(cpu.memory[1], 0x11);
    EXPECT_EQ(cpu.memory[0x9000], 0);
    EXPECT_EQ(cpu.registers[4], 0);
    EXPECT_EQ(cpu.halted, 1);
    EXPECT_TRUE(consoleRows().empty());
}

TEST(AsmLoad, ImageLongerThanMemoryIsCutWithAMessage) {
    std::string text;
    for (int i = 0; i < 16384; ++i) text += "nop\n";
    text += "hlt";
    const Bytes image = assemble(text);
    ASSERT_EQ(image.size(), 65540u);
    EXPECT_EQ(assembler.lineAddress.back(), 0x0000); // the address counter wraps
    consolePanel.clearText();
    loadProgram(image);
    EXPECT_EQ(cpu.memory[0xFFFC], 0x01);
    EXPECT_EQ(cpu.memory[0xFFFD], 0x21);
    EXPECT_EQ(cpu.memory[0x0000], 0x01); // the HLT past the end went nowhere
    EXPECT_EQ(cpu.memory[0x0001], 0x21);
    EXPECT_EQ(consoleRows(), Messages{"写入内存时地址溢出。"});
}

// Source that assembles but is read differently from how a student reads it.
TEST(AsmWarnings, SayWhatTheAssemblerReallyRead) {
    using Warnings = std::vector<std::pair<std::uint64_t, std::string>>;
    struct Case {
        const char* source;
        Warnings warnings;
    };
    const Case cases[] = {
        {"add\tr3 r1 r2", {{0, "这一行有制表符(Tab)。汇编器只认空格作分隔符，请把Tab换成空格。\n"}}},
        {"hlt ;a\tcomment\nadd r3 r1 r2 ; ok", {}},
        {"label Loop\nnop\nlabel loop\njmp r0 r0 loop",
         {{2, "标签\"loop\"在第0行已经定义过，这里的定义不起作用，用的是第0行的。\n"}}},
        {"label face\njmp r0 r0 face\nlabel a1\nload r1 r0 r0 A1\nlabel b2x\njmp r0 r0 b2x",
         {{1, "\"face\"被读成16进制数FACE，不是同名的标签。只含0~9和A~F的标签名用不了，请改名。\n"},
          {3, "\"A1\"被读成16进制数A1，不是同名的标签。只含0~9和A~F的标签名用不了，请改名。\n"}}},
        {"add r3 r1 r2 r4\ndta 41 42\nlabel a b\nhlt now\npush r1 ;r1",
         {{0, "指令到\"r2\"就完整了，后面的\"r4\"被忽略。注释要以;开头。\n"},
          {1, "指令到\"41\"就完整了，后面的\"42\"被忽略。注释要以;开头。\n"},
          {2, "指令到\"a\"就完整了，后面的\"b\"被忽略。注释要以;开头。\n"},
          {3, "指令到\"hlt\"就完整了，后面的\"now\"被忽略。注释要以;开头。\n"}}},
        {"addi r1 r1 0d35\naddi r1 r1 0x23\nload r1 r0 r0 0x200\ndta 0D65\naddi r1 r1 -0d5\nint 0dff\n"
         "addi r1 r1 0d\nload r1 r0 r0 0d00",
         {{0, "\"0d35\"：汇编器里的数都是16进制，不认0d前缀。想写十进制35的话要写成23。\n"},
          {1, "\"0x23\"：汇编器里的数都是16进制，不写0x前缀，直接写23。\n"},
          {2, "\"0x200\"：汇编器里的数都是16进制，不写0x前缀，直接写200。\n"},
          {3, "\"0D65\"：汇编器里的数都是16进制，不认0d前缀。想写十进制65的话要写成41。\n"},
          {4, "\"-0d5\"：汇编器里的数都是16进制，不认0d前缀。想写十进制5的话要写成-5。\n"},
          {5, "\"0dff\"：汇编器里的数都是16进制，不认0d前缀。\n"},
          {7, "\"0d00\"：汇编器里的数都是16进制，不认0d前缀。想写十进制00的话要写成0。\n"}}},
        // Lines in error are the errors' business, apart from the tab that explains one.
        {"ADD\tR3 R1 R2\nadd r1 r1\nfoo bar baz", {{0, "这一行有制表符(Tab)。汇编器只认空格作分隔符，请把Tab换成空格。\n"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        const Bytes image = assemble(c.source);
        const Errors errors = assembler.errors;
        Warnings found;
        for (const AsmWarning& w : findAsmWarnings(c.source)) found.emplace_back(w.line, w.message);
        EXPECT_EQ(found, c.warnings);
        // Looking for warnings changes nothing the assembler produced.
        EXPECT_EQ(assembler.complie(c.source), image);
        EXPECT_EQ(assembler.errors, errors);
    }
}

// Programs known to be right, and the examples a student copies from the level texts.
TEST(AsmWarnings, NoneForTheReferenceSolutionsAndTheLevelExamples) {
    for (const LevelExample& example : levelExamples())
        for (const AsmWarning& w : findAsmWarnings(example.source))
            ADD_FAILURE() << "level " << example.level << " example, line " << w.line << ": " << toUtf8(w.message);
    for (const auto& entry : std::filesystem::directory_iterator(ASMQUEST_SOURCE_DIR "/tests/levels")) {
        if (entry.path().extension() != ".asm") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string source((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::vector<AsmWarning> warnings = findAsmWarnings(source);
        for (const AsmWarning& w : warnings) ADD_FAILURE() << entry.path() << " line " << w.line << ": " << toUtf8(w.message);
    }
}
