#include "shell/manual_topics.h"

const char* manualFlagsText() {
    return "寄存器面板的一行：Z=. C=. S=. 和一个I\n"
           "Z(零)  ：运算结果为0时Z=1\n"
           "C(进位)：见下面\n"
           "S(符号)：结果不为0且最高位为1时S=1\n"
           "         (Z和S不会同时为1)\n"
           "I(中断)：进入中断时置1，这时不响应任何中断；\n"
           "         IRET恢复进入中断前的标志位(I=0)。\n"
           "         面板上I=0时显示I，I=1时不显示。\n"
           "标志位字节：第0位Z，第1位C，第2位S，第3位I\n"
           "(中断保存现场时压栈的就是这个字节)\n"
           "\n"
           "会改变Z、C、S的只有运算指令：\n"
           "  ADD SUB MUL MULH DIV MOD SHL SHR\n"
           "  AND OR NAND NOR XOR XNOR\n"
           "  ADDI MULI MULHI DIVI MODI SHLI SHRI\n"
           "  ANDI ORI NANDI NORI XORI XNORI\n"
           "它们先把Z、C、S清零，再按结果设置。C：\n"
           "  ADD(I) MUL(I) SHL(I)：完整结果超过FF时C=1\n"
           "  SUB：Rs<Rt(不够减)时C=1\n"
           "  NAND(I) NOR(I) XNOR(I)：C总是1\n"
           "  DIV(I)除以0时C=1；其余情况C=0\n"
           "比较两个数：sub r0 r1 r2，结果写进R0被丢掉，\n"
           "只留下标志位，再用条件跳转。\n"
           "\n"
           "不改变Z、C、S的指令：\n"
           "  HLT NOP RET PUSH POP INT ISET SLD SST SCK\n"
           "  CALL JNV JGT JLT JEQ JGE JLE JNE JMP\n"
           "  LOAD STORE SWAP\n"
           "(INT进入中断时把I置1；IRET从栈上恢复全部标志位)\n"
           "所以load之后要判断，先做一次运算，\n"
           "比如addi r1 r1 0。\n";
}

namespace {
// Printed under "例：" in the labels page, two spaces in.
const char* const loopExample = "label loop\n"
                                "addi r1 r1 1\n"
                                "jmp r0 r0 loop  ;距离-4(FFFC)";
const char* const addressExample = "iset 10 data    ;data的地址写进FE20\n"
                                   "load r1 r0 r0 fe20  ;低8位\n"
                                   "load r2 r0 r0 fe21  ;高8位\n"
                                   "load r3 r0 r0 data  ;r3=2A\n"
                                   "hlt\n"
                                   "label data\n"
                                   "dta 2a";

std::string indented(const char* source) {
    std::string text = "  ";
    for (const char* p = source; *p; ++p) {
        text += *p;
        if (*p == '\n') text += "  ";
    }
    return text + "\n";
}
} // namespace

const std::string& manualLabelsText() {
    static const std::string text =
        std::string("数字：代码里的数字都是16进制，不能加0d或0x\n"
                    "  前缀(写10就是0x10)。Imm最多2位，Addr最多\n"
                    "  4位；可以加负号：-1就是FF或FFFF。\n"
                    "注释：分号;开头的词(前面要有空格)和它后面的\n"
                    "  内容。\n"
                    "标签：label 名字  给当前地址起名字，\n"
                    "  定义之前也可以使用。\n"
                    "  跳转和CALL里：标签表示从本指令到标签的\n"
                    "    距离，汇编器自动算出(Rs、Rt写r0)。\n"
                    "  LOAD STORE SWAP ISET SLD SST SCK里：\n"
                    "    标签表示标签的绝对地址。\n"
                    "  标签不能当立即数Imm用：\n"
                    "    写成addi r1 r0 名字会报错。\n"
                    "易错点：只由0~9和A~F组成的名字(比如face、\n"
                    "  bad、a1)会被当成数字，不会报错！\n"
                    "DTA n：把一个字节n直接放进程序，只占1字节。\n"
                    "例：\n") +
        indented(loopExample) +
        "要得到标签的绝对地址：iset n 标签 会把它写进\n"
        "中断表FE00+2n(低8位)和FE01+2n(高8位)：\n" +
        indented(addressExample);
    return text;
}

const std::vector<std::string>& manualExamples() {
    static const std::vector<std::string> examples = {loopExample, addressExample};
    return examples;
}
