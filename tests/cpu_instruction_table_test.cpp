// The instruction table as the manual and the assembler see it.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "cpu/instruction_table.h"

TEST(InstructionTable, ManualRowsPerClassAndWhatAssembles) {
    std::map<InstructionClass, int> manualRows;
    std::set<std::string_view> mnemonics;
    for (const InstructionInfo& info : instructionTable()) {
        EXPECT_TRUE(mnemonics.insert(info.mnemonic).second) << info.mnemonic;
        if (info.listedInManual) ++manualRows[info.kind];
    }
    // 50 manual entries: None 4, Stack 2, Reg 14, Immediate 14 (with SUBI), Address 4, Difference 9, Memory 3.
    const std::map<InstructionClass, int> expected = {
        {InstructionClass::None, 4},    {InstructionClass::Stack, 2},       {InstructionClass::Reg, 14},
        {InstructionClass::Immediate, 14}, {InstructionClass::Address, 4}, {InstructionClass::Difference, 9},
        {InstructionClass::Memory, 3},
    };
    EXPECT_EQ(manualRows, expected);

    EXPECT_EQ(findInstruction("SUBI"), nullptr);
    EXPECT_EQ(findInstruction("add"), nullptr); // tokens arrive folded
    ASSERT_NE(findInstruction("INT"), nullptr);
    EXPECT_FALSE(findInstruction("INT")->listedInManual);
    EXPECT_EQ(baseWord(*findInstruction("HLT")), 0x01110001u);
    EXPECT_EQ(baseWord(*findInstruction("POP")), 0x01600001u);
    EXPECT_EQ(baseWord(*findInstruction("XNOR")), 0x1000000Eu);
    EXPECT_EQ(baseWord(*findInstruction("INT")), 0x20F00000u);
    EXPECT_EQ(baseWord(*findInstruction("JMP")), 0x300F0000u);
    EXPECT_EQ(baseWord(*findInstruction("SWAP")), 0x70000000u);
}
