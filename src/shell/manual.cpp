// The manual tree: an operating guide and the instruction-set reference.
// Built once from temporaries; only manualRoot survives.
#include "shell/manual.h"

#include "shell/manual_guide.h"

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

constexpr const char* addressNote = "注：ADDR为Rs<<8+Rt<<0+Addr\n"
                                    "即：Rs作为偏移高8位\n"
                                    "    Rt作为偏移第8位\n"
                                    "    基址为Addr\n";

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
                               entry("MULH", "MULH Rd Rs Rt\n令Rd=(Rs*Rt)>>0d8\nTYPE=4\n"),
                               entry("DIV", "DIV Rd Rs Rt\n令Rd=Rs/Rt(向下取整)\nRt为0时触发除零中断。\nTYPE=5\n"),
                               entry("MOD", "MOD Rd Rs Rt\n令Rd=Rs mod Rt\nRt为0时触发除零中断。\nTYPE=6\n"),
                               entry("SHL", "SHL Rd Rs Rt\n令Rd=Rs<<Rt\nTYPE=7\n"),
                               entry("SHR", "SHR Rd Rs Rt\n令Rd=Rs>>Rt\nTYPE=8\n"),
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
                      makeLeaf("Op=R(2) Rt=TYPE"),
                      entry("ADDI", "ADDI Rd Rs Imm\n令Rd=Rs+Imm\nTYPE=1\n"),
                      entry("SUBI", "SUBI Rd Rs Imm\n令Rd=Rs-Imm\nTYPE=2\n"),
                      entry("MULI", "MULI Rd Rs Imm\n令Rd=(Rs*Imm)&0xFF\nTYPE=3\n"),
                      entry("MULHI", "MULHI Rd Rs Imm\n令Rd=(Rs*Imm)>>0d8\nTYPE=4\n"),
                      entry("DIVI", "DIVI Rd Rs Imm\n令Rd=Rs/Imm(向下取整)\nImm为0时触发除零中断。\nTYPE=5\n"),
                      entry("MODI", "MODI Rd Rs Imm\n令Rd=Rs mod Imm\nImm为0时触发除零中断。\nTYPE=6\n"),
                      entry("SHLI", "SHLI Rd Rs Imm\n令Rd=Rs<<Imm\nTYPE=7\n"),
                      entry("SHRI", "SHRI Rd Rs Imm\n令Rd=Rs>>Imm\nTYPE=8\n"),
                      entry("ANDI", "ANDI Rd Rs Imm\n令Rd=Rs&Imm\nTYPE=9\n"),
                      entry("ORI", "ORI Rd Rs Imm\n令Rd=Rs|Imm\nTYPE=A\n"),
                      entry("NANDI", "NANDI Rd Rs Imm\n令Rd=~(Rs&Imm)\nTYPE=B\n"),
                      entry("NORI", "NORI Rd Rs Imm\n令Rd=~(Rs|Imm)\nTYPE=C\n"),
                      entry("XORI", "XORI Rd Rs Imm\n令Rd=Rs^Imm\nTYPE=D\n"),
                      entry("XNORI", "XNORI Rd Rs Imm\n令Rd=~(Rs^Imm)\nTYPE=E\n"),
                  });
}

ManualNode addressCategory() {
    static const std::string note = std::string("Op=AD(3) Rd=TYPE\n") + addressNote;
    return titled("Address型",
                  {
                      makeLeaf(note.c_str()),
                      entry("ISET", "ISET Imm Addr\n将Imm号中断地址设为Addr\nRs=ImmH4 Rt=ImmL4TYPE=2\n"),
                      entry("SLD", "SLD Rs Rt Addr\n将内存读取到栈，不清空内存。\n注：会连续占用连续256字节空间\n"
                                   "    起始地址为ADDR\nTYPE=3\n"),
                      entry("SST", "SST Rs Rt Addr\n将栈读取到内存，并清空栈。\n注：会连续占用连续256字节空间\n"
                                   "    起始地址为ADDR\nTYPE=4\n"),
                      entry("SCK", "SCK Rs Rt Addr\n设定定时器在ADDR周期后触发时间中断\nTYPE=5\n"),
                  });
}

ManualNode differenceCategory() {
    static const std::string note = std::string("Op=AD(3) Rd=TYPE\n") + addressNote;
    return titled("Difference型",
                  {
                      makeLeaf(note.c_str()),
                      entry("CALL", "CALL Rs Rt Addr\n调用地址为ADDR的函数\nTYPE=6\n"),
                      entry("JNV", "JNV Rs Rt Addr\n满足条件时跳转到ADDR\n条件：永不成立\n"
                                   "      **指令！它应该和SUBI一个下场！\nTYPE=8\n"),
                      entry("JGT", "JGT Rs Rt Addr\n满足条件时跳转到ADDR\n条件：Z=0且C=0\nTYPE=9\n"),
                      entry("JLT", "JLT Rs Rt Addr\n满足条件时跳转到ADDR\n条件：     C=1\nTYPE=A\n"),
                      entry("JEQ", "JEQ Rs Rt Addr\n满足条件时跳转到ADDR\n条件：Z=1     \nTYPE=B\n"),
                      entry("JGE", "JGE Rs Rt Addr\n满足条件时跳转到ADDR\n条件：     C=0\nTYPE=C\n"),
                      entry("JLE", "JLE Rs Rt Addr\n满足条件时跳转到ADDR\n条件：Z=1或C=1\nTYPE=D\n"),
                      entry("JNE", "JNE Rs Rt Addr\n满足条件时跳转到ADDR\n条件：Z=0     \nTYPE=E\n"),
                      entry("JMP", "JMP Rs Rt Addr\n满足条件时跳转到ADDR\n条件：永成立\nTYPE=F\n"),
                  });
}

// The memory instructions carry the first category's title again.
ManualNode memoryCategory() {
    return titled("None型", {
                                makeLeaf(addressNote),
                                entry("LOAD", "LOAD Rs Rt Rd Addr\n取出内存地址为ADDR的数据存入Rd\nOP=5\n"),
                                entry("STORE", "STORE Rs Rt Rd Addr\n将Rd存入地址为ADDR的内存\nOP=6\n"),
                                entry("SWAP", "SWAP Rs Rt Rd Addr\n将地址为ADDR的内存与Rd交换\n"
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
            titled("指令集", {fields, instructions}),
        }),
    });
}
