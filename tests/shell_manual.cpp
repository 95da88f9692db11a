// The manual tree: its shape, its texts, deep copies, and that what it
// teaches is what the assembler and the CPU do: the mnemonics (all but the
// joke entry SUBI), each entry's operand order, which instructions change the
// flags, and its code examples.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "asm/asm.h"
#include "cpu/cpu.h"
#include "cpu/instruction_table.h"
#include "shell/manual.h"
#include "shell/manual_topics.h"
#include "test_support.h"

namespace {
const ManualNode& content(const ManualNode& titled) { return titled.children.at(1); }
const std::string& titleOf(const ManualNode& titled) { return titled.children.at(0).text; }

const ManualNode& instructionNode() { return content(content(manualRoot).children.at(1)).children.at(3); }

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
    ASSERT_EQ(set.children.size(), 4u);
    EXPECT_EQ(titleOf(set.children[0]), "字段");
    ASSERT_EQ(content(set.children[0]).children.size(), 1u);
    EXPECT_EQ(content(set.children[0]).children[0].text,
              "0000 0000 0000 0000 00000000  00000000 \nOp   Rs   Rt   Rd   AddrH8    AddrL8   \n"
              "Imm=AddrL8                             \n");
    EXPECT_EQ(titleOf(set.children[1]), "标志位");
    EXPECT_EQ(titleOf(set.children[2]), "标签和数字");
    EXPECT_EQ(titleOf(set.children[3]), "指令");
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
    EXPECT_EQ(entryText(2, 7), "SHR Rd Rs Rt\n令Rd=Rs>>Rt\n移位位数取Rt除以0x20的余数\nTYPE=8\n");
    EXPECT_EQ(entryText(3, 1).rfind("SUBI Rd Rs Imm\n令Rd=Rs-Imm\n", 0), 0u);
    EXPECT_EQ(entryText(3, 7), "SHRI Rd Rs Imm\n令Rd=Rs>>Imm\n移位位数取Imm除以0x20的余数\nTYPE=8\n");
    EXPECT_EQ(entryText(4, 0), "ISET Imm Addr\n将Imm号中断地址设为Addr\nAddr是绝对地址，可以写标签\nRs=ImmH4 Rt=ImmL4\nTYPE=2\n");
    EXPECT_EQ(entryText(5, 1), "JNV Rs Rt Addr\n满足条件时跳转到本指令的地址+ADDR\n条件：永不成立\n      **指令！它应该和SUBI一个下场！\nTYPE=8\n");
    EXPECT_EQ(entryText(5, 3), "JLT Rs Rt Addr\n满足条件时跳转到本指令的地址+ADDR\n条件：     C=1\nTYPE=A\n");
    EXPECT_EQ(entryText(6, 2), "SWAP Rd Rs Rt Addr\n将地址为ADDR的内存与Rd交换\n注：这个指令会在一周期内完成\n    所以你可以利用它做锁\nOP=7\n");
    EXPECT_NE(entryText(3, 1).find("汇编器不接受SUBI"), std::string::npos);
    EXPECT_NE(entryText(3, 1).find("addi r1 r1 -5"), std::string::npos);

