// The descriptions are kept as lines; "@k" stands for the level's k-th code
// example, which is printed from the same data the tests run. The tables are
// built on first use: the Game global describes its first level while the
// program's globals are still being constructed.
#include "levels/level_texts.h"

#include <cstdio>

namespace {
struct LevelPage {
    unsigned short level;
    std::vector<const char*> lines;
};

const std::vector<LevelExample>& exampleTable() {
    static const std::vector<LevelExample> examples = {
        {1, "add r3 r1 r2\nhlt", false, {{1, 0x05}, {2, 0x07}}, 0, {{3, 0x0C}}, {}},
        {1, "add r3 r1 r2   ;把r1和r2相加存入r3\nhlt", false, {{1, 0x01}, {2, 0x02}}, 0, {{3, 0x03}}, {}},
        {2, "mul r3 r1 r2\nhlt", false, {{1, 0x03}, {2, 0x05}}, 0, {{3, 0x0F}}, {}},
        {3, "addi r2 r1 5\nhlt", false, {{1, 0x10}}, 0, {{2, 0x15}}, {}},
        {4, "addi r1 r1 fb  ;r1=r1-5\nhlt", false, {{1, 0x10}}, 0, {{1, 0x0B}}, {}},
        {5, "jmp r0 r0 8    ;跳到0008\nhlt\naddi r1 r1 1\njmp r0 r0 -8   ;回到0004", true, {{1, 0x20}}, 0,
         {{1, 0x21}}, {}},
        {6, "sub r0 r1 r2\njgt r0 r0 big\nhlt\nlabel big\naddi r3 r0 1\nhlt", false, {{1, 0x09}, {2, 0x03}}, 0,
         {{3, 0x01}}, {}},
        {8, "addi r3 r0 0\nlabel loop\naddi r3 r3 2\naddi r2 r2 ff  ;r2减1\njne r0 r0 loop\nhlt", false, {{2, 0x03}},
         0, {{3, 0x06}, {2, 0x00}}, {}},
        {9, "call r0 r0 func\nhlt\nlabel func\naddi r1 r1 1\nret", false, {{1, 0x04}}, 0, {{1, 0x05}}, {}},
        {11, "push r1\nhlt", false, {{1, 0x3C}}, 0, {}, {{0xFD00, 0x3C}}},
        {13, "push r1\npop r3    ;r3=r1\nhlt", false, {{1, 0x2A}}, 0, {{3, 0x2A}}, {}},
        {15, "store r1 r0 r2 300\nload r3 r0 r2 300\nhlt", false, {{1, 0x42}, {2, 0x05}}, 0, {{3, 0x42}},
         {{0x0305, 0x42}}},
        {16, "push r2\nload r1 r0 r0 fd00\nhlt", false, {{2, 0x07}}, 0, {{1, 0x07}}, {}},
        {18, "load r1 r0 r0 300\naddi r1 r1 0   ;r1为0时Z=1\njeq r0 r0 zero\naddi r2 r0 1\nlabel zero\nhlt", false,
         {}, 0, {{2, 0x00}}, {}},
        {19,
         "iset 1 key      ;键盘中断交给key\nlabel idle\njmp r0 r0 0     ;原地等待\n"
         "label key\npop r1          ;取出键码\nhlt",
         false, {}, 0x41, {{1, 0x41}}, {}},
        {20,
         "addi r1 r0 37   ;键码0x37\naddi r1 r1 d0   ;减去0x30得7\n"
         "muli r1 r1 a    ;7*0d10\naddi r1 r1 5    ;得0d75=0x4B\nhlt",
         false, {}, 0, {{1, 0x4B}}, {}},
        {22, "addi r1 r0 41\nstore r1 r0 r0 fc00\nhlt", false, {}, 0, {}, {{0xFC00, 0x41}}},
        {23, "addi r1 r0 41\naddi r2 r0 3\nstore r1 r0 r2 fc00\nhlt", false, {}, 0, {}, {{0xFC03, 0x41}}},
        {26, "load r1 r0 r0 text\nhlt\nlabel text\ndta 52          ;R", false, {}, 0, {{1, 0x52}}, {}},
        {27, "push r1\npush r2\nsst r0 r0 300\nhlt", false, {{1, 0x05}, {2, 0x06}}, 0, {},
         {{0x0300, 0x02}, {0x0301, 0x05}, {0x0302, 0x06}}},
        {28, "push r1\nsst r0 r0 300\nsld r0 r0 300\npop r2\nhlt", false, {{1, 0x09}}, 0, {{2, 0x09}}, {}},
        {29, "iset 0 tick\nsck r0 r0 10    ;再执行0x10条后\nlabel idle\njmp r0 r0 0\nlabel tick\naddi rf r0 ff\nhlt",
         false, {}, 0, {{0xF, 0xFF}}, {}},
        {30, "iset 10 there   ;把there写进FE20\nload r1 r0 r0 fe20  ;低8位\nload r2 r0 r0 fe21  ;高8位\nhlt\nlabel there",
         false, {}, 0, {{1, 0x10}, {2, 0x00}}, {}},
    };
    return examples;
}

const std::vector<LevelPage>& pageTable() {
    static const std::vector<LevelPage> pages = {
        {1,
         {"目标：", "让r3 = r1 + r2", "知识点：", "CPU有16个寄存器R0~Rf，每个存一个字节(00~FF)。",
          "add Rd Rs Rt  令Rd=Rs+Rt", "hlt           停机，程序最后必须停机。",
          "编译：把代码翻译成机器码，从地址0000放进内存。", "步进：执行一条指令。运行：连续执行。",
          "停机后游戏检查r3，通过后换一组新的r1、r2再测。", "寄存器面板的\"已通过\"从00数到FF，回到00后", "再通过一次(共十进制257次)，再通过边界检验(r1、",
          "r2取00、FF、相等等特殊值)就进入下一关；", "失败一次就从00重新数。",
          "词典：", "ADD  ADDition  加法       HLT  HaLT  停机", "操作步骤：", "1.在编辑器里输入：", "@0",
          "2.打开CPU控制面板，点编译。", "3.点步进：蓝色标出的是下一条要执行的指令。",
          "4.点运行，看\"已通过\"一直涨上去。", "5.程序对了就按F4切换到快速，257次很快跑完。", "易错点：", "指令里的空格不能少（比如addr3r1r2会报错）。",
          "寄存器写作R后面跟一个数字：r0~r9、ra~rf。",
          "补充：分号;后面是注释，分号前要留空格：", "@1"}},
        {2,
         {"目标：", "将r1*r2保存到r3", "知识点：", "mul Rd Rs Rt  令Rd=Rs*Rt(只保留低8位)，例：", "@0",
          "词典：", "SUB  SUBtraction     减法", "MUL  MULtiplication  乘法", "DIV  DIVision        除法",
          "MOD  MODulo          取余数", "提示：", "其他运算(与、或、异或、移位等)请看说明书里的",
          "指令集。"}},
        {3,
         {"目标：", "将r1+5保存到r2", "知识点：", "立即数指令：在运算名后面加上I，比如add->addi。",
          "格式：addi Rd Rs Imm   令Rd=Rs+Imm", "立即数Imm直接写在指令里，占一个字节(00~FF)。", "例：",
          "@0", "词典：", "Imm  Immediate value  立即数"}},
        {4,
         {"目标：", "将r1-5保存到r1", "知识点：", "没有立即数减法指令：没有subi，写了会报错。",
          "代码里的数字都是16进制，A~F也是数字。", "本说明里0d表示10进制，0x表示16进制，比如",
          "0xA=0d10，0x10=0d16。代码里的数字只能直接写", "16进制，不能加0d或0x前缀：写10就是0x10。", "溢出：寄存器只有8位，超出FF的高位被丢掉，",
          "比如1AB变成AB。", "提示：用加法做减法：", "x-5 = x+100-5 = x+FB (进位的1被丢掉)", "@0"}},
        {5,
         {"目标：", "将r1*3+A存入r1。", "本关的第二条指令必须为hlt，否则无法通过。", "知识点：",
          "JMP Rs Rt Addr  跳转到jmp自己的地址+ADDR，", "ADDR=Rs*100+Rt+Addr。每条指令占4个字节，",
          "ADDR=8就是往地址大的方向移动2条指令。", "例(左边是地址)：", "@0",
          "小特性：R0的值读取为0，所以jmp r0 r0 8就是", "往地址大的方向跳8个字节；jmp r0 r0 0跳到自己，",
          "会原地死循环。", "补充：现在可以写负数-X了：jmp r0 r0 -8往地址",
          "小的方向跳8个字节(-8就是FFF8，相加后溢出)。", "词典：", "JMP  JuMP  跳转"}},
        {6,
         {"目标：", "比较r1与r2，若r1>r2，那么将r3置为1", "知识点：", "运算会设置标志位：",
          "Z：结果为0时Z=1。", "C：结果超过FF或不够减(借位)时C=1。", "(每条指令怎样设置标志位，见说明书的\"标志位\"。)",
          "条件跳转指令都以J开头，根据标志位决定跳不跳。", "jgt：Z=0且C=0时跳转。",
          "易错点：jgt r1 r2 lab并不会比较r1和r2！", "正确方法：先sub r0 r1 r2，再jgt r0 r0 lab。",
          "R0总读作0，写入R0的结果被丢掉，只留下标志位。", "相等时结果为0(Z=1)；Rs<Rt时借位(C=1)。",
          "标签：label 名字 定义一个标签，可以当跳转地址；", "Rs和Rt都写r0时，汇编器会自动算出距离。",
          "@0", "易错点：标签名不能只用0~9和A~F(比如bad、", "face、a1)，那样会被当成数字。"}},
        {7,
         {"比较r1与r2，若r1>=r2，那么将r3置为1", "知识点：各条件跳转指令的条件：",
          "JGT  Z=0且C=0  大于", "JLT  C=1        小于", "JEQ  Z=1        等于", "JGE  C=0        大于或等于",
          "JLE  Z=1或C=1  小于或等于", "JNE  Z=0        不等于", "提示：同样先用sub r0 r1 r2比较。",
          "词典：", "GE  Greater than or Equal  大于或等于"}},
        {8,
         {"目标：", "将r1重复乘r2次，存入r3。", "提示：", "数据范围：0<=r1<0x10，0<r2<=4。结果只保留低8位。",
          "先令r3=1，然后r3乘r1，r2减1，r2不为0就跳回去", "再乘一次。", "知识点：",
          "循环就是跳回前面，把同一段代码再执行一遍：", "  label loop", "  (要重复的代码)",
          "  (计数减1)", "  jne r0 r0 loop  ;计数不为0就回到loop",
          "减1可以写成addi r2 r2 ff(加FF就是减1)，", "加法会顺便设置Z标志。例(r3=r2*2)：", "@0"}},
        {9,
         {"目标：", "调用地址100的函数。", "知识点：", "call Rs Rt Addr  调用函数：先把返回地址压栈，",
          "再跳转。地址的算法和jmp一样，也可以写标签。", "ret  从函数返回到call的下一条指令。", "例：", "@0",
          "提示：函数已经放在地址100，不用自己写，它会把", "r2变成(r2+0x12)*3。调用它，返回后停机即可。", "在地址0000写call，距离就是0x100。", "如果用jmp代替call，函数里的ret会出错。", "本关检查：r2；函数写的中断表FE08、FE09(0200)；",
          "停机时SP=FD00(函数已经返回)。", "词典：",
          "CALL  调用"}},
        {10,
         {"目标：", "编写将r1加5的函数，并调用。", "要求：", "地址0~7的指令必须为：", "  call r0 r0 8",
          "  hlt", "否则无法通关。", "知识点：", "call跳到函数并记住回来的地址，",
          "函数最后的ret回到call的下一条指令(这里是hlt)。", "所以函数要从地址8开始写。", "本关还检查停机时SP=FD00：函数要用ret返回。", "词典：",
          "RET  RETurn  返回"}},
        {11,
         {"目标：", "把R1存入栈", "知识点：", "栈是先进后出的，像一摞盘子：后放上去的先拿走。",
          "push Rd  把Rd放到栈顶，SP加1。", "pop Rd   从栈顶取出一个数存入Rd，SP减1。",
          "栈在内存FD00开始，SP指向下一个空位。例：", "@0", "本关检查FD00=r1，以及停机时SP=FD01。", "词典：", "PUSH  推入、压入"}},
        {12,
         {"目标：", "从栈取出R1", "知识点：", "pop Rd  取出栈顶的数存入Rd，SP减1。",
          "本关开始时栈里已经有一个数(在FD00)，可能是", "00~FF中任何一个。本关检查r1，以及停机时", "SP=FD00。", "词典：", "POP  弹出"}},
        {13,
         {"目标：", "使用栈交换r1和r2", "提示：", "先把两个寄存器都压栈，再把它们弹出来。",
          "栈是先进后出的(FILO, First In Last Out)：", "先压进去的最后弹出，想想弹出的顺序。",
          "例(把r1复制到r3)：", "@0", "本关检查r1、r2，以及停机时SP=FD00。"}},
        {14,
         {"目标：", "计算r1的阶乘(r1!)，存入r2。", "知识点：阶乘的递归定义：", "  0! = 1",
          "  n! = n*(n-1)!   (n>0)", "函数可以调用自己(递归)：先算(n-1)!，再乘n。",
          "调用前把还要用的数据(比如n)压栈，返回后弹出。", "提示：", "r1在1~0x10之间，结果只保留低8位。",
          "也可以用循环：r2=1，r2乘r1，r1减1，直到r1为0。"}},
        {15,
         {"目标：", "将r1存入内存中r2的位置。", "知识点：", "内存就像一排编了号的储物柜，每格放一个字节，",
          "地址从0000到FFFF。", "编译好的代码放在0000附近，不要往那里写数据。",
          "STORE Rd Rs Rt Addr  把Rd存入地址ADDR", "LOAD  Rd Rs Rt Addr  从地址ADDR取数存入Rd",
          "其中ADDR=Rs*100+Rt+Addr。Rs可以写r0，", "这时ADDR=Rt+Addr。例：", "@0", "上例存到300+r2；本关要存到r2本身，",
          "Addr写0：store r1 r0 r2 0。", "本关的r2在C0~FF之间，程序不要长过C0字节。", "词典：",
          "STORE  存储"}},
        {16,
         {"目标：", "取出内存中r2的位置，存入r1。", "知识点：", "STORE把寄存器存进内存，LOAD从内存取出，",
          "两者的地址算法相同：ADDR=Rs*100+Rt+Addr。", "补充：栈(FD00~FD98)和中断表(FE00~FFFF)",
          "也是内存，可以直接用load和store读写。例：", "@0", "本关的r2在C0~FF之间，那里的数是00~FF。", "词典：", "LOAD  加载、读取"}},
        {17,
         {"目标：", "计算(r1到r1+0x10(不含r1+0x10))的阶乘，", "存入内存，地址从r2开始。", "提示：",
          "先写一个计算阶乘的函数，再在循环里调用它：", "第k次(k=0~F)把(r1+k)!存到地址r2+k。",
          "r1在1~0x10之间，r2在A0~AF之间。", "易错点：", "程序要短于A0字节(0x28条指令)，",
          "否则结果会覆盖你自己的代码。"}},
        {18,
         {"目标：", "当内存地址100数据不为0时存入R1", "知识点：", "早期的计算机就是这样读键盘的：",
          "程序不停地查看某个地址，直到那里有数据(轮询)。", "本关会在随机的时候往地址100写入一个数：",
          "数在1~0x80之间，最早在第3步开始时写入，最晚", "在第0x301步开始时写入。",
          "易错点：load不会改变标志位，判断前要先做", "一次运算，比如addi r1 r1 0。例：", "@0",
          "补充：轮询让CPU一直空转，下一关介绍更高效的", "办法：中断。"}},
        {19,
         {"目标：", "读取键盘输入，存入r1。", "知识点：", "ISET Num Addr  把Num号中断的处理程序设为Addr",
          "(可以写标签)。IRET  从中断返回。", "键盘中断是0x01号：有键按下时，CPU保存现场，",
          "把键码(VK)压栈，再跳到处理程序。", "所以处理程序要先pop取出键码！例：", "@0",
          "jmp r0 r0 0是原地死循环，等着中断来。",
          "本关会自己按键，不用你按：程序的第3步开始时", "按下，之后一直按着。iset写在第一条的话，第3条",
          "指令执行前就会进入处理程序。本关检查r1=键码，", "键码是00~FF中任意一个。", "易错点：键码偶尔是0，这时没有中断，上面的例子",
          "会永远等下去，不会停机！第1条写iset、第2条写",
          "nop的话，第3条指令只有键码是0时才会执行(否则", "执行它之前就进了处理程序)：在第3条直接停机",
          "(r1=0)，这样也算通过。"}},
        {20,
         {"目标：", "读取输入的数字", "本关将先后自动按下两个数字键。", "你需要把它们看作10进制数，存入r1。",
          "知识点：", "中断时CPU把标志位、寄存器和PC保存到栈上(现场)，",
          "处理程序开始时寄存器都是0，IRET时全部恢复。",
          "所以要在IRET之前把数据存进内存才能保留。", "键码：0x30~0x39是数字0~9，减去0x30就是数值。",
          "合并：第一个数字*0d10+第二个数字。", "第一个键是十位(十位是0也会按0)，第二个是个位。",
          "两个键都是数字键0~9，不会有键码00。", "两个键都处理完就停机，之后还会再按。", "代码里0d10要写成a，比如合并7和5：", "@0"}},
        {21,
         {"目标：", "输入两个用空格分开的10进制数，加起来存入R1。", "知识点：",
          "每个数后面都跟着一个空格，空格键是0x20。", "每个数在0~0d99之间(会有0)，一位数前面没有0。",
          "只会按数字键和空格，不会有键码00。例如：",
          "  输入\"13 78 \"，r1=0d91=0x5B", "  输入\"5 3 \"，r1=0d8", "提示：",
          "在内存里记住当前的数，每来一个数字：", "当前数=当前数*0d10+数字；", "遇到空格就把当前数加到和里，再清零。"}},
        {22,
         {"目标：", "将按键显示在屏幕上。", "本关将随机按下一个键。", "知识点：",
          "屏幕就是内存FC00~FCFF，一个字节显示一个字符。", "按行排列：地址从左到右、从上到下增加，",
          "每行16个。左上角是FC00，右下角是FCFF。", "要求：把按下的键码存到FC00(屏幕左上角)，本关", "检查的就是FC00。键码是A~Z(0x41~0x5A，不会是", "00)，会一直", "重复按下，显示一次就停机。", "例(在左上角显示A)：", "@0"}},
        {23,
         {"目标：", "输入一行，显示在屏幕上。", "本关将随机按下多个键，换行表示结束。", "知识点：",
          "一行有0~7个字母A~Z，也会有空行(只按回车)。",
          "不会有键码00。", "换行(回车)键是0x0D，不用显示出来。", "用一个数记住下一个字符的位置，",
          "store r1 r0 r2 fc00  把r1写到屏幕位置r2", "(地址FC00+r2)。例(第一行第4格显示A)：", "@0",
          "提示：位置要存在内存里，中断返回后寄存器会恢复。"}},
        {24,
         {"目标：", "给你上一关编写的程序添加删除字符功能。", "按下删除键删除前一个字符。", "知识点：",
          "删除键是0x08：位置退回一格，并把那一格清成0。", "删除键本身不要显示出来。",
          "本关也检查这一行后面的一格是0：删掉的字母", "要清掉，不能留在屏幕上。", "本关会随机按错字母，紧接着按删除键删掉它。",
          "一行有0~7个字母，也会有空行；不会有键码00。", "补充：",
          "看起来正确的代码通不过时，", "往往是那段看起来不对的代码才是对的。", "意思是：找错时别只改看着可疑的地方，错误常常", "藏在你确信没问题的代码里。用步进走一遍，", "对照寄存器和屏幕面板，看哪一步和你想的不一样。"}},
        {25,
         {"目标：", "根据两个十进制数字间的符号，", "执行加法或减法操作，", "存到内存地址200。", "知识点：",
          "输入：数字、符号、数字，最后按0x0D表示结束。", "每个数是0~0d99，可能是一位或两位(一位数前面", "没有0)，比如\"7+42\"或\"35-8\"。", "0x08删除最后一个字符。", "加号键是0x6B，减号键是0x6D。", "本关会随机按错数字，紧接着按删除键删掉它。",
          "不会有键码00。", "提示：",
          "先把输入的字符存进内存(删除就让长度减1)，", "收到0x0D后再从头解析：数字、符号、数字。",
          "减法的结果可能是负数，比如3-5存入FE。"}},
        {26,
         {"目标：", "将输入的字符串与\"RESULT\"比较", "如果不完全相同，那么将内存地址0x200设为1。",
          "知识点：", "输入总是6个字母，最后按0x0D(回车)结束；有时", "其中1~3个字母和RESULT不同。", "要求：不同时0x200=1；完全相同时0x200=0", "(内存开始时都是0，不写也可以)。", "字母A~Z的键码是0x41~0x5A。", "DTA Imm8  把字节Imm8直接放进程序里，",
          "可以用标签加load读出来。例：", "@0", "提示：本关也会按错字母再删掉，处理方法同上一关。",
          "不会有键码00。"}},
        {27,
         {"目标：", "把栈存到内存200里。", "知识点：", "SST Rs Rt Addr  把整个栈复制到地址ADDR，",
          "并清空栈。第一个字节是栈里数据的个数，", "后面依次是栈的内容。栈满时要占用0x9A个",
          "字节，给它留出0x100个字节最保险。", "本关开始时栈里有两个数(FD00、FD01)，本关检查", "200=02，201、202是这两个数。这两个数可能是", "00~FF中任何一个。例：", "@0"}},
        {28,
         {"目标：", "从内存取出栈。", "知识点：", "sld Rs Rt Addr  把地址ADDR处保存的栈复制回栈里，",
          "和sst正好相反，内存里的数据不会被清除。",
          "本关已经在内存200放好一份sst格式的栈：200是", "个数(02)，201、202是从栈底往上的两个数。", "本关检查取回后FD00、FD01(栈底)是这两个数，",
          "以及SP=FD02(栈里有这两个数)。",
          "例：", "@0"}},
        {29,
         {"目标：", "实现定时器中断。", "知识点：", "SCK Rs Rt Addr16  设定定时器：再执行ADDR条指令后",
          "触发0x00号中断(定时器中断)。寄存器面板的CLK", "显示还剩几条，FFFF表示关闭。定时器只触发一次，",
          "要再触发就再执行一次sck。例：", "@0", "从本关起，游戏不再检查你的答案本身：本关只",
          "检查停机时Rf=FF，不检查中断是否真的发生了。", "自己看效果：点步进，CLK每步减1；减到0后的",
          "下一步进入tick：SP加0x13(保存的现场)，标志位", "行末尾的I消失(进入中断后I=1，这时不显示I)。",
          "处理程序用iret返回，I又会出现。", "每次停机后，控制台会显示定时器中断发生了几次。",
          "把Rf设为FF再停机，就可以进入下一关。"}},
        {30,
         {"目标：", "切换线程。", "知识点：", "中断保存现场的顺序(从栈底往上，共0x13字节)：",
          "  标志位：第0位Z，第1位C，第2位S，第3位I(为0)", "  R0~Rf",
          "  PC低8位  (PC是绝对地址，不是距离)", "  PC高8位", "IRET按相反的顺序恢复。", "进阶玩法：",
          "按这个顺序在栈上摆好数据，IRET就会返回到", "别的地方；把一份现场复制到内存里，修改后",
          "再换上去，就切换到了另一个线程。", "保存栈就保存了现场：sst存下现场，sld换上",
          "另一份现场，再iret。每次切换后要再sck一次。", "标签的绝对地址：iset把它写进中断表，再load：",
          "@0", "本关只检查停机时Rf=FF，不检查线程是否真的", "切换了。自己看效果：先在屏幕FC00、FC01放上A，",
          "两个线程各把其中一个字符不停加1，运行时屏幕", "面板上这两个字符会轮流变化。", "每次停机后，控制台会显示定时器中断发生了几次、",
          "两个线程是否都运行了。", "把Rf设为FF再停机即可通过。"}},
    };
    return pages;
}

const std::vector<const char*>& finalPage() {
    static const std::vector<const char*> lines = {
        "恭喜你完成所有核心关卡挑战！", "你已经学会了：", "  加减乘除、立即数和16进制", "  跳转、标志位、条件跳转和循环",
        "  函数调用、返回和栈", "  内存读写和内存布局", "  键盘中断和定时器中断", "  sst/sld保存栈和切换线程",
        "之后的关卡每次停机都算通过。", "你可以在这里继续完善你的操作系统。"};
    return lines;
}

void appendLine(std::string& text, const std::string& line) {
    text += line;
    if (line.size() < levelTextWidth) text.append(levelTextWidth - line.size(), ' ');
    text += '\n';
}

// An example as it appears in the text: indented, optionally with addresses.
void appendExample(std::string& text, const LevelExample& example) {
    const std::string source = example.source;
    unsigned address = 0;
    std::size_t start = 0;
    while (start <= source.size()) {
        std::size_t end = source.find('\n', start);
        if (end == std::string::npos) end = source.size();
        const std::string line = source.substr(start, end - start);
        if (example.showAddresses) {
            char prefix[16];
            std::snprintf(prefix, sizeof prefix, "  %04X  ", address & 0xFFFF);
            appendLine(text, prefix + line);
            address += 4;
        } else {
            appendLine(text, "  " + line);
        }
        start = end + 1;
    }
}

const LevelExample* exampleOf(unsigned short level, unsigned index) {
    for (const LevelExample& example : exampleTable())
        if (example.level == level && index-- == 0) return &example;
    return nullptr;
}

std::string render(unsigned short level, const std::vector<const char*>& lines) {
    std::string text;
    for (const char* line : lines) {
        if (line[0] == '@') {
            if (const LevelExample* example = exampleOf(level, static_cast<unsigned>(line[1] - '0')))
                appendExample(text, *example);
            continue;
        }
        appendLine(text, line);
    }
    return text;
}
} // namespace

const std::vector<LevelExample>& levelExamples() { return exampleTable(); }

std::string levelDescription(unsigned short level) {
    if (level == 0) return "你居然发现了这个隐藏关卡？！";
    if (level > 30) return render(level, finalPage());
    for (const LevelPage& page : pageTable())
        if (page.level == level) return render(level, page.lines);
    return {};
}
