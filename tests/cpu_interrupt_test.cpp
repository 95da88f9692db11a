// Interrupt entry and return, keyboard, timer, stack faults and the step hook.
#include "cpu_machine.h"

namespace {
void setHandler(std::uint8_t number, std::uint16_t address) {
    cpu.memory[0xFE00 + 2 * number] = std::uint8_t(address);
    cpu.memory[0xFE01 + 2 * number] = std::uint8_t(address >> 8);
}

// A keyboard handler at 0x0008 that takes the key into r1, copies it to
// r2 + 1 and returns; the main program loops at 0x0004.
const char* keyboardProgram = "iset 1 handler\n"
                              "jmp r0 r0 0\n"
                              "label handler\n"
                              "nop\n"
                              "pop r1\n"
                              "addi r2 r1 1\n"
                              "iret";
} // namespace

TEST(CpuKeyboard, EntrySavesContextThenKeyAndIretRestoresIt) {
    boot(keyboardProgram);
    steps(1);
    for (int i = 1; i < 16; ++i) cpu.registers[i] = std::uint8_t(0xA0 + i);
    cpu.flags = C | S;
    cpu.pendingKey = 0x41;
    steps(1); // entry and the handler's NOP in one step
    EXPECT_EQ(cpu.sp, 0xFD00 + 20);
    EXPECT_EQ(cpu.pendingKey, 0);
    EXPECT_EQ(cpu.flags, I | C | S);
    EXPECT_EQ(cpu.pc, 0x000C);
    for (std::uint8_t r : cpu.registers) EXPECT_EQ(r, 0);
    EXPECT_EQ(cpu.memory[0xFD00], C | S);
    EXPECT_EQ(cpu.memory[0xFD01], 0); // R0
    for (int i = 1; i < 16; ++i) EXPECT_EQ(cpu.memory[0xFD01 + i], 0xA0 + i);
    EXPECT_EQ(cpu.memory[0xFD11], 0x04); // PC low, then high
    EXPECT_EQ(cpu.memory[0xFD12], 0x00);
    EXPECT_EQ(cpu.memory[0xFD13], 0x41); // the key after the context

    steps(2);
    EXPECT_EQ(cpu.registers[2], 0x42);
    steps(1); // IRET
    EXPECT_EQ(cpu.pc, 0x0004);
    EXPECT_EQ(cpu.sp, 0xFD00);
    EXPECT_EQ(cpu.flags, C | S);
    for (int i = 1; i < 16; ++i) EXPECT_EQ(cpu.registers[i], 0xA0 + i);
}

TEST(CpuKeyboard, KeyWaitsForAHandlerAndForIToClear) {
    boot(keyboardProgram);
    cpu.pendingKey = 0x41;
    steps(1); // no handler yet: the ISET runs, the key stays
    EXPECT_EQ(cpu.pendingKey, 0x41);
    EXPECT_EQ(cpu.sp, 0xFD00);
    cpu.pendingKey = 0x42; // a second key replaces the first
    cpu.flags = I;
    steps(3);
    EXPECT_EQ(cpu.pendingKey, 0x42);
    cpu.flags = 0;
    steps(3);
    EXPECT_EQ(cpu.registers[2], 0x43);
}

TEST(CpuKeyboard, KeyPushOverflowKeepsTheKeyPending) {
    boot(keyboardProgram);
    steps(1);
    cpu.sp = 0xFD86; // the context fits exactly, the key does not
    cpu.pendingKey = 0x41;
    steps(1);
    EXPECT_EQ(cpu.pendingKey, 0x41);
    EXPECT_EQ(cpu.sp, 0xFD00);
    EXPECT_EQ(cpu.pc, 0x000C); // the handler was entered and ran its first instruction
    EXPECT_EQ(cpu.flags, I);
}

