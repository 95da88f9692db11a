// The manual tree: an operating guide and the instruction-set reference.
// Built once from temporaries; only manualRoot survives.
#include "shell/manual.h"

#include "shell/manual_guide.h"
#include "shell/manual_topics.h"

ManualNode makeLeaf(const char* text) {
    ManualNode node;
    node.kind = 1;
    node.text = text;
    return node;
}

ManualNode makeList(std::initializer_list<ManualNode> nodes) {
    ManualNode node;
    node.kind = 2;
    node.children.assign(nodes.begin(), nodes.end());
    return node;
}

namespace {
// A titled node whose content is one list.
ManualNode titled(const char* title, std::initializer_list<ManualNode> content) {
    return makeList({makeLeaf(title), makeList(content)});
}

// One instruction: its mnemonic as the title, its text as the only content.
ManualNode entry(const char* mnemonic, const char* text) { return titled(mnemonic, {makeLeaf(text)}); }

constexpr const char* offsetNote = "注：ADDR为Rs<<8+Rt<<0+Addr\n"
                                   "即：Rs作为偏移高8位\n"
                                   "    Rt作为偏移低8位\n";
// Where ADDR is a place in memory: a label there is the label's own address.
constexpr const char* absoluteTail = "    基址为Addr\n"
                                     "Addr写标签时就是标签的地址\n";
// Jumps and CALL move by ADDR from their own address; a label there is the
// distance to it, which the assembler works out.
constexpr const char* relativeTail = "    Addr为距离\n"
                                     "跳转目标=本指令的地址+ADDR\n"
                                     "(不是下一条指令的地址，ADDR=0\n"
                                     " 就是跳到自己)\n"
                                     "Addr写标签时，汇编器算出\n"
                                     "从本指令到标签的距离\n";

ManualNode noneCategory() {
    return titled("None型", {
                                makeLeaf("Op=N(0) Rs=Rd=1 Rt=TYPE Addr=1"),
                                entry("HLT", "HLT\n停机\nTYPE=1\n"),
                                entry("NOP", "NOP\n空操作\nTYPE=2\n"),
                                entry("RET", "RET\n函数返回\nTYPE=3\n"),
                                entry("IRET", "IRET\n中断返回\nTYPE=4\n"),
                            });
}

ManualNode stackCategory() {
    return titled("Stack型", {
                                 makeLeaf("Op=S(0) Rs=1 Rt=TYPE Addr=1"),
                                 entry("PUSH", "PUSH Rd\n压栈\nTYPE=5\n"),
                                 entry("POP", "POP Rd\n弹栈\nTYPE=6\n"),
                             });
}

ManualNode regCategory() {
    return titled("Reg型", {
                               makeLeaf("Op=R(1) Imm=TYPE"),
                               entry("ADD", "ADD Rd Rs Rt\n令Rd=Rs+Rt\nTYPE=1\n"),
                               entry("SUB", "SUB Rd Rs Rt\n令Rd=Rs-Rt\nTYPE=2\n"),
                               entry("MUL", "MUL Rd Rs Rt\n令Rd=(Rs*Rt)&0xFF\nTYPE=3\n"),
                               entry("MULH", "MULH Rd Rs Rt\n令Rd=(Rs*Rt)>>8，即乘积的高8位\nTYPE=4\n"),
                               entry("DIV", "DIV Rd Rs Rt\n令Rd=Rs/Rt(向下取整)\nRt为0时触发除零中断(2号中断)。\nTYPE=5\n"),
                               entry("MOD", "MOD Rd Rs Rt\n令Rd=Rs mod Rt\nRt为0时触发除零中断(2号中断)。\nTYPE=6\n"),
                               entry("SHL", "SHL Rd Rs Rt\n令Rd=Rs<<Rt\n移位位数取Rt除以0x20的余数\nTYPE=7\n"),
                               entry("SHR", "SHR Rd Rs Rt\n令Rd=Rs>>Rt\n移位位数取Rt除以0x20的余数\nTYPE=8\n"),
                               entry("AND", "AND Rd Rs Rt\n令Rd=Rs&Rt\nTYPE=9\n"),
                               entry("OR", "OR Rd Rs Rt\n令Rd=Rs|Rt\nTYPE=A\n"),
                               entry("NAND", "NAND Rd Rs Rt\n令Rd=~(Rs&Rt)\nTYPE=B\n"),
                               entry("NOR", "NOR Rd Rs Rt\n令Rd=~(Rs|Rt)\nTYPE=C\n"),
                               entry("XOR", "XOR Rd Rs Rt\n令Rd=Rs^Rt\nTYPE=D\n"),
                               entry("XNOR", "XNOR Rd Rs Rt\n令Rd=~(Rs^Rt)\nTYPE=E\n"),
                           });
}

ManualNode immediateCategory() {
    return titled("Immediate型",
                  {
                      makeLeaf("Op=R(2) Rt=TYPE\nImm是00~FF，可以写负数-X\n另有INT n：触发n号中断(TYPE=F)"),
                      entry("ADDI", "ADDI Rd Rs Imm\n令Rd=Rs+Imm\nTYPE=1\n"),
                      entry("SUBI", "SUBI Rd Rs Imm\n令Rd=Rs-Imm\n注意：汇编器不接受SUBI，写了会报错！\n"
                                    "请写成ADDI Rd Rs -Imm，比如r1减5：\n"
                                    "addi r1 r1 -5   ;也就是addi r1 r1 fb\n"
                                    "结果和减法相同，但C相反：这是加法，\n"
                                    "Rs>=Imm时进位C=1，Rs<Imm时C=0\n"
                                    "(Imm为0时C总是0)。比如执行\n"
                                    "(addi r0 r1 -5)之后，JLT(C=1)在\n"
                                    "r1>=5时跳转，JGE(C=0)在r1<5时跳转，\n"
                                    "JEQ(Z=1)在r1=5时跳转。\n"
                                    "要和SUB一样的C，请用sub和寄存器。\nTYPE=2\n"),
                      entry("MULI", "MULI Rd Rs Imm\n令Rd=(Rs*Imm)&0xFF\nTYPE=3\n"),
                      entry("MULHI", "MULHI Rd Rs Imm\n令Rd=(Rs*Imm)>>8，即乘积的高8位\nTYPE=4\n"),
                      entry("DIVI", "DIVI Rd Rs Imm\n令Rd=Rs/Imm(向下取整)\nImm为0时触发除零中断(2号中断)。\nTYPE=5\n"),
                      entry("MODI", "MODI Rd Rs Imm\n令Rd=Rs mod Imm\nImm为0时触发除零中断(2号中断)。\nTYPE=6\n"),
                      entry("SHLI", "SHLI Rd Rs Imm\n令Rd=Rs<<Imm\n移位位数取Imm除以0x20的余数\nTYPE=7\n"),
                      entry("SHRI", "SHRI Rd Rs Imm\n令Rd=Rs>>Imm\n移位位数取Imm除以0x20的余数\nTYPE=8\n"),
                      entry("ANDI", "ANDI Rd Rs Imm\n令Rd=Rs&Imm\nTYPE=9\n"),
                      entry("ORI", "ORI Rd Rs Imm\n令Rd=Rs|Imm\nTYPE=A\n"),
                      entry("NANDI", "NANDI Rd Rs Imm\n令Rd=~(Rs&Imm)\nTYPE=B\n"),
                      entry("NORI", "NORI Rd Rs Imm\n令Rd=~(Rs|Imm)\nTYPE=C\n"),
                      entry("XORI", "XORI Rd Rs Imm\n令Rd=Rs^Imm\nTYPE=D\n"),
                      entry("XNORI", "XNORI Rd Rs Imm\n令Rd=~(Rs^Imm)\nTYPE=E\n"),
                  });
}

ManualNode addressCategory() {
    static const std::string note = std::string("Op=AD(3) Rd=TYPE\n") + offsetNote + absoluteTail;
    return titled("Address型",
                  {
                      makeLeaf(note.c_str()),
                      entry("ISET", "ISET Imm Addr\n将Imm号中断地址设为Addr\nAddr是绝对地址，可以写标签\n"
                                    "Rs=ImmH4 Rt=ImmL4\nTYPE=2\n"),
                      entry("SLD", "SLD Rs Rt Addr\n将内存读取到栈，不清空内存。\n注：ADDR处是字节数n，后面n个字节\n"
                                   "    从栈底FD00起依次放回，SP=FD00+n\n    (正是SST保存的格式)\nTYPE=3\n"),
                      entry("SST", "SST Rs Rt Addr\n将栈读取到内存，并清空栈。\n注：ADDR处写入栈里的字节数n，\n"
                                   "    后面依次是栈底到栈顶的n个字节，\n    共占1+n字节，栈满时0x9A字节\nTYPE=4\n"),
                      entry("SCK", "SCK Rs Rt Addr\n设定定时器：再执行ADDR条指令后\n触发0号中断(定时器中断)\n"
                                   "ADDR=0时下一步就触发；只触发一次，\n要再触发就再执行SCK\n"
                                   "ADDR=FFFF关闭定时器(CLK=FFFF)\nTYPE=5\n"),
                  });
}

ManualNode differenceCategory() {
    static const std::string note = std::string("Op=AD(3) Rd=TYPE\n") + offsetNote + relativeTail;
    return titled("Difference型",
                  {
                      makeLeaf(note.c_str()),
                      entry("CALL", "CALL Rs Rt Addr\n调用函数：把下一条指令的地址压栈\n(先压低8位，再压高8位)，\n"
                                    "再跳转到本指令的地址+ADDR\nTYPE=6\n"),
                      entry("JNV", "JNV Rs Rt Addr\n满足条件时跳转到本指令的地址+ADDR\n条件：永不成立\n"
                                   "      **指令！它应该和SUBI一个下场！\nTYPE=8\n"),
                      entry("JGT", "JGT Rs Rt Addr\n满足条件时跳转到本指令的地址+ADDR\n条件：Z=0且C=0\nTYPE=9\n"),
                      entry("JLT", "JLT Rs Rt Addr\n满足条件时跳转到本指令的地址+ADDR\n条件：     C=1\nTYPE=A\n"),
                      entry("JEQ", "JEQ Rs Rt Addr\n满足条件时跳转到本指令的地址+ADDR\n条件：Z=1     \nTYPE=B\n"),
                      entry("JGE", "JGE Rs Rt Addr\n满足条件时跳转到本指令的地址+ADDR\n条件：     C=0\nTYPE=C\n"),
                      entry("JLE", "JLE Rs Rt Addr\n满足条件时跳转到本指令的地址+ADDR\n条件：Z=1或C=1\nTYPE=D\n"),
                      entry("JNE", "JNE Rs Rt Addr\n满足条件时跳转到本指令的地址+ADDR\n条件：Z=0     \nTYPE=E\n"),
                      entry("JMP", "JMP Rs Rt Addr\n满足条件时跳转到本指令的地址+ADDR\n条件：永成立\nTYPE=F\n"),
                  });
}

// The memory instructions carry the first category's title again.
ManualNode memoryCategory() {
    static const std::string note = std::string("Op=OP(5~7)，没有TYPE\n") + offsetNote + absoluteTail;
    return titled("None型", {
                                makeLeaf(note.c_str()),
                                entry("LOAD", "LOAD Rd Rs Rt Addr\n取出内存地址为ADDR的数据存入Rd\nOP=5\n"),
                                entry("STORE", "STORE Rd Rs Rt Addr\n将Rd存入地址为ADDR的内存\nOP=6\n"),
                                entry("SWAP", "SWAP Rd Rs Rt Addr\n将地址为ADDR的内存与Rd交换\n"
                                              "注：这个指令会在一周期内完成\n    所以你可以利用它做锁\nOP=7\n"),
                            });
}
} // namespace

ManualNode buildManual() {
    ManualNode instructions = makeList({makeLeaf("指令"), noneCategory(), stackCategory(), regCategory(),
                                        immediateCategory(), addressCategory(), differenceCategory(),
                                        memoryCategory()});
    ManualNode fields = titled("字段", {makeLeaf("0000 0000 0000 0000 00000000  00000000 \n"
                                                 "Op   Rs   Rt   Rd   AddrH8    AddrL8   \n"
                                                 "Imm=AddrL8                             \n")});
    return makeList({
        makeLeaf("说明书"),
        makeList({
            titled("操作指南", {makeLeaf(manualGuideText())}),
            titled("指令集", {fields, titled("标志位", {makeLeaf(manualFlagsText())}),
                             titled("标签和数字", {makeLeaf(manualLabelsText().c_str())}), instructions}),
        }),
    });
}
