// ALU results and flags, through real programs: two ADDIs load the operands,
// then the operation runs in its register form and in its immediate form.
#include <cstdio>

#include "cpu_machine.h"

namespace {
struct AluCase {
    const char* op;
    std::uint8_t a, b;
    std::uint8_t result;
    std::uint8_t flags; // Z, C, S after the operation
};

// Expected values worked out by hand from the operation's definition.
// Each operation also sits on both sides of its carry boundary (full result
// 0xFF against 0x100, A = B against A < B) and of the sign bit (0x7F against 0x80).
const AluCase aluCases[] = {
    {"ADD", 0xFF, 0x01, 0x00, Z | C},
    {"ADD", 0x40, 0x41, 0x81, S},
    {"ADD", 0x80, 0x7F, 0xFF, S},
    {"ADD", 0x80, 0x80, 0x00, Z | C},
    {"ADD", 0x81, 0x80, 0x01, C},
    {"ADD", 0x7E, 0x01, 0x7F, 0},
    {"ADD", 0x7F, 0x01, 0x80, S},
    {"ADD", 0x00, 0x00, 0x00, Z},
    {"SUB", 0x05, 0x05, 0x00, Z},
    {"SUB", 0x01, 0x02, 0xFF, C | S},
    {"SUB", 0x09, 0x02, 0x07, 0},
    {"SUB", 0x80, 0x7F, 0x01, 0},
    {"SUB", 0x7F, 0x80, 0xFF, C | S},
    {"SUB", 0x00, 0xFF, 0x01, C},
    {"SUB", 0xFF, 0x00, 0xFF, S},
    {"MUL", 0x10, 0x10, 0x00, Z | C},
    {"MUL", 0x0F, 0x03, 0x2D, 0},
    {"MUL", 0x11, 0x0F, 0xFF, S},    // 0xFF exactly: no carry
    {"MUL", 0xFF, 0x01, 0xFF, S},
    {"MUL", 0x80, 0x02, 0x00, Z | C}, // 0x100
    {"MUL", 0x81, 0x02, 0x02, C},
    {"MUL", 0xFF, 0x00, 0x00, Z},
    {"MULH", 0x10, 0x10, 0x01, 0},
    {"MULH", 0xFF, 0xFF, 0xFE, S},
    {"MULH", 0x11, 0x0F, 0x00, Z},   // 0xFF >> 8
    {"MULH", 0x80, 0x02, 0x01, 0},   // 0x100 >> 8
    {"DIV", 0x07, 0x02, 0x03, 0},
    {"DIV", 0x01, 0x02, 0x00, Z},
    {"DIV", 0x07, 0x00, 0xFF, C | S},
    {"DIV", 0xFF, 0xFF, 0x01, 0},
    {"DIV", 0xFE, 0xFF, 0x00, Z},
    {"DIV", 0xFF, 0x01, 0xFF, S},
    {"MOD", 0x07, 0x02, 0x01, 0},
    {"MOD", 0x07, 0x00, 0x00, Z},
    {"MOD", 0xFF, 0xFF, 0x00, Z},
    {"MOD", 0xFE, 0xFF, 0xFE, S},
    {"MOD", 0xFF, 0x01, 0x00, Z},
    {"SHL", 0x01, 0x08, 0x00, Z | C},
    {"SHL", 0x81, 0x20, 0x81, S},    // shift count taken mod 32
    {"SHL", 0x80, 0x19, 0x00, Z},    // the bit leaves the 32-bit full result: no carry
    {"SHL", 0x03, 0x07, 0x80, C | S},
    {"SHL", 0xFF, 0x00, 0xFF, S},    // 0xFF exactly: no carry
    {"SHL", 0x7F, 0x01, 0xFE, S},
    {"SHL", 0x80, 0x01, 0x00, Z | C}, // 0x100
    {"SHL", 0x01, 0x07, 0x80, S},
    {"SHL", 0x01, 0x1F, 0x00, Z | C}, // the top bit of the 32-bit full result
    {"SHL", 0x01, 0x21, 0x02, 0},    // 0x21 mod 32 = 1
    {"SHR", 0x80, 0x07, 0x01, 0},
    {"SHR", 0x80, 0x27, 0x01, 0},
    {"SHR", 0x01, 0x01, 0x00, Z},    // the bit shifted out is no carry
    {"SHR", 0xFF, 0x1F, 0x00, Z},
    {"SHR", 0xFF, 0x20, 0xFF, S},
    {"AND", 0xF0, 0x3C, 0x30, 0},
    {"AND", 0xFF, 0xFF, 0xFF, S},
    {"OR", 0xF0, 0x0C, 0xFC, S},
    {"OR", 0x00, 0x00, 0x00, Z},
    {"NAND", 0xFF, 0xFF, 0x00, Z | C},
    {"NAND", 0x0F, 0xFF, 0xF0, C | S},
    {"NAND", 0x80, 0xFF, 0x7F, C},
    {"NOR", 0x00, 0x00, 0xFF, C | S},
    {"NOR", 0xFF, 0x00, 0x00, Z | C},
    {"XOR", 0xAA, 0xAA, 0x00, Z},
    {"XOR", 0x80, 0x7F, 0xFF, S},
    {"XNOR", 0x0F, 0xF0, 0x00, Z | C},
    {"XNOR", 0x0F, 0x0F, 0xFF, C | S},
};

std::string loadOperands(std::uint8_t a, std::uint8_t b) {
    char text[64];
    std::snprintf(text, sizeof text, "addi r1 r0 %X\naddi r2 r0 %X\n", a, b);
    return text;
}
} // namespace