TEST(CpuTimer, SckCountsInstructionsThenTheHandlerRunsOnce) {
    boot("sck r0 r0 2\naddi r1 r1 1\naddi r1 r1 1\naddi r1 r1 1\nhlt\n"
         "label timer\naddi r5 r0 55\nhlt");
    setHandler(0, 0x0014);
    steps(3);
    EXPECT_EQ(cpu.registers[1], 2);
    EXPECT_EQ(cpu.clk, 0);
    steps(1);
    EXPECT_EQ(cpu.registers[5], 0x55);
    EXPECT_EQ(cpu.clk, 0xFFFF);
    EXPECT_EQ(cpu.memory[0xFD11], 0x0C); // the interrupted PC
    EXPECT_EQ(cpu.pc, 0x0018);
}

TEST(CpuTimer, WithoutHandlerTheTimerWaitsAtZero) {
    boot("sck r0 r0 0\nnop\nnop\niset 0 timer\nnop\nhlt\nlabel timer\naddi r5 r0 55\nhlt");
    steps(3);
    EXPECT_EQ(cpu.clk, 0);
    steps(1); // ISET
    steps(1);
    EXPECT_EQ(cpu.registers[5], 0x55);
    EXPECT_EQ(cpu.clk, 0xFFFF);
}

TEST(CpuInt, IntTakesOnlyAHandlerOutsideAnInterrupt) {
    boot("int 5\nint 6\nhlt\nlabel h\nint 6\nhlt");
    setHandler(6, 0x000C);
    steps(1);
    EXPECT_EQ(cpu.pc, 4);
    EXPECT_EQ(cpu.sp, 0xFD00);
    steps(1);
    EXPECT_EQ(cpu.pc, 0x000C);
    EXPECT_EQ(cpu.sp, 0xFD13);
    steps(1); // INT inside the handler: nothing
    EXPECT_EQ(cpu.pc, 0x0010);
    EXPECT_EQ(cpu.sp, 0xFD13);
}

TEST(CpuStackFault, OverflowEmptiesTheStackAndRaisesInterrupt3) {
    boot("push r1\nhlt\nlabel over\naddi r9 r0 1\nhlt");
    cpu.sp = 0xFD99;
    cpu.registers[1] = 0x77;
    steps(1);
    EXPECT_EQ(cpu.sp, 0xFD00);
    EXPECT_EQ(cpu.memory[0xFD99], 0);
    EXPECT_EQ(cpu.halted, 0);
    EXPECT_EQ(cpu.pc, 4);

    boot("push r1\nhlt\nlabel over\naddi r9 r0 1\nhlt");
    setHandler(3, 0x0008);
    cpu.sp = 0xFD99;
    steps(1);
    EXPECT_EQ(cpu.pc, 0x0008);
    EXPECT_EQ(cpu.sp, 0xFD13);
    EXPECT_EQ(cpu.memory[0xFD11], 0x04);
}

TEST(CpuStackFault, UnderflowLeavesRegisterAndSp) {
    boot("pop r1\nret\naddi r2 r0 2\nhlt");
    cpu.registers[1] = 0x33;
    runToHalt();
    EXPECT_EQ(cpu.registers[1], 0x33);
    EXPECT_EQ(cpu.registers[2], 2); // RET with an empty stack goes on after itself
    EXPECT_EQ(cpu.sp, 0xFD00);

    boot("pop r1\nhlt\nlabel under\naddi r9 r0 1\nhlt");
    setHandler(4, 0x0008);
    runToHalt();
    EXPECT_EQ(cpu.registers[9], 1);
}

TEST(CpuStackFault, CallWhoseSecondPushOverflowsDoesNotJump) {
    boot("call r0 r0 8\nhlt\nhlt");
    cpu.sp = 0xFD98;
    steps(1);
    EXPECT_EQ(cpu.memory[0xFD98], 0x04);
    EXPECT_EQ(cpu.sp, 0xFD00);
    EXPECT_EQ(cpu.pc, 4);
}