    const std::string offsetNote = "注：ADDR为Rs<<8+Rt<<0+Addr\n即：Rs作为偏移高8位\n    Rt作为偏移低8位\n";
    const std::string addressNote = offsetNote + "    基址为Addr\nAddr写标签时就是标签的地址\n";
    const std::string distanceNote = offsetNote + "    Addr为距离\n跳转目标=本指令的地址+ADDR\n";
    const ManualNode& instructions = instructionNode();
    EXPECT_EQ(content(instructions.children[1]).children[0].text, "Op=N(0) Rs=Rd=1 Rt=TYPE Addr=1");
    EXPECT_EQ(content(instructions.children[2]).children[0].text, "Op=S(0) Rs=1 Rt=TYPE Addr=1");
    EXPECT_EQ(content(instructions.children[3]).children[0].text, "Op=R(1) Imm=TYPE");
    EXPECT_EQ(content(instructions.children[4]).children[0].text.rfind("Op=R(2) Rt=TYPE\n", 0), 0u);
    EXPECT_EQ(content(instructions.children[5]).children[0].text, "Op=AD(3) Rd=TYPE\n" + addressNote);
    EXPECT_EQ(content(instructions.children[6]).children[0].text.rfind("Op=AD(3) Rd=TYPE\n" + distanceNote, 0), 0u);
    EXPECT_EQ(content(instructions.children[7]).children[0].text, "Op=OP(5~7)，没有TYPE\n" + addressNote);
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

const InstructionInfo* tableRow(const std::string& mnemonic) {
    for (const InstructionInfo& info : instructionTable())
        if (info.mnemonic == mnemonic) return &info;
    return nullptr;
}

const char* operandName(Operand operand) {
    switch (operand) {
    case Operand::Rd: return "Rd";
    case Operand::Rs: return "Rs";
    case Operand::Rt: return "Rt";
    case Operand::Imm:
    case Operand::Number: return "Imm";
    case Operand::Absolute:
    case Operand::Relative: return "Addr";
    default: return "?";
    }
}

std::vector<std::string> wordsOf(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

// Each entry's first line is how a player writes the instruction: the operand
// order comes from the table the assembler reads, and the line, filled in
// with distinct values, assembles into a word whose fields hold those values.
TEST(Manual, SyntaxLinesReadAsTheAssemblerReadsThem) {
    freshProgram();
    const ManualNode& instructions = instructionNode();
    std::size_t checked = 0;
    for (std::size_t c = 1; c < instructions.children.size(); ++c) {
        const ManualNode& list = content(instructions.children[c]);
        for (std::size_t e = 1; e < list.children.size(); ++e) {
            const std::string mnemonic = titleOf(list.children[e]);
            const std::string& text = content(list.children[e]).children.at(0).text;
            const std::string syntax = text.substr(0, text.find('\n'));
            const InstructionInfo* row = tableRow(mnemonic);
            ASSERT_NE(row, nullptr) << mnemonic;
            std::string expected = mnemonic;
            for (std::size_t k = 0; k < row->operandCount; ++k) expected += std::string(" ") + operandName(row->operands[k]);
            EXPECT_EQ(syntax, expected);
            if (!row->assembles) continue;

            std::string line;
            for (const std::string& word : wordsOf(syntax)) {
                const std::string value = word == "Rd" ? "r1" : word == "Rs" ? "r2" : word == "Rt" ? "r3"
                                        : word == "Imm" ? "45" : word == "Addr" ? "0300" : word;
                line += value + " ";
            }
            Asm local;
            const std::vector<std::uint8_t> image = local.complie(line);
            ASSERT_TRUE(local.errors.empty()) << line;
            ASSERT_EQ(image.size(), 4u) << line;
            const std::uint32_t word = std::uint32_t{image[0]} << 24 | std::uint32_t{image[1]} << 16 |
                                       std::uint32_t{image[2]} << 8 | image[3];
            const unsigned rs = word >> 24 & 0xF, rt = word >> 20 & 0xF, rd = word >> 16 & 0xF;
            for (const std::string& operand : wordsOf(syntax)) {
                if (operand == "Rd") {
                    EXPECT_EQ(rd, 1u) << line;
                }
                if (operand == "Rs") {
                    EXPECT_EQ(rs, 2u) << line;
                }
                if (operand == "Rt") {
                    EXPECT_EQ(rt, 3u) << line;
                }
                if (operand == "Addr") {
                    EXPECT_EQ(word & 0xFFFF, 0x0300u) << line;
                }
                if (operand == "Imm" && mnemonic == "ISET") {
                    EXPECT_EQ(rs << 4 | rt, 0x45u) << line;
                }
                if (operand == "Imm" && mnemonic != "ISET") {
                    EXPECT_EQ(word & 0xFF, 0x45u) << line;
                }
            }
            ++checked;
        }
    }
    EXPECT_EQ(checked, 49u); // every entry but SUBI
}

const std::string& topicText(const std::string& title) {
    const ManualNode& set = content(content(manualRoot).children.at(1));
    for (const ManualNode& node : set.children)
        if (titleOf(node) == title) return content(node).children.at(0).text;
    static const std::string none;
    ADD_FAILURE() << toUtf8(title);
    return none;
}

// The upper-case words on the lines after the line starting with `from`,
// up to the line starting with `to`.
std::set<std::string> mnemonicsListed(const std::string& text, const std::string& from, const std::string& to) {
    std::set<std::string> names;
    std::istringstream in(text);
    bool inside = false;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(from, 0) == 0) {
            inside = true;
            continue;
        }
        if (line.rfind(to, 0) == 0) break;
        if (!inside) continue;
        std::string word;
        for (char ch : line + " ") {
            if (ch >= 'A' && ch <= 'Z') {
                word += ch;
                continue;
            }
            if (!word.empty()) names.insert(word);
            word.clear();
        }
    }
    return names;
}