TEST(CpuAlu, RegisterAndImmediateFormsAgree) {
    for (const AluCase& c : aluCases) {
        for (bool immediate : {false, true}) {
            std::string third = std::string(c.op) + (immediate ? "I r3 r1 " : " r3 r1 r2");
            if (immediate) {
                char imm[8];
                std::snprintf(imm, sizeof imm, "%X", c.b);
                third += imm;
            }
            // There is no SUBI mnemonic; the word itself (Op 2, TYPE 2) still subtracts.
            if (immediate && std::string(c.op) == "SUB") {
                char data[64];
                std::snprintf(data, sizeof data, "dta 21\ndta 23\ndta 00\ndta %X", c.b);
                third = data;
            }
            boot(loadOperands(c.a, c.b) + third + "\nhlt");
            runToHalt();
            SCOPED_TRACE(third + " with a=" + std::to_string(c.a) + " b=" + std::to_string(c.b));
            EXPECT_EQ(cpu.registers[3], c.result);
            EXPECT_EQ(cpu.flags, c.flags);
            EXPECT_EQ(cpu.pc, 16);
        }
    }
}

TEST(CpuAlu, InterruptFlagSurvivesAluAndOtherInstructionsLeaveFlags) {
    boot("addi r1 r0 FF\nadd r2 r1 r1\nload r4 r0 r0 0\nstore r4 r0 r0 100\njmp r0 r0 4\nhlt");
    cpu.flags = I;
    steps(2);
    EXPECT_EQ(cpu.flags, I | C | S);
    steps(3); // LOAD, STORE, JMP: flags untouched
    EXPECT_EQ(cpu.flags, I | C | S);
    runToHalt();
    EXPECT_EQ(cpu.flags, I | C | S);
}

TEST(CpuAlu, R0CanBeWrittenButReadsAsZero) {
    boot("addi r1 r0 1\naddi r2 r0 2\nadd r0 r1 r2\nadd r3 r0 r1\nhlt");
    steps(3);
    EXPECT_EQ(cpu.registers[0], 3); // visible until the next step begins
    steps(1);
    EXPECT_EQ(cpu.registers[0], 0);
    EXPECT_EQ(cpu.registers[3], 1);

    // execute() on its own also reads R0 as 0, whatever the array holds.
    cpu.registers[0] = 7;
    cpu.execute(0x10150001); // ADD R5 R0 R1
    EXPECT_EQ(cpu.registers[5], 1);
}

TEST(CpuAlu, DivisionByZeroWithoutHandlerContinues) {
    boot("addi r1 r0 9\ndiv r2 r1 r0\nmodi r3 r1 0\naddi r4 r0 1\nhlt");
    runToHalt();
    EXPECT_EQ(cpu.registers[2], 0xFF);
    EXPECT_EQ(cpu.registers[3], 0x00);
    EXPECT_EQ(cpu.registers[4], 0x01);
    EXPECT_EQ(cpu.sp, STACK_BASE);
}
