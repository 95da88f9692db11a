// Jumps, calls, memory instructions, the stack block moves, fetch and the
// reports of invalid words.
#include <algorithm>
#include <memory>

#include "cpu/instruction_table.h"
#include "cpu_machine.h"

TEST(CpuState, ColdResetAndFirstProgram) {
    const auto expectCold = [](const Cpu& machine) {
        EXPECT_EQ(machine.pc, 0);
        EXPECT_EQ(machine.sp, 0xFD00);
        EXPECT_EQ(machine.clk, 0xFFFF);
        EXPECT_EQ(machine.halted, 1);
        EXPECT_EQ(machine.flags, 0);
        EXPECT_EQ(machine.pendingKey, 0);
        EXPECT_FALSE(machine.stepHook);
        for (std::uint8_t r : machine.registers) EXPECT_EQ(r, 0);
        for (std::uint32_t a = 0; a < 65536; ++a) ASSERT_EQ(machine.memory[a], 0);
    };
    expectCold(*std::make_unique<Cpu>());

    freshProgram();
    for (std::uint8_t& r : cpu.registers) r = 0x5A;
    std::fill(std::begin(cpu.memory), std::end(cpu.memory), 0xA5);
    cpu.flags = 0x0F, cpu.pc = 0x1234, cpu.sp = 0xFD50, cpu.clk = 3, cpu.halted = 0, cpu.pendingKey = 0x41;
    cpu.stepHook = [] {};
    cpu.reset();
    expectCold(cpu);

    cpu.step(); // halted: nothing happens
    EXPECT_EQ(cpu.pc, 0);

    boot("add r3 r1 r2\nhlt");
    cpu.registers[1] = 0xF0;
    cpu.registers[2] = 0x20;
    steps(2);
    EXPECT_EQ(cpu.registers[3], 0x10);
    EXPECT_EQ(cpu.halted, 1);
    EXPECT_EQ(cpu.pc, 8);
}

TEST(CpuJumps, ConditionsReadZAndCOnly) {
    // A taken jump skips to the HLT at 8.
    struct Case {
        const char* jump;
        std::uint8_t flags;
        bool taken;
    };
    const Case cases[] = {
        {"jnv", 0, false}, {"jnv", Z | C | S, false}, {"jmp", 0, true},     {"jmp", Z | C, true},
        {"jgt", 0, true},  {"jgt", Z, false},         {"jgt", C, false},    {"jgt", S, true},
        {"jlt", C, true},  {"jlt", Z | S, false},     {"jeq", Z, true},     {"jeq", C | S, false},
        {"jge", 0, true},  {"jge", Z, true},          {"jge", C, false},    {"jle", Z, true},
        {"jle", C, true},  {"jle", S, false},         {"jne", C | S, true}, {"jne", Z, false},
    };
    for (const Case& c : cases) {
        boot(std::string(c.jump) + " r0 r0 8\naddi r9 r9 1\nhlt");
        cpu.flags = c.flags;
        steps(1);
        SCOPED_TRACE(std::string(c.jump) + " flags " + std::to_string(c.flags));
        EXPECT_EQ(cpu.pc, c.taken ? 8 : 4);
        EXPECT_EQ(cpu.flags, c.flags);
    }
}

TEST(CpuJumps, TargetsAreRelativeToTheJumpItself) {
    boot("jmp r0 r0 0");
    steps(100);
    EXPECT_EQ(cpu.pc, 0);
    EXPECT_EQ(cpu.halted, 0);

    // Backwards by -4, and an offset built from Rs:Rt plus Addr.
    boot("jmp r0 r0 c\nhlt\nhlt\njmp r0 r0 -4\nhlt");
    steps(2);
    EXPECT_EQ(cpu.pc, 8);
    boot("addi r1 r0 1\naddi r2 r0 2\njmp r1 r2 -100\nhlt");
    steps(3);
    EXPECT_EQ(cpu.pc, 0x0008 + 0x0102 - 0x100);
}

TEST(CpuCalls, CallPushesReturnAddressLowByteFirstAndRetComesBack) {
    boot("nop\ncall r0 r0 func\naddi r2 r0 2\nhlt\nlabel func\naddi r1 r0 1\nret");
    steps(2);
    EXPECT_EQ(cpu.pc, 0x10);
    EXPECT_EQ(cpu.sp, 0xFD02);
    EXPECT_EQ(cpu.memory[0xFD00], 0x08); // low byte of the call's address + 4
    EXPECT_EQ(cpu.memory[0xFD01], 0x00);
    runToHalt();
    EXPECT_EQ(cpu.registers[1], 1);
    EXPECT_EQ(cpu.registers[2], 2);
    EXPECT_EQ(cpu.sp, 0xFD00);
    EXPECT_EQ(cpu.pc, 0x10);
}

