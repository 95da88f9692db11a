// The manual tree: its shape, its texts, deep copies, and that its
// mnemonics are the assembler's (all but the joke entry SUBI).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "asm/asm.h"
#include "shell/manual.h"
#include "test_support.h"

namespace {
const ManualNode& content(const ManualNode& titled) { return titled.children.at(1); }
const std::string& titleOf(const ManualNode& titled) { return titled.children.at(0).text; }

const ManualNode& instructionNode() { return content(content(manualRoot).children.at(1)).children.at(1); }

void expectSame(const ManualNode& a, const ManualNode& b) {
    ASSERT_EQ(a.kind, b.kind);
    ASSERT_EQ(a.text, b.text);
    ASSERT_EQ(a.children.size(), b.children.size());
    for (std::size_t i = 0; i < a.children.size(); ++i) expectSame(a.children[i], b.children[i]);
}

TEST(Manual, RootHoldsTheGuideAndTheInstructionSet) {
    freshProgram();
    ASSERT_EQ(manualRoot.kind, 2);
    ASSERT_EQ(manualRoot.children.size(), 2u);
    EXPECT_EQ(manualRoot.children[0].kind, 1);
    EXPECT_EQ(manualRoot.children[0].text, "说明书");
    const ManualNode& sections = content(manualRoot);
    ASSERT_EQ(sections.kind, 2);
    ASSERT_EQ(sections.children.size(), 2u);
    EXPECT_EQ(titleOf(sections.children[0]), "操作指南");
    EXPECT_EQ(titleOf(sections.children[1]), "指令集");

    const ManualNode& set = content(sections.children[1]);
    ASSERT_EQ(set.children.size(), 2u);
    EXPECT_EQ(titleOf(set.children[0]), "字段");
    ASSERT_EQ(content(set.children[0]).children.size(), 1u);
    EXPECT_EQ(content(set.children[0]).children[0].text,
              "0000 0000 0000 0000 00000000  00000000 \nOp   Rs   Rt   Rd   AddrH8    AddrL8   \n"
              "Imm=AddrL8                             \n");
    EXPECT_EQ(titleOf(set.children[1]), "指令");
}

TEST(Manual, SevenCategoriesWithFiftyEntries) {
    freshProgram();
    const ManualNode& instructions = instructionNode();
    ASSERT_EQ(instructions.children.size(), 8u); // the title, then the categories directly
    const std::vector<std::string> titles = {"None型", "Stack型", "Reg型", "Immediate型",
                                             "Address型", "Difference型", "None型"};
    const std::vector<std::vector<std::string>> mnemonics = {
        {"HLT", "NOP", "RET", "IRET"},
        {"PUSH", "POP"},
        {"ADD", "SUB", "MUL", "MULH", "DIV", "MOD", "SHL", "SHR", "AND", "OR", "NAND", "NOR", "XOR", "XNOR"},
        {"ADDI", "SUBI", "MULI", "MULHI", "DIVI", "MODI", "SHLI", "SHRI", "ANDI", "ORI", "NANDI", "NORI", "XORI",
         "XNORI"},
        {"ISET", "SLD", "SST", "SCK"},
        {"CALL", "JNV", "JGT", "JLT", "JEQ", "JGE", "JLE", "JNE", "JMP"},
        {"LOAD", "STORE", "SWAP"},
    };
    std::size_t total = 0;
    for (std::size_t c = 0; c < 7; ++c) {
        const ManualNode& category = instructions.children[c + 1];
        EXPECT_EQ(titleOf(category), titles[c]);
        const ManualNode& list = content(category);
        ASSERT_EQ(list.children.size(), mnemonics[c].size() + 1) << titles[c];
        EXPECT_EQ(list.children[0].kind, 1); // the encoding note
        for (std::size_t e = 0; e < mnemonics[c].size(); ++e) {
            const ManualNode& entry = list.children[e + 1];
            EXPECT_EQ(titleOf(entry), mnemonics[c][e]);
            ASSERT_EQ(content(entry).children.size(), 1u);
            const std::string& text = content(entry).children[0].text;
            EXPECT_EQ(text.rfind(mnemonics[c][e] + " ", 0) == 0 || text.rfind(mnemonics[c][e] + "\n", 0) == 0, true)
                << text;
            ++total;
        }
    }
    EXPECT_EQ(total, 50u);
}

std::string entryText(std::size_t category, std::size_t entry) {
    return content(content(instructionNode().children.at(category + 1)).children.at(entry + 1)).children.at(0).text;
}

TEST(Manual, TextsByteForByte) {
    freshProgram();
    EXPECT_EQ(entryText(0, 0), "HLT\n停机\nTYPE=1\n");
    EXPECT_EQ(entryText(2, 7), "SHR Rd Rs Rt\n令Rd=Rs>>Rt\nTYPE=8\n");
    EXPECT_EQ(entryText(3, 1), "SUBI Rd Rs Imm\n令Rd=Rs-Imm\nTYPE=2\n");
    EXPECT_EQ(entryText(3, 7), "SHRI Rd Rs Imm\n令Rd=Rs>>Imm\nTYPE=8\n");
    EXPECT_EQ(entryText(4, 0), "ISET Imm Addr\n将Imm号中断地址设为Addr\nRs=ImmH4 Rt=ImmL4TYPE=2\n");
    EXPECT_EQ(entryText(5, 1), "JNV Rs Rt Addr\n满足条件时跳转到ADDR\n条件：永不成立\n      **指令！它应该和SUBI一个下场！\nTYPE=8\n");
    EXPECT_EQ(entryText(5, 3), "JLT Rs Rt Addr\n满足条件时跳转到ADDR\n条件：     C=1\nTYPE=A\n");
    EXPECT_EQ(entryText(6, 2), "SWAP Rs Rt Rd Addr\n将地址为ADDR的内存与Rd交换\n注：这个指令会在一周期内完成\n    所以你可以利用它做锁\nOP=7\n");

    const std::string addressNote = "注：ADDR为Rs<<8+Rt<<0+Addr\n即：Rs作为偏移高8位\n    Rt作为偏移第8位\n    基址为Addr\n";
    const ManualNode& instructions = instructionNode();
    EXPECT_EQ(content(instructions.children[1]).children[0].text, "Op=N(0) Rs=Rd=1 Rt=TYPE Addr=1");
    EXPECT_EQ(content(instructions.children[2]).children[0].text, "Op=S(0) Rs=1 Rt=TYPE Addr=1");
    EXPECT_EQ(content(instructions.children[3]).children[0].text, "Op=R(1) Imm=TYPE");
    EXPECT_EQ(content(instructions.children[4]).children[0].text, "Op=R(2) Rt=TYPE");
    EXPECT_EQ(content(instructions.children[5]).children[0].text, "Op=AD(3) Rd=TYPE\n" + addressNote);
    EXPECT_EQ(content(instructions.children[6]).children[0].text, "Op=AD(3) Rd=TYPE\n" + addressNote);
    EXPECT_EQ(content(instructions.children[7]).children[0].text, addressNote);
}

// The manual and the assembler agree on the instruction names; SUBI is the
// manual's only entry the assembler refuses.
TEST(Manual, MnemonicsAreTheAssemblers) {
    freshProgram();
    const ManualNode& instructions = instructionNode();
    for (std::size_t c = 1; c < instructions.children.size(); ++c) {
        const ManualNode& list = content(instructions.children[c]);
        for (std::size_t e = 1; e < list.children.size(); ++e) {
            const std::string mnemonic = titleOf(list.children[e]);
            Asm local;
            local.complie(mnemonic + " r1 r1 r1 1");
            bool unknown = false;
            for (const auto& [line, messages] : local.errors)
                for (const std::string& message : messages) unknown |= message.rfind("不存在的指令", 0) == 0;
            EXPECT_EQ(unknown, mnemonic == "SUBI") << mnemonic;
        }
    }
}

TEST(Manual, GuideFitsThePanelAndExplainsThePlay) {
    freshProgram();
    const std::string& guide = content(content(manualRoot).children[0]).children.at(0).text;
    ASSERT_FALSE(guide.empty());
    std::size_t start = 0;
    while (start < guide.size()) {
        std::size_t end = guide.find('\n', start);
        if (end == std::string::npos) end = guide.size();
        EXPECT_LE(end - start, 76u) << toUtf8(guide.substr(start, end - start));
        start = end + 1;
    }
    for (const char* topic : {"重置", "编译", "运行", "步进", "快速", "慢速", "Ctrl+C", "Shift", "行号", "键盘", "257",
                              "标题栏", "F10"})
        EXPECT_NE(guide.find(topic), std::string::npos) << toUtf8(topic);
}

TEST(Manual, DeepCopyIsIdenticalAndIndependent) {
    freshProgram();
    {
        ManualNode copy = manualRoot;
        expectSame(copy, manualRoot);
        copy.children[1].children[0].children[0].text = "changed";
    }
    const ManualNode rebuilt = buildManual();
    expectSame(manualRoot, rebuilt);
    ManualNode* moved = new ManualNode(manualRoot);
    delete moved;
    expectSame(manualRoot, rebuilt);
}

TEST(Manual, MakeListCopiesItsNodes) {
    const ManualNode leaf = makeLeaf("x");
    const ManualNode list = makeList({leaf, makeList({leaf, leaf})});
    EXPECT_EQ(list.kind, 2);
    EXPECT_TRUE(list.text.empty());
    ASSERT_EQ(list.children.size(), 2u);
    EXPECT_EQ(list.children[1].children.size(), 2u);
    EXPECT_EQ(list.children[1].children[1].text, "x");
    EXPECT_EQ(leaf.kind, 1);
}
} // namespace
