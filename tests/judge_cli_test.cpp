// The real asmquest-judge binary: output compared whole, exit statuses, and
// malformed input that must still give one line of valid JSON.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "test_support.h"

namespace {
struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

Outcome judge(const std::string& arguments) {
    const std::string command = std::string(ASMQUEST_BINARY_DIR) + "/asmquest-judge " + arguments + " 2>stderr.txt";
    Outcome outcome;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return outcome;
    char buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) outcome.out.append(buffer, got);
    const int status = pclose(pipe);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.err = readFile("stderr.txt");
    return outcome;
}

// Literals in this file are GBK; the judge speaks UTF-8.
std::string utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

// One line, parsed by jq when it is installed.
void expectOneJsonLine(const std::string& out) {
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.back(), '\n');
    EXPECT_EQ(out.find('\n'), out.size() - 1);
    if (std::system("command -v jq >/dev/null 2>&1") != 0) return;
    writeFile("out.json", out);
    EXPECT_EQ(std::system("jq -e 'type == \"object\"' out.json >/dev/null 2>&1"), 0) << out.substr(0, 200);
}

class JudgeCli : public ::testing::Test {
protected:
    TempDirectory directory;
};
} // namespace

TEST_F(JudgeCli, AsmPrintsImageLineTableAndNoErrors) {
    writeFile("a.s", "add r3 r1 r2\nhlt\n");
    Outcome result = judge("asm a.s");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "{\"image\":\"1123000101110001\",\"lineAddress\":[0,4,8],\"errors\":{}}\n");
}

TEST_F(JudgeCli, ErrorsComeInLineOrderAsUtf8FromGbkAndUtf8Sources) {
    const std::string expected =
        utf8(u8R"J({"image":"01110001","lineAddress":[0,4,4,4],"errors":{"1":["不存在的指令：\"SUBI\"\n"],)J"
             u8R"J("2":["不存在的指令：\"中文\"\n"],"3":["不存在的指令：\"AD\"D\\\tR1\"\n"]}})J"
             u8"\n");
    writeFile("gbk.s", "hlt\nsubi r1 r1 5\n中文 r1\nad\"d\\\tr1");
    writeFile("utf8.s", utf8(u8"hlt\nsubi r1 r1 5\n中文 r1\nad\"d\\\tr1"));
    for (const char* file : {"gbk.s", "utf8.s"}) {
        Outcome result = judge(std::string("asm ") + file);
        SCOPED_TRACE(file);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, expected);
    }
}

TEST_F(JudgeCli, RunWithPresetsKeyAndMemoryDump) {
    // The keyboard handler stores the key at 0x0200; the main loop waits for it.
    writeFile("key.s", "iset 1 handler\n"
                       "label wait\n"
                       "load r5 r0 r0 200\n"
                       "sub r0 r5 r0\n"
                       "jeq r0 r0 wait\n"
                       "add r6 r1 r2\n"
                       "load r7 r0 r0 1234\n"
                       "hlt\n"
                       "label handler\n"
                       "pop r1\n"
                       "store r1 r0 r0 200\n"
                       "iret\n");
    Outcome result = judge("run key.s --reg 1=10 --reg 2=0f --mem 1234=AB --key 41 --memory");
    EXPECT_EQ(result.status, 0);
    expectOneJsonLine(result.out);
    const std::string head = "{\"halted\":1,\"steps\":10,\"pc\":28,\"sp\":64768,\"clk\":65535,\"flags\":0,\"pendingKey\":0,"
                             "\"registers\":[0,16,15,0,0,65,31,171,0,0,0,0,0,0,0,0],\"console\":\"\",\"memory\":\"";
    ASSERT_EQ(result.out.substr(0, head.size()), head);
    const std::string memory = result.out.substr(head.size(), 131072);
    EXPECT_EQ(memory.substr(0, 8), "3012001C");
    EXPECT_EQ(memory.substr(0x200 * 2, 2), "41");
    EXPECT_EQ(memory.substr(0x1234 * 2, 2), "AB");
    EXPECT_EQ(result.out.substr(head.size() + 131072), "\"}\n");
}