// The 标志位 page lists the instructions that change Z, C and S and those
// that leave them alone. Every instruction of the table is run once on the
// CPU with all three flags set (a state no operation leaves behind) to see
// which list it belongs in.
TEST(Manual, FlagsPageListsWhatTheCpuDoes) {
    std::set<std::string> changing, keeping;
    for (const InstructionInfo& row : instructionTable()) {
        if (row.kind == InstructionClass::Directive || !row.assembles || row.mnemonic == "IRET") continue;
        std::string line(row.mnemonic);
        for (std::size_t k = 0; k < row.operandCount; ++k) {
            const Operand operand = row.operands[k];
            line += operand == Operand::Rd ? " r1" : operand == Operand::Rs ? " r2" : operand == Operand::Rt ? " r3"
                  : operand == Operand::Imm ? " 3" : operand == Operand::Number ? " 5" : " 300";
        }
        freshProgram();
        const std::vector<std::uint8_t> image = assembler.complie(line);
        ASSERT_TRUE(assembler.errors.empty()) << line;
        loadProgram(image);
        cpu.registers[1] = 0x12;
        cpu.registers[2] = 0x34;
        cpu.registers[3] = 0x03;
        cpu.flags = 0x07;
        cpu.halted = 0;
        cpu.step();
        ((cpu.flags & 0x07) != 0x07 ? changing : keeping).insert(std::string(row.mnemonic));
        if ((cpu.flags & 0x07) != 0x07) {
            EXPECT_TRUE(row.kind == InstructionClass::Reg || row.kind == InstructionClass::Immediate) << line;
        }
    }
    freshProgram();
    const std::string& page = topicText("标志位");
    EXPECT_EQ(mnemonicsListed(page, "会改变Z、C、S的只有运算指令", "它们先把"), changing);
    EXPECT_EQ(mnemonicsListed(page, "不改变Z、C、S的指令", "(INT"), keeping);
    EXPECT_EQ(changing.size(), 27u);
    for (const char* meaning : {"Z(零)", "C(进位)", "S(符号)", "I(中断)", "第0位Z，第1位C，第2位S，第3位I"})
        EXPECT_NE(page.find(meaning), std::string::npos) << toUtf8(meaning);
}

// The examples of the manual's pages are shown as written and assemble; the
// one that reads a label's address gets what its comments say.
TEST(Manual, ExamplesAreShownAndDoWhatTheyClaim) {
    freshProgram();
    ASSERT_EQ(manualExamples().size(), 2u);
    const std::string& labels = topicText("标签和数字");
    for (const std::string& source : manualExamples()) {
        std::istringstream in(source);
        for (std::string line; std::getline(in, line);)
            EXPECT_NE(labels.find("  " + line + "\n"), std::string::npos) << toUtf8(line);
        Asm local;
        local.complie(source);
        EXPECT_TRUE(local.errors.empty()) << toUtf8(source);
    }
    const std::vector<std::uint8_t> image = assembler.complie(manualExamples()[1]);
    loadProgram(image);
    cpu.halted = 0;
    for (int i = 0; i < 10 && !cpu.halted; ++i) cpu.step();
    EXPECT_TRUE(cpu.halted);
    EXPECT_EQ(cpu.registers[1], 0x14); // data follows four instructions and hlt
    EXPECT_EQ(cpu.registers[2], 0x00);
    EXPECT_EQ(cpu.registers[3], 0x2A);
    // The loop example: the label is a distance back, -4.
    const std::vector<std::uint8_t> loop = assembler.complie(manualExamples()[0]);
    ASSERT_EQ(loop.size(), 8u);
    EXPECT_EQ(loop[6], 0xFF);
    EXPECT_EQ(loop[7], 0xFC);
}

void collectText(const ManualNode& node, std::string& text) {
    text += node.text + "\n";
    for (const ManualNode& child : node.children) collectText(child, text);
}

// Every instruction the manual names is one the table knows (SUBI included,
// marked there as not assembled): an upper-case word is a mnemonic unless it
// is a hexadecimal number or one of the machine's field and register names.
TEST(Manual, NamesOnlyInstructionsOfTheTable) {
    freshProgram();
    std::string text;
    collectText(manualRoot, text);
    const std::set<std::string> fields = {"TYPE", "ADDR", "OP", "AD", "PC", "SP", "CLK", "CPU"};
    std::set<std::string> named;
    std::string word;
    for (char ch : text) {
        if (ch >= 'A' && ch <= 'Z') {
            word += ch;
            continue;
        }
        if (word.size() >= 2 && !fields.count(word) && word.find_first_not_of("0123456789ABCDEF") != std::string::npos)
            named.insert(word);
        word.clear();
    }
    for (const std::string& name : named) EXPECT_NE(tableRow(name), nullptr) << name;
    EXPECT_TRUE(named.count("SUBI") && named.count("INT") && named.count("DTA") && named.count("LOAD"));
    EXPECT_FALSE(tableRow("SUBI")->assembles);
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
                              "标题栏", "F10", "重放", "回退", "F7"})
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