TEST(CpuMemory, LoadStoreSwapUseRsRtOffsetPlusAddr) {
    boot("addi r1 r0 1\naddi r2 r0 2\naddi r3 r0 41\n"
         "store r3 r1 r2 fe\n"  // 0x0102 + 0xFE = 0x0200
         "load r4 r0 r0 200\n"
         "addi r5 r0 99\n"
         "swap r5 r0 r0 200\n"
         "store r0 r0 r0 201\n"
         "hlt");
    cpu.memory[0x201] = 0x77;
    runToHalt();
    EXPECT_EQ(cpu.registers[4], 0x41);
    EXPECT_EQ(cpu.registers[5], 0x41);
    EXPECT_EQ(cpu.memory[0x200], 0x99);
    EXPECT_EQ(cpu.memory[0x201], 0x00); // STORE of R0 writes 0

    // Effective addresses fold at 64 KiB.
    boot("addi r1 r0 ff\naddi r2 r0 ff\naddi r3 r0 5a\nstore r3 r1 r2 2\nhlt");
    runToHalt();
    EXPECT_EQ(cpu.memory[0x0001], 0x5A);
}

TEST(CpuMemory, IsetWritesTheTableLowByteFirst) {
    boot("iset 1 0008\niset ff 1234\niset 3 0100\nhlt");
    runToHalt();
    EXPECT_EQ(cpu.memory[0xFE02], 0x08);
    EXPECT_EQ(cpu.memory[0xFE03], 0x00);
    EXPECT_EQ(word16(0xFFFE), 0x1234);
    EXPECT_EQ(cpu.memory[0xFE06], 0x00);
    EXPECT_EQ(cpu.memory[0xFE07], 0x01);
}

TEST(CpuMemory, SstThenSldRestoresTheStack) {
    boot("addi r1 r0 11\naddi r2 r0 22\naddi r3 r0 33\npush r1\npush r2\npush r3\n"
         "sst r0 r0 300\n"
         "sld r0 r0 300\n"
         "hlt");
    steps(7);
    EXPECT_EQ(cpu.sp, 0xFD00);
    EXPECT_EQ(cpu.memory[0x300], 3);
    EXPECT_EQ(cpu.memory[0x301], 0x11);
    EXPECT_EQ(cpu.memory[0x302], 0x22);
    EXPECT_EQ(cpu.memory[0x303], 0x33);
    cpu.memory[0xFD00] = cpu.memory[0xFD01] = cpu.memory[0xFD02] = 0;
    steps(1);
    EXPECT_EQ(cpu.sp, 0xFD03);
    EXPECT_EQ(cpu.memory[0xFD00], 0x11);
    EXPECT_EQ(cpu.memory[0xFD02], 0x33);
    EXPECT_EQ(cpu.memory[0x301], 0x11); // the source stays
}

TEST(CpuMemory, SldAndSstBlocksFoldPastTheTopOfMemory) {
    freshProgram();
    cpu.memory[0xFFFE] = 3;
    cpu.memory[0xFFFF] = 0xA1;
    cpu.memory[0x0000] = 0xA2;
    cpu.memory[0x0001] = 0xA3;
    cpu.execute(0x3003FFFE); // SLD R0 R0 FFFE
    EXPECT_EQ(cpu.sp, 0xFD03);
    EXPECT_EQ(cpu.memory[0xFD00], 0xA1);
    EXPECT_EQ(cpu.memory[0xFD01], 0xA2);
    EXPECT_EQ(cpu.memory[0xFD02], 0xA3);

    cpu.memory[0xFD00] = 0x51;
    cpu.memory[0xFD01] = 0x52;
    cpu.memory[0xFD02] = 0x53;
    cpu.execute(0x3004FFFF); // SST R0 R0 FFFF: count at 0xFFFF, bytes from 0x0000
    EXPECT_EQ(cpu.sp, 0xFD00);
    EXPECT_EQ(cpu.memory[0xFFFF], 3);
    EXPECT_EQ(cpu.memory[0x0000], 0x51);
    EXPECT_EQ(cpu.memory[0x0001], 0x52);
    EXPECT_EQ(cpu.memory[0x0002], 0x53);
    EXPECT_EQ(cpu.memory[0x0003], 0x00);
}