TEST_F(JudgeCli, RunReportsWhatTheCpuPrintedAndStopsAtTheStepLimit) {
    writeFile("nop.s", "nop");
    EXPECT_EQ(judge("run nop.s").out,
              utf8(u8"{\"halted\":1,\"steps\":2,\"pc\":8,\"sp\":64768,\"clk\":65535,\"flags\":0,\"pendingKey\":0,"
                   u8"\"registers\":[0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0],"
                   u8"\"console\":\"异常：读取到0x00000000！已停机。\\n你是不是没写hlt？\\n是不是写错了地址？\\n\"}\n"));

    writeFile("loop.s", "addi r1 r1 1\njmp r0 r0 -4");
    Outcome result = judge("run loop.s --steps 300");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "{\"halted\":0,\"steps\":300,\"pc\":0,\"sp\":64768,\"clk\":65535,\"flags\":4,\"pendingKey\":0,"
                          "\"registers\":[0,150,0,0,0,0,0,0,0,0,0,0,0,0,0,0],\"console\":\"\"}\n");

    writeFile("bad.s", "add r1 r1\nhlt");
    result = judge("run bad.s --steps 5");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, utf8(u8"{\"image\":\"01110001\",\"lineAddress\":[0,0],\"errors\":{\"0\":"
                               u8"[\"行\\\"add r1 r1\\\"参数过少\\n\"]}}\n"));
}

TEST_F(JudgeCli, BadCommandLinesAndUnreadableFiles) {
    writeFile("ok.s", "hlt");
    const char* bad[] = {"", "frobnicate ok.s", "asm", "asm ok.s ok.s", "run", "run ok.s ok.s",
                         "run ok.s --reg 16=00", "run ok.s --reg 1=100", "run ok.s --reg x=1",
                         "run ok.s --mem 10000=1", "run ok.s --mem 12", "run ok.s --key", "run ok.s --key 1FF",
                         "run ok.s --steps -1", "run ok.s --bogus"};
    for (const char* arguments : bad) {
        Outcome result = judge(arguments);
        SCOPED_TRACE(arguments);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.out, "");
        EXPECT_NE(result.err.find("usage:"), std::string::npos);
    }
    for (const char* arguments : {"asm missing.s", "run missing.s", "asm ."}) {
        Outcome result = judge(arguments);
        SCOPED_TRACE(arguments);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.out, "");
        EXPECT_NE(result.err.find("cannot read"), std::string::npos);
    }
}

TEST_F(JudgeCli, MalformedSourcesStillGiveOneJsonLine) {
    std::mt19937 random(99);
    std::string garbage(300000, '\0');
    for (char& c : garbage) c = static_cast<char>(random());
    writeFile("garbage.s", garbage);
    writeFile("longline.s", std::string(1 << 20, 'Q') + "\n;" + std::string(1 << 20, 'x') + "\nhlt");
    std::string tokens = "add r1 r2 r3";
    for (int i = 0; i < 100000; ++i) tokens += " \x81";
    writeFile("tokens.s", tokens + "\nhlt");
    writeFile("nul.s", std::string("hl\0t\nadd r1 r2 \0\n\x81", 18));
    writeFile("lead.s", "hlt\n\xB0");
    writeFile("controls.s", "\x01\x02\x7F\"\\\x1B[31m");
    for (const char* file : {"garbage.s", "longline.s", "tokens.s", "nul.s", "lead.s", "controls.s"}) {
        SCOPED_TRACE(file);
        for (const char* command : {"asm ", "run "}) {
            Outcome result = judge(command + std::string(file));
            EXPECT_TRUE(result.status == 0 || result.status == 1) << result.status;
            expectOneJsonLine(result.out);
        }
    }
    // A valid program with many tokens runs.
    Outcome result = judge("run tokens.s");
    EXPECT_EQ(result.status, 0);
}