TEST(CpuStackFault, ContextThatDoesNotFitBecomesInterrupt3) {
    boot("int 5\nhlt\nlabel five\nhlt\nlabel over\nhlt");
    setHandler(5, 0x0008);
    setHandler(3, 0x000C);
    for (int i = 1; i < 16; ++i) cpu.registers[i] = std::uint8_t(i);
    cpu.flags = Z;
    cpu.sp = 0xFD87;
    steps(1);
    EXPECT_EQ(cpu.memory[0xFD87], Z);
    for (int i = 1; i < 16; ++i) EXPECT_EQ(cpu.memory[0xFD88 + i], i);
    EXPECT_EQ(cpu.memory[0xFD98], 0x04); // byte 17, PC low; the high byte did not fit
    // Interrupt 3 on the emptied stack, saving the already cleared registers.
    EXPECT_EQ(cpu.pc, 0x000C);
    EXPECT_EQ(cpu.sp, 0xFD13);
    EXPECT_EQ(cpu.memory[0xFD00], Z);
    for (int i = 1; i < 16; ++i) EXPECT_EQ(cpu.memory[0xFD01 + i], 0);
    EXPECT_EQ(cpu.memory[0xFD11], 0x04);
    EXPECT_EQ(cpu.flags, I | Z);
}

TEST(CpuDivide, HandlerStartsWithTheDivisionResultInItsRegisters) {
    boot("addi r1 r0 5\nsub r0 r0 r1\ndiv r7 r1 r0\nhlt\nlabel h\nhlt");
    setHandler(2, 0x0010);
    runToHalt();
    EXPECT_EQ(cpu.pc, 0x0014);
    EXPECT_EQ(cpu.memory[0xFD00], 0); // saved flags: Z, C, S cleared first
    EXPECT_EQ(cpu.memory[0xFD02], 5); // R1
    EXPECT_EQ(cpu.memory[0xFD11], 0x0C);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(cpu.registers[i], i == 7 ? 0xFF : 0);
    EXPECT_EQ(cpu.flags, I | C | S);

    boot("addi r1 r0 5\nmodi r3 r1 0\nhlt\nlabel h\nhlt");
    setHandler(2, 0x000C);
    runToHalt();
    EXPECT_EQ(cpu.flags, I | Z);
    EXPECT_EQ(cpu.registers[3], 0);
}

TEST(CpuHook, HookRunsFirstInEveryStepAndNeverWhenHalted) {
    boot(keyboardProgram);
    int calls = 0;
    cpu.stepHook = [&calls] {
        ++calls;
        cpu.registers[0] = 0x99; // cleared right after the hook
        if (calls == 2) cpu.pendingKey = 0x30;
    };
    steps(2);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(cpu.registers[0], 0);
    EXPECT_EQ(cpu.pendingKey, 0); // set by the hook, delivered in the same step
    EXPECT_EQ(cpu.memory[0xFD13], 0x30);
    cpu.halted = 1;
    steps(5);
    EXPECT_EQ(calls, 2);
}

TEST(CpuStackFault, PushAndPopReportFaultsToTheirCallers) {
    freshProgram();
    cpu.reset();
    cpu.push(0x12);
    EXPECT_EQ(cpu.pop(), 0x12);
    try {
        cpu.pop();
        ADD_FAILURE() << "pop of an empty stack returned";
    } catch (const StackFault& fault) {
        EXPECT_STREQ(fault.what, "INT_STACK_UNDER");
    }
    cpu.sp = 0xFD99;
    try {
        cpu.push(0x34);
        ADD_FAILURE() << "push onto a full stack returned";
    } catch (const StackFault& fault) {
        EXPECT_STREQ(fault.what, "INT_STACK_OVER");
    }
    EXPECT_EQ(cpu.sp, 0xFD00);
    EXPECT_EQ(cpu.memory[0xFD99], 0);
}