TEST(CpuFetch, FetchWrapsAtTheTopOfMemory) {
    freshProgram();
    // HLT's bytes 01 11 00 01 at 0xFFFE, 0xFFFF, 0x0000, 0x0001.
    cpu.memory[0xFFFE] = 0x01;
    cpu.memory[0xFFFF] = 0x11;
    cpu.memory[0x0000] = 0x00;
    cpu.memory[0x0001] = 0x01;
    cpu.pc = 0xFFFE;
    cpu.halted = 0;
    cpu.step();
    EXPECT_EQ(cpu.halted, 1);
    EXPECT_EQ(cpu.pc, 0x0002);
    EXPECT_TRUE(consoleRows().empty());
}

TEST(CpuInvalid, ZeroWordPrintsThreeLinesAndHalts) {
    boot("nop");
    runToHalt();
    EXPECT_EQ(cpu.pc, 8);
    const std::vector<std::string> expected = {"异常：读取到0x00000000！已停机。", "你是不是没写hlt？", "是不是写错了地址？"};
    EXPECT_EQ(consoleRows(), expected);
}

TEST(CpuInvalid, OtherInvalidWordsPrintOneLineAndChangeOnlyPc) {
    const std::uint32_t words[] = {0x41234567, 0x8FFFFFFF, 0x00700001, 0x01010001 & 0xFF0FFFFF, 0x11230000,
                                   0x1123000F, 0x112300FF, 0x21030005, 0x30010000, 0x30070000};
    for (std::uint32_t word : words) {
        boot("");
        for (int i = 0; i < 16; ++i) cpu.registers[i] = std::uint8_t(0x10 + i);
        cpu.flags = C;
        cpu.memory[0] = std::uint8_t(word >> 24);
        cpu.memory[1] = std::uint8_t(word >> 16);
        cpu.memory[2] = std::uint8_t(word >> 8);
        cpu.memory[3] = std::uint8_t(word);
        cpu.step();
        char expected[64];
        std::snprintf(expected, sizeof expected, "异常：读取到0x%08X！已停机。", word);
        SCOPED_TRACE(expected);
        EXPECT_EQ(consoleRows(), std::vector<std::string>{expected});
        EXPECT_EQ(cpu.halted, 1);
        EXPECT_EQ(cpu.pc, 4);
        EXPECT_EQ(cpu.flags, C);
        EXPECT_EQ(cpu.sp, 0xFD00);
        for (int i = 1; i < 16; ++i) EXPECT_EQ(cpu.registers[i], 0x10 + i);
    }
}

TEST(CpuInvalid, DecoderAgreesWithTheInstructionTable) {
    // Valid: exactly the Op/TYPE pairs of the instruction table (plus Immediate TYPE 2).
    const auto expectValid = [](std::uint32_t op, std::uint32_t type) {
        switch (op) {
        case 0: return type >= 1 && type <= 6;
        case 1: return type >= 1 && type <= 0xE;
        case 2: return type >= 1;
        case 3: return type >= 2 && type != 7;
        case 5: case 6: case 7: return true;
        default: return false;
        }
    };
    freshProgram();
    for (std::uint32_t op = 0; op < 16; ++op) {
        for (std::uint32_t type = 0; type < 16; ++type) {
            std::uint32_t word = op << 28;
            if (op == 0 || op == 2) word |= type << 20;
            if (op == 1) word |= type;
            if (op == 3) word |= type << 16;
            if (op >= 5 && op <= 7) word |= type << 16; // Rd, not a TYPE: any value runs
            word |= 0x00000400; // AddrH8: jumps and memory access land at 0x0400
            cpu.reset();
            consolePanel.clearText();
            cpu.halted = 0;
            cpu.sp = 0xFD10;
            cpu.execute(word);
            SCOPED_TRACE(word);
            EXPECT_EQ(isValidWord(word), expectValid(op, type));
            // HLT is the one valid word that halts.
            EXPECT_EQ(cpu.halted == 1, !expectValid(op, type) || word == 0x00100400);
            EXPECT_EQ(consoleRows().empty(), expectValid(op, type));
        }
    }
}
