// The real asmquest-judge binary: output compared whole, exit statuses, and
// malformed input that must still give one line of valid JSON.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>

#include "cpu/instruction_table.h"
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
    const char* bad[] = {"", "frobnicate ok.s", "asm", "asm ok.s ok.s", "asm --bogus ok.s", "run", "run ok.s ok.s",
                         "run ok.s --reg 16=00", "run ok.s --reg 1=100", "run ok.s --reg x=1",
                         "run ok.s --mem 10000=1", "run ok.s --mem 12", "run ok.s --key", "run ok.s --key 1FF",
                         "run ok.s --steps -1", "run ok.s --bogus",
                         // Level 0 and the open levels from 31 on check nothing: every program would pass.
                         "level 0 ok.s", "level 31 ok.s", "level 65535 ok.s", "level 65536 ok.s", "level x ok.s",
                         "level 1", "level 1 ok.s --runs x", "level 1 ok.s --seed 4294967296",
                         "describe", "describe 0", "describe 31", "manual extra"};
    for (const char* arguments : bad) {
        Outcome result = judge(arguments);
        SCOPED_TRACE(arguments);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.out, "");
        EXPECT_NE(result.err.find("usage:"), std::string::npos);
    }
    for (const char* arguments : {"asm missing.s", "run missing.s", "asm .", "level 1 missing.s"}) {
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

// Whole verdict lines. Seed 3 presets level 1 with R1=3A, R2=D1 and level 13
// with the same pair. "completed" is the game's own decision: it must come on
// the 257th pass, whatever --runs asks for, and is left out when fewer runs
// are asked for than the game needs.
TEST_F(JudgeCli, LevelPrintsTheWholeVerdict) {
    writeFile("ok.s", "add r3 r1 r2\nhlt\n");
    writeFile("wrong.s", "add r3 r1 r1\nhlt\n");
    writeFile("swap.s", "push r1\npush r2\npop r2\npop r1\nhlt\n");
    writeFile("subi.s", "subi r1 r1 5\nhlt\nadd r1\n");
    writeFile("loop.s", "jmp r0 r0 0\n");
    writeFile("nohlt.s", "add r3 r1 r2\n");
    writeFile("jgt.s", "sub r0 r1 r2\njgt r0 r0 yes\nhlt\nlabel yes\naddi r3 r0 1\nhlt\n"); // level 7 wants jge
    // Saved on Windows: CR LF line ends, GBK or UTF-8 with a byte order mark.
    writeFile("crlf-gbk.s", "; 两数相加\r\nadd r3 r1 r2\r\nhlt\r\n");
    writeFile("crlf-utf8.s", "\xEF\xBB\xBF" + utf8(u8"; 两数相加\r\nadd r3 r1 r2\r\n\r\nhlt"));
    const std::string completed = R"(","level":1,"seed":3,"passes":257,"completed":true,)"
                                  R"("size":{"instructions":2,"bytes":8},"steps":{"mean":2.0,"max":2},"failure":null})"
                                  "\n";
    struct Case {
        const char* arguments;
        int status;
        std::string out;
    } cases[] = {
        {"level 1 ok.s --seed 3", 0, "{\"file\":\"ok.s" + completed},
        {"level 1 ok.s --seed 3 --runs 1000", 0, "{\"file\":\"ok.s" + completed},
        {"level 1 ok.s --seed 3 --runs 256", 0,
         "{\"file\":\"ok.s\",\"level\":1,\"seed\":3,\"passes\":256,\"failure\":null}\n"},
        {"level 1 crlf-gbk.s crlf-utf8.s --seed 3", 0,
         "{\"file\":\"crlf-gbk.s" + completed + "{\"file\":\"crlf-utf8.s" + completed},
        {"level 1 wrong.s --seed 3", 1,
         R"({"file":"wrong.s","level":1,"seed":3,"passes":0,"completed":false,"failure":{"run":1,"reason":"wrong result",)"
         R"("mismatches":[{"where":"R3","expected":"0B","actual":"74"}],"inputs":"R1=3A R2=D1"}})"
         "\n"},
        {"level 13 swap.s --seed 3 --runs 5", 1,
         R"({"file":"swap.s","level":13,"seed":3,"passes":0,"failure":{"run":1,"reason":"wrong result",)"
         R"("mismatches":[{"where":"R1","expected":"D1","actual":"3A"},{"where":"R2","expected":"3A","actual":"D1"}],"inputs":"R1=3A R2=D1"}})"
         "\n"},
        {"level 4 subi.s --seed 3", 1,
         utf8(u8R"({"file":"subi.s","level":4,"seed":3,"passes":0,"completed":false,"failure":{"run":1,)"
              u8R"("reason":"the program does not assemble","mismatches":[],"errors":{"0":["不存在的指令：\"SUBI\"\n"],)"
              u8R"("2":["行\"add r1\"参数过少\n"]}}})"
              u8"\n")},
        {"level 1 nohlt.s --seed 3", 1,
         R"({"file":"nohlt.s","level":1,"seed":3,"passes":0,"completed":false,"failure":{"run":1,)"
         R"("reason":"halted without hlt","mismatches":[],"inputs":"R1=3A R2=D1"}})"
         "\n"},
        // No random run of seed 1 has r1 = r2: the first boundary run catches it.
        {"level 7 jgt.s --seed 1", 1,
         R"({"file":"jgt.s","level":7,"seed":1,"passes":257,"completed":false,"failure":{"run":"boundary 1",)"
         R"("reason":"wrong result","mismatches":[{"where":"R3","expected":"01","actual":"00"}],"inputs":"R1=37 R2=37"}})"
         "\n"},
        {"level 7 jgt.s --seed 1 --runs 256", 0,
         "{\"file\":\"jgt.s\",\"level\":7,\"seed\":1,\"passes\":256,\"failure\":null}\n"},
        {"level 1 loop.s ok.s --seed 3 --max-steps 5000", 1,
         R"({"file":"loop.s","level":1,"seed":3,"passes":0,"completed":false,"failure":{"run":1,)"
         R"("reason":"the program did not halt within 5000 steps","mismatches":[],"inputs":"R1=3A R2=D1"}})"
         "\n{\"file\":\"ok.s" +
             completed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        Outcome result = judge(c.arguments);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.err, "");
    }
}

// A file saved on Windows assembles to the same image and line table as the
// same file with LF line ends (asm, run and level read files alike).
TEST_F(JudgeCli, CrLfSourcesAssembleAsLf) {
    const std::string lf = "label top\n; 注释\naddi r1 r1 1\n\njne r1 r0 top\nhlt\n";
    std::string crlf;
    for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    writeFile("lf.s", lf);
    writeFile("crlf.s", crlf);
    EXPECT_EQ(judge("asm crlf.s").out, judge("asm lf.s").out);
    EXPECT_EQ(judge("asm crlf.s").status, 0);
    EXPECT_EQ(judge("run crlf.s").out, judge("run lf.s").out);
    // A lone CR is no line end, as in the game's editor.
    writeFile("cr.s", "hlt\rhlt\n");
    EXPECT_EQ(judge("asm cr.s").status, 1);
}

// A class of 30 as a teacher collects it: one folder per student, code files
// directly in it or in its levels folder, saved on Linux or Windows, in GBK
// or UTF-8, right, wrong, not assembling, never halting or missing. Levels
// 1-6 are graded; only 1, 2 and 6 have files. With seed 3, level 1's first
// run has R1=3A and R2=D1.
namespace {
namespace fs = std::filesystem;

std::string referenceSolution(int level) {
    char name[32];
    std::snprintf(name, sizeof name, "/tests/levels/level%02d.asm", level);
    return readFile(ASMQUEST_SOURCE_DIR + std::string(name));
}

std::string withCrLf(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

// Writes the class and returns the CSV rows a correct grade must give, in order:
// a row for every student and level 1-6, handed in or not.
std::string writeClass(const std::string& root) {
    // Every completed program here is as long and as fast as the reference:
    // two instructions taking two steps, or (level 6) five taking 3 or 4.
    const std::string completed = ",completed,completed,257,,,2,2.0,2,\n";
    const std::string completed6 = ",completed,completed,259,,,5,3.5,4,\n"; // level 6 adds its two boundary runs
    std::map<std::string, std::map<int, std::string>> rows; // student -> level -> row after the level, sorted by name bytes
    for (int i = 0; i < 30; ++i) {
        char number[8];
        std::snprintf(number, sizeof number, "s%02d", i + 1);
        std::string name = i == 28 ? utf8(u8"张三") : i == 29 ? "<b>&co" : number;
        const int kind = i == 28 ? 2 : i == 29 ? 3 : i % 7;
        const fs::path folder = fs::path(root) / name;
        const fs::path files = kind % 2 ? folder : folder / "levels";
        fs::create_directories(files);
        auto code = [&](int level, const std::string& bytes) {
            writeFile((files / (utf8(u8"第") + std::to_string(level) + utf8(u8"关代码.txt"))).string(), bytes);
        };
        auto& expected = rows[name];
        switch (kind) {
        case 0: // as the game saves them (level 1 with a label of its own: longer than the reference)
            code(1, "label go\n" + referenceSolution(1));
            for (int level : {2, 6}) code(level, referenceSolution(level));
            expected = {{1, completed}, {2, completed}, {6, completed6}};
            break;
        case 1: // saved on Windows
            for (int level : {1, 2, 6}) code(level, withCrLf(referenceSolution(level)));
            expected = {{1, completed}, {2, completed}, {6, completed6}};
            break;
        case 2: // UTF-8 with a byte order mark, own spacing, comments and label names
            code(1, "\xEF\xBB\xBF" + utf8(u8"; 我的答案\nadd  r3   r1 r2   ; 相加\n\nhlt\n"));
            // Level 6 under a GBK name (unpacked from a Windows archive) in a UTF-8 folder.
            writeFile((files / "第6关代码.txt").string(),
                      utf8(u8"sub r0 r1 r2\njgt r0 r0 更大\nhlt\n\nlabel 更大\naddi r3 r0 1 ; 是\nhlt"));
            expected = {{1, completed}, {6, completed6}};
            break;
        case 3: // wrong at level 1, right at level 2
            code(1, "label go\nadd r3 r1 r1\nhlt\n");
            code(2, referenceSolution(2));
            expected = {{1, ",failed,wrong result,0,1,R3 expected 0B actual 74,,,,R1=3A R2=D1\n"}, {2, completed}};
            break;
        case 4: // the assembler quotes the file back: the page must escape it
            code(1, i == 25 ? "<b>&x r1\nhlt\n" : "subi r1 r1 5\nhlt\n");
            expected = {{1, ",does not assemble,does not assemble,0,1,,,,,\n"}};
            break;
        case 5:
            code(1, "label top\njmp r0 r0 top\n");
            expected = {{1, ",failed,did not halt,0,1,,,,,R1=3A R2=D1\n"}};
            break;
        default: // nothing handed in
            break;
        }
    }
    std::string csv = "student,level,result,reason,passes,failed_run,first_mismatch,instructions,steps_mean,steps_max,inputs\n";
    for (const auto& [name, levels] : rows)
        for (int level = 1; level <= 6; ++level) {
            const auto row = levels.find(level);
            csv += name + "," + std::to_string(level) +
                   (row != levels.end() ? row->second : std::string(",not handed in,not handed in,0,,,,,,\n"));
        }
    return csv;
}

const char* const GRADE = "grade class --levels 1-6 --seed 3 --max-steps 20000";

// Shards that lost students must never merge: killed before their last
// line, cut inside a line, or missing a student's lines although they end
// well. A shard saved by PowerShell 5.1 (UTF-16, byte order mark, CR LF) merges.
void expectRefusedShards() {
    const std::string second = readFile("shard2.jsonl");
    std::vector<std::string> lines;
    std::istringstream in(second);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_GT(lines.size(), 3u);
    ASSERT_EQ(lines.back().rfind("{\"shardEnd\":\"2/3\",\"lines\":", 0), 0u) << lines.back();
    const auto joined = [](const std::vector<std::string>& part) {
        std::string text;
        for (const std::string& line : part) text += line + "\n";
        return text;
    };
    writeFile("killed.jsonl", joined({lines.begin(), lines.end() - 1}));
    writeFile("torn.jsonl", second.substr(0, second.size() / 2));
    // One student's lines gone and the count made to match: only the header knows.
    const std::string lost = lines[1].substr(12, lines[1].find('"', 12) - 12);
    std::vector<std::string> kept;
    for (const std::string& line : lines)
        if (line.find("{\"student\":\"" + lost + "\"") != 0) kept.push_back(line);
    kept.back() = "{\"shardEnd\":\"2/3\",\"lines\":" + std::to_string(kept.size() - 2) + "}";
    writeFile("lost.jsonl", joined(kept));
    for (const char* damaged : {"killed.jsonl", "torn.jsonl", "lost.jsonl"}) {
        SCOPED_TRACE(damaged);
        Outcome refused = judge(std::string("merge --csv refused.csv shard1.jsonl shard3.jsonl ") + damaged);
        EXPECT_EQ(refused.status, 2);
        EXPECT_EQ(refused.out, "");
        EXPECT_NE(refused.err.find(damaged), std::string::npos) << refused.err;
    }
    EXPECT_NE(judge("merge shard1.jsonl shard3.jsonl lost.jsonl").err.find("2/3 (lost.jsonl) lacks verdicts for: " + lost + " (all levels)"),
              std::string::npos);
    EXPECT_NE(judge("merge shard1.jsonl shard3.jsonl killed.jsonl").err.find("did not finish"), std::string::npos);
    EXPECT_FALSE(fs::exists("refused.csv"));

    std::string utf16 = "\xFF\xFE";
    for (char16_t c : std::u16string(fs::path(second).u16string())) {
        if (c == u'\n') utf16 += std::string("\r\0", 2);
        utf16 += static_cast<char>(c & 0xFF);
        utf16 += static_cast<char>(c >> 8);
    }
    writeFile("powershell.jsonl", utf16);
    Outcome merged = judge("merge --csv powershell.csv shard1.jsonl powershell.jsonl shard3.jsonl");
    EXPECT_EQ(merged.status, 0) << merged.err;
    EXPECT_EQ(readFile("powershell.csv"), readFile("merged.csv"));
}
} // namespace

TEST_F(JudgeCli, GradeReportsAClassTheSameWithAnyNumberOfWorkers) {
    const std::string expectedCsv = writeClass("class");
    Outcome one = judge(GRADE + std::string(" --jobs 1 --csv one.csv --html one.html --feedback pages"));
    Outcome four = judge(GRADE + std::string(" --jobs 4 --csv four.csv"));
    EXPECT_EQ(one.status, 0);
    EXPECT_EQ(four.status, 0);
    // UTF-8 with a byte order mark, so that Excel reads the names right.
    EXPECT_EQ(readFile("one.csv"), "\xEF\xBB\xBF" + expectedCsv);
    EXPECT_EQ(readFile("four.csv"), "\xEF\xBB\xBF" + expectedCsv);
    EXPECT_EQ(one.out, four.out);
    // Not a terminal: no progress line.
    EXPECT_EQ(one.err.find('\r'), std::string::npos) << one.err;
    // On a terminal (script gives the judge one) the progress line shows only
    // when the verdict lines go elsewhere: it never runs into them.
    if (std::system("command -v script >/dev/null 2>&1") == 0) {
        const std::string run = std::string("script -qec '") + ASMQUEST_BINARY_DIR + "/asmquest-judge " + GRADE + " --jobs 1";
        ASSERT_EQ(std::system((run + "' /dev/null >console.txt 2>&1").c_str()), 0);
        ASSERT_EQ(std::system((run + " >redirected.jsonl' /dev/null >progress.txt 2>&1").c_str()), 0);
        EXPECT_EQ(readFile("console.txt").find("grading: students"), std::string::npos);
        EXPECT_NE(readFile("console.txt").find("{\"student\":"), std::string::npos);
        EXPECT_NE(readFile("progress.txt").find("\rgrading: students 30/30, levels 52/52"), std::string::npos)
            << readFile("progress.txt");
        EXPECT_EQ(readFile("redirected.jsonl"), one.out);
    }

    // One line per student and level, each the level verdict with the student first and the reason last.
    std::istringstream lines(one.out);
    std::string line;
    std::size_t count = 0;
    while (std::getline(lines, line)) {
        ++count;
        EXPECT_EQ(line.rfind("{\"student\":\"", 0), 0u) << line;
        if (line.find("\"file\"") != std::string::npos) EXPECT_NE(line.find("\"seed\":3,"), std::string::npos) << line;
        else EXPECT_NE(line.find("\"reason\":\"not handed in\"}"), std::string::npos) << line;
    }
    EXPECT_EQ(count, static_cast<std::size_t>(std::count(expectedCsv.begin(), expectedCsv.end(), '\n') - 1));
    EXPECT_NE(one.out.find(utf8(u8R"({"student":"张三","file":"class/张三/levels/第6关代码.txt","level":6,"seed":3,)"
                                  u8R"("passes":259,"completed":true,"size":{"instructions":5,"bytes":20},"steps":{"mean":3.5,"max":4},)"
                                  u8R"("failure":null,"reason":"completed"})")),
              std::string::npos);

    // The page escapes names; identical work ignores comments, spacing, line
    // ends and label names.
    const std::string html = readFile("one.html");
    EXPECT_EQ(html.find("<b>&co"), std::string::npos);
    EXPECT_EQ(html.find("<B>&X"), std::string::npos);
    EXPECT_NE(html.find("&lt;B&gt;&amp;X"), std::string::npos);
    EXPECT_NE(html.find("<th>&lt;b&gt;&amp;co</th>"), std::string::npos);
    // Groups never mix failed programs with passed ones, show each member's
    // verdict and leave out programs no longer than the reference (level 6's
    // copies of it, level 1's two-line answers).
    EXPECT_NE(html.find(utf8(u8"<li>第1关：s01（完成）、s08（完成）、s15（完成）、s22（完成）</li>")), std::string::npos);
    EXPECT_NE(html.find(utf8(u8"<li>第1关：&lt;b&gt;&amp;co（结果错误）、s04（结果错误）、s11（结果错误）、s18（结果错误）、s25（结果错误）</li>")),
              std::string::npos);
    EXPECT_EQ(html.find(utf8(u8"<li>第6关")), std::string::npos);
    EXPECT_EQ(html.find(utf8(u8"<li>第2关")), std::string::npos);
    // The failing run's inputs and expected against actual, as the game words them.
    EXPECT_NE(html.find(utf8(u8"<span class=\"detail\">R3：应为0B，实际为74</span><span class=\"inputs\">本次输入：R1=3A R2=D1</span>")),
              std::string::npos);
    // A legend for the colours, a total per student.
    EXPECT_NE(html.find("<p id=\"legend\"><span class=\"completed\">"), std::string::npos);
    EXPECT_NE(html.find(utf8(u8"<tr><th>s01</th>")), std::string::npos);
    EXPECT_NE(html.find("<td class=\"total\">3</td></tr>\n<tr><th>s02</th>"), std::string::npos);

    // A student's page gives each compile error under the line number the game's editor shows (from 0).
    EXPECT_NE(readFile("pages/s05.html").find(utf8(u8"<li>第0行：<code>不存在的指令：&quot;SUBI&quot;</code></li>")),
              std::string::npos) << readFile("pages/s05.html");
    EXPECT_NE(readFile("pages/s05.html").find(utf8(u8"<tr class=\"missing\" data-reason=\"not handed in\"><th>第2关</th><td>未交</td>")),
              std::string::npos);

    // Each level's completed programs: a histogram of sizes with the median marked.
    EXPECT_NE(html.find("<svg class=\"histogram\" data-level=\"6\" data-measure=\"instructions\" data-count=\"13\" "
                        "data-median=\"5\""),
              std::string::npos);

    // The same class in shards, merged in any order: the same lines, CSV and page.
    std::string shardFiles;
    for (const char* shard : {"2/3", "3/3", "1/3"}) {
        Outcome part = judge(GRADE + std::string(" --jobs 2 --shard ") + shard);
        EXPECT_EQ(part.status, 0);
        const std::string file = std::string("shard") + shard[0] + ".jsonl";
        writeFile(file, part.out);
        shardFiles += " " + file;
    }
    Outcome merged = judge("merge --csv merged.csv --html merged.html" + shardFiles);
    EXPECT_EQ(merged.status, 0) << merged.err;
    EXPECT_EQ(merged.out, one.out);
    EXPECT_EQ(readFile("merged.csv"), "\xEF\xBB\xBF" + expectedCsv);
    const auto undated = [](std::string page) {
        const std::size_t date = page.find("<span id=\"date\">");
        return page.erase(date, page.find("</span>", date) - date);
    };
    EXPECT_EQ(undated(readFile("merged.html")), undated(html));
    EXPECT_EQ(judge("merge shard1.jsonl shard3.jsonl").status, 2); // a shard missing
    EXPECT_EQ(judge("merge shard1.jsonl shard1.jsonl shard2.jsonl").status, 2);
    expectRefusedShards();

    // A range that starts above 1: every row, line and cell names the level it judged.
    Outcome part = judge("grade class --levels 2-6 --seed 3 --max-steps 20000 --jobs 2 --csv part.csv --html part.html");
    EXPECT_EQ(part.status, 0);
    std::string partCsv = "\xEF\xBB\xBFstudent,level,result,reason,passes,failed_run,first_mismatch,instructions,steps_mean,steps_max,inputs\n";
    std::istringstream wholeRows(expectedCsv);
    std::getline(wholeRows, line); // the header
    while (std::getline(wholeRows, line)) {
        const std::string level = line.substr(line.find(',') + 1);
        if (level.rfind("1,", 0) != 0) partCsv += line + "\n";
    }
    EXPECT_EQ(readFile("part.csv"), partCsv);
    std::istringstream partLines(part.out);
    while (std::getline(partLines, line)) {
        if (line.find("\"file\"") == std::string::npos) continue; // not handed in
        const std::size_t file = line.find(utf8(u8"关代码.txt"));
        ASSERT_NE(file, std::string::npos) << line;
        const std::string number = line.substr(line.rfind(utf8(u8"第"), file) + 3, 1);
        EXPECT_NE(line.find("\"level\":" + number + ","), std::string::npos) << line;
    }
    EXPECT_NE(readFile("part.html").find("<tr><th>s01</th><td class=\"completed\" data-level=\"2\" data-reason=\"completed\"><span"),
              std::string::npos);
    EXPECT_NE(readFile("part.html").find(utf8(u8"<td class=\"missing\" data-level=\"5\" data-reason=\"not handed in\"><span "
                                              u8"class=\"result\">未交</span></td><td class=\"completed\" data-level=\"6\"")),
              std::string::npos);

    for (const char* arguments : {"grade class --levels 0-3", "grade class --levels 3-2", "grade class --levels 1-31",
                                  "grade class --jobs 0", "grade class --bogus", "grade", "grade class --shard 0/3",
                                  "grade class --shard 4/3", "merge"}) {
        SCOPED_TRACE(arguments);
        Outcome bad = judge(arguments);
        EXPECT_EQ(bad.status, 2);
        EXPECT_NE(bad.err.find("usage:"), std::string::npos);
        EXPECT_NE(bad.err.find("[--level-file LEVEL.toml]... [--level-dir DIR]"), std::string::npos);
        EXPECT_NE(bad.err.find("[--gradebook FILE]"), std::string::npos);
    }
    EXPECT_EQ(judge("grade missing").status, 2);
}

namespace {
// Student -> whether the level was completed, from the verdict lines of
// `grade` or `merge`; a student with two lines is reported.
std::map<std::string, bool> completedByStudent(const std::string& out) {
    std::map<std::string, bool> verdicts;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const std::string key = "\"student\":\"";
        const std::size_t at = line.find(key);
        if (at == std::string::npos) continue;
        const std::size_t from = at + key.size();
        const std::string student = line.substr(from, line.find('"', from) - from);
        EXPECT_TRUE(verdicts.emplace(student, line.find("\"completed\":true") != std::string::npos).second)
            << student << " twice";
    }
    return verdicts;
}
} // namespace

// Classes whose size is no multiple of the shard count: every student is
// judged in exactly one shard (a shard may hold none), and the merged shards
// are the class a whole run grades.
TEST_F(JudgeCli, ShardsHoldEveryStudentExactlyOnce) {
    for (const auto& [students, shards] : {std::pair{5u, 2u}, std::pair{7u, 3u}, std::pair{1u, 4u}}) {
        SCOPED_TRACE(std::to_string(students) + " students in " + std::to_string(shards) + " shards");
        const std::string root = "class" + std::to_string(students);
        for (unsigned i = 1; i <= students; ++i) {
            const fs::path folder = fs::path(root) / ("s" + std::to_string(i));
            fs::create_directories(folder);
            writeFile((folder / utf8(u8"第1关代码.txt")).string(), i % 2 ? referenceSolution(1) : "hlt\n");
        }
        const std::string grade = "grade " + root + " --levels 1-1 --seed 3 --jobs 1";
        const std::map<std::string, bool> whole = completedByStudent(judge(grade).out);
        ASSERT_EQ(whole.size(), students);
        std::map<std::string, bool> joined;
        std::string files;
        for (unsigned k = 1; k <= shards; ++k) {
            const std::string shard = std::to_string(k) + "/" + std::to_string(shards);
            const Outcome part = judge(grade + " --shard " + shard);
            EXPECT_EQ(part.status, 0) << shard << part.err;
            for (const auto& [student, completed] : completedByStudent(part.out))
                EXPECT_TRUE(joined.emplace(student, completed).second) << student << " in two shards, again in " << shard;
            const std::string file = root + "-" + std::to_string(k) + ".jsonl";
            writeFile(file, part.out);
            files += " " + file;
        }
        EXPECT_EQ(joined, whole);
        const Outcome merged = judge("merge" + files);
        EXPECT_EQ(merged.status, 0) << merged.err;
        EXPECT_EQ(completedByStudent(merged.out), whole);
    }
}

// The page as a browser shows it: the table and the chart, and every cell
// saying what the CSV says.
TEST_F(JudgeCli, GradePageInABrowserMatchesTheCsv) {
    if (std::system("command -v chromium >/dev/null 2>&1") != 0) GTEST_SKIP() << "chromium is not installed";
    writeClass("class");
    ASSERT_EQ(judge(GRADE + std::string(" --jobs 2 --csv grade.csv --html grade.html")).status, 0);
    const std::string dump = "dom.html";
    const std::string command =
        "timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
        "--disable-background-networking --disable-component-update --disable-sync --user-data-dir=" +
        fs::absolute("profile").string() + " --dump-dom file://" + fs::absolute("grade.html").string() + " >" + dump +
        " 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string dom = readFile(dump);
    ASSERT_NE(dom.find("<table id=\"grades\">"), std::string::npos) << dom.substr(0, 500);
    ASSERT_NE(dom.find("<svg id=\"chart\""), std::string::npos);

    // Rows of the table as the browser built them: student -> "class|reason" per cell, and the total.
    // (Plain string search: <regex> does not build warning-free with the sanitizers on g++ 12.)
    std::map<std::string, std::vector<std::string>> table;
    std::map<std::string, std::string> totals;
    const std::size_t bodyStart = dom.find("<tbody>"), bodyEnd = dom.find("</tbody>");
    ASSERT_LT(bodyStart, bodyEnd);
    const std::string body = dom.substr(bodyStart, bodyEnd - bodyStart);
    const auto between = [](const std::string& text, std::size_t& at, const std::string& open, const std::string& close) {
        const std::size_t start = text.find(open, at) + open.size();
        const std::size_t end = text.find(close, start);
        at = end + close.size();
        return text.substr(start, end - start);
    };
    for (std::size_t at = body.find("<tr><th>"); at != std::string::npos; at = body.find("<tr><th>", at)) {
        const std::size_t rowEnd = body.find("</tr>", at);
        const std::string name = between(body, at, "<tr><th>", "</th>");
        auto& cells = table[name];
        while (body.find("<td class=\"", at) < rowEnd) {
            const std::string kind = between(body, at, "<td class=\"", "\"");
            if (kind == "total") {
                totals[name] = between(body, at, ">", "</td>");
                continue;
            }
            cells.push_back(kind + "|" + between(body, at, "data-reason=\"", "\""));
        }
    }
    ASSERT_EQ(table.size(), 30u);

    // Every CSV row has its cell, coloured by its result.
    const auto escape = [](const std::string& text) {
        std::string out;
        for (char c : text) out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : std::string(1, c);
        return out;
    };
    std::map<std::string, std::vector<std::string>> expected;
    std::map<std::string, int> expectedTotals;
    std::map<int, int> completions;
    std::istringstream csv(readFile("grade.csv"));
    std::string line;
    std::getline(csv, line);
    while (std::getline(csv, line)) {
        std::vector<std::string> field;
        std::stringstream fields(line);
        for (std::string f; std::getline(fields, f, ',');) field.push_back(f);
        field.resize(4);
        const int level = std::stoi(field[1]);
        const std::string kind = field[2] == "completed"           ? "completed"
                                 : field[2] == "failed"            ? "failed"
                                 : field[2] == "does not assemble" ? "unassembled"
                                                                   : "missing";
        auto& cells = expected[escape(field[0])];
        cells.resize(6);
        cells[level - 1] = kind + "|" + field[3];
        completions[level] += field[2] == "completed";
        expectedTotals[escape(field[0])] += field[2] == "completed";
    }
    for (const auto& [name, cells] : table) {
        SCOPED_TRACE(name);
        EXPECT_EQ(cells, expected[name]);
        EXPECT_EQ(totals[name], std::to_string(expectedTotals[name]));
    }
    for (int level = 1; level <= 6; ++level)
        EXPECT_NE(dom.find("data-level=\"" + std::to_string(level) + "\" data-count=\"" +
                           std::to_string(completions[level]) + "\"><text"),
                  std::string::npos)
            << level;
}

// Teachers' level files: the examples shipped in custom-levels and files at
// the edges of what a file can say (a fixed input, a single checked byte, two
// checked ranges), each with a second right program and a catalogue of
// plausible wrong ones, none of which may complete on any of the seeds; and
// broken files, refused with their line or key.
TEST_F(JudgeCli, LevelFilesCompleteRightProgramsOnlyAndRefuseBrokenFiles) {
    struct Program {
        const char* mistake; // empty: a right program
        const char* source;
    };
    struct Level {
        const char8_t* file;
        std::vector<Program> programs;
        std::string text = {}; // written to `file` here; empty: the file in custom-levels
    } levels[] = {
        // min = max: every run gives r1 exactly 5, so a constant answer is right.
        {u8"fixed.toml",
         {{"", "addi r2 r0 0a\nhlt\n"},
          {"", "add r2 r1 r1\nhlt\n"},
          {"the answer for r1 = 6", "addi r2 r0 0c\nhlt\n"},
          {"r1 itself", "add r2 r1 r0\nhlt\n"}},
         "title = \"fixed\"\npasses = 30\nreference = \"add r2 r1 r1\\nhlt\"\n[inputs]\nr1 = { min = 0x05, max = 0x05 }\n"
         "[check]\nregisters = [\"r2\"]\n"},
        // One checked address: it is compared, and only it.
        {u8"single.toml",
         {{"", "sub r4 r1 r2\nstore r4 r0 r0 0200\nstore r4 r0 r0 0201\nhlt\n"},
          {"writes nothing", "hlt\n"},
          {"opposite operands", "sub r3 r2 r1\nstore r3 r0 r0 0200\nhlt\n"},
          {"writes the next address", "sub r3 r1 r2\nstore r3 r0 r0 0201\nhlt\n"}},
         "title = \"one byte\"\nreference = \"sub r3 r1 r2\\nstore r3 r0 r0 0200\\nhlt\"\n"
         "[inputs]\nr1 = \"byte\"\nr2 = \"byte\"\n[check]\nmemory = [[0x200, 0x200]]\n"},
        // Two checked ranges: each against the reference's bytes at the same
        // addresses; the bytes between them are not compared.
        {u8"ranges.toml",
         {{"", "add r5 r2 r1\nstore r5 r0 r0 0300\nsub r5 r1 r2\nstore r5 r0 r0 0301\nstore r1 r0 r0 0200\n"
               "store r2 r0 r0 0201\nstore r1 r0 r0 0250\nstore r1 r0 r0 0202\nstore r1 r0 r0 02ff\nhlt\n"},
          {"opposite operands in the second range only",
           "store r1 r0 r0 0200\nstore r2 r0 r0 0201\nadd r3 r1 r2\nstore r3 r0 r0 0300\nsub r3 r2 r1\n"
           "store r3 r0 r0 0301\nhlt\n"},
          {"forgets the second range's first byte",
           "store r1 r0 r0 0200\nstore r2 r0 r0 0201\nsub r3 r1 r2\nstore r3 r0 r0 0301\nhlt\n"},
          {"the first range swapped",
           "store r2 r0 r0 0200\nstore r1 r0 r0 0201\nadd r3 r1 r2\nstore r3 r0 r0 0300\nsub r3 r1 r2\n"
           "store r3 r0 r0 0301\nhlt\n"},
          {"the second range written one byte late",
           "store r1 r0 r0 0200\nstore r2 r0 r0 0201\nadd r3 r1 r2\nstore r3 r0 r0 0301\nsub r3 r1 r2\n"
           "store r3 r0 r0 0302\nhlt\n"}},
         "title = \"two ranges\"\nreference = \"\"\"\nstore r1 r0 r0 0200\nstore r2 r0 r0 0201\nadd r3 r1 r2\n"
         "store r3 r0 r0 0300\nsub r3 r1 r2\nstore r3 r0 r0 0301\nhlt\n\"\"\"\n[inputs]\nr1 = \"byte\"\nr2 = \"byte\"\n"
         "[check]\nmemory = [[0x200, 0x201], [0x300, 0x301]]\n"},
        {u8"相等.toml",
         {{"", "sub r0 r2 r1\njne r0 r0 out\naddi r4 r0 1\nlabel out\nhlt\n"},
          {"jge: also sets r4 when r1 > r2", "sub r0 r1 r2\njge r0 r0 Y\nhlt\nlabel Y\naddi r4 r0 1\nhlt\n"},
          {"falls through into the equal branch", "sub r0 r1 r2\njeq r0 r0 Y\nlabel Y\naddi r4 r0 1\nhlt\n"},
          {"never equal: random runs rarely notice", "hlt\n"},
          {"no hlt after the equal branch", "sub r0 r1 r2\njeq r0 r0 Y\nhlt\nlabel Y\naddi r4 r0 1\n"},
          {"compares r1 with itself", "sub r0 r1 r1\njeq r0 r0 Y\nhlt\nlabel Y\naddi r4 r0 1\nhlt\n"}}},
        {u8"最大值.toml",
         {{"", "load r3 r0 r0 200\naddi r2 r0 7\nlabel n\nload r4 r0 r2 200\nsub r0 r3 r4\njge r0 r0 k\nadd r3 r4 r0\n"
               "label k\naddi r2 r2 ff\njne r0 r0 n\nhlt\n"},
          {"the loop stops one byte early", "addi r2 r0 0\naddi r3 r0 0\nlabel n\nload r4 r0 r2 200\nsub r0 r4 r3\n"
                                            "jlt r0 r0 k\nadd r3 r4 r0\nlabel k\naddi r2 r2 1\naddi r5 r2 f9\njne r0 r0 n\nhlt\n"},
          {"keeps the smallest", "addi r2 r0 0\naddi r3 r0 ff\nlabel n\nload r4 r0 r2 200\nsub r0 r4 r3\njgt r0 r0 k\n"
                                 "add r3 r4 r0\nlabel k\naddi r2 r2 1\naddi r5 r2 f8\njne r0 r0 n\nhlt\n"},
          {"starts from 1: wrong only when every byte is 0",
           "addi r2 r0 0\naddi r3 r0 1\nlabel n\nload r4 r0 r2 200\nsub r0 r4 r3\njlt r0 r0 k\nadd r3 r4 r0\nlabel k\n"
           "addi r2 r2 1\naddi r5 r2 f8\njne r0 r0 n\nhlt\n"},
          {"reads from 0x100", "addi r2 r0 0\naddi r3 r0 0\nlabel n\nload r4 r0 r2 100\nsub r0 r4 r3\njlt r0 r0 k\n"
                               "add r3 r4 r0\nlabel k\naddi r2 r2 1\naddi r5 r2 f8\njne r0 r0 n\nhlt\n"}}},
        {u8"数1.toml",
         {{"", "label n\nshri r3 r1 1\nandi r4 r1 1\nadd r2 r2 r4\nadd r1 r3 r0\njne r0 r0 n\nhlt\n"},
          {"looks at seven bits: random inputs never set bit 7",
           "addi r5 r0 7\nlabel n\nandi r3 r1 1\nadd r2 r2 r3\nshri r1 r1 1\naddi r5 r5 ff\njne r0 r0 n\nhlt\n"},
          {"starts counting at 1", "addi r2 r0 1\nlabel n\nandi r3 r1 1\nadd r2 r2 r3\nshri r1 r1 1\njne r0 r0 n\nhlt\n"},
          {"counts the zeros", "addi r5 r0 8\nlabel n\nandi r3 r1 1\nxori r3 r3 1\nadd r2 r2 r3\nshri r1 r1 1\n"
                               "addi r5 r5 ff\njne r0 r0 n\nhlt\n"}}},
    };
    for (const Level& level : levels) {
        std::string file = ASMQUEST_SOURCE_DIR + std::string("/custom-levels/") + utf8(level.file);
        if (!level.text.empty()) writeFile(file = utf8(level.file), level.text);
        Outcome checked = judge("check-level '" + file + "'");
        EXPECT_EQ(checked.status, 0) << checked.err;
        for (const Program& program : level.programs) {
            SCOPED_TRACE(utf8(level.file) + ": " + (*program.mistake ? program.mistake : "right"));
            writeFile("program.s", program.source);
            for (int seed = 1; seed <= 6; ++seed) {
                Outcome verdict = judge("level '" + file + "' program.s --seed " + std::to_string(seed));
                EXPECT_EQ(verdict.status, *program.mistake ? 1 : 0) << seed << verdict.out << verdict.err;
                EXPECT_NE(verdict.out.find("\"level\":\"" + utf8(level.file) + "\""), std::string::npos);
            }
        }
    }
    // Saved on Windows: a byte order mark and CR LF line ends.
    std::string windows = "\xEF\xBB\xBF";
    for (char c : readFile(ASMQUEST_SOURCE_DIR + std::string("/custom-levels/") + utf8(u8"相等.toml")))
        windows += c == '\n' ? std::string("\r\n") : std::string(1, c);
    writeFile("windows.toml", windows);
    writeFile("right.s", "sub r0 r1 r2\njeq r0 r0 Y\nhlt\nlabel Y\naddi r4 r0 1\nhlt\n");
    EXPECT_EQ(judge("check-level windows.toml").status, 0);
    EXPECT_EQ(judge("level windows.toml right.s --seed 1").status, 0);

    // A failed boundary run names itself; a completed level gives size and steps.
    writeFile("never.s", "hlt\n");
    EXPECT_NE(judge(std::string("level ") + ASMQUEST_SOURCE_DIR + "/custom-levels/" + utf8(u8"相等.toml") + " never.s --seed 2").out
                  .find(R"("failure":{"run":"boundary 1","reason":"wrong result","mismatches":[{"where":"R4","expected":"01","actual":"00"}],"inputs":"R1=37 R2=37"})"),
              std::string::npos);
    writeFile("count.s", "label n\nshri r3 r1 1\nandi r4 r1 1\nadd r2 r2 r4\nadd r1 r3 r0\njne r0 r0 n\nhlt\n");
    EXPECT_NE(judge(std::string("level ") + ASMQUEST_SOURCE_DIR + "/custom-levels/" + utf8(u8"数1.toml") + " count.s --seed 1").out
                  .find(R"("passes":103,"completed":true,"size":{"instructions":6,"bytes":24},)"),
              std::string::npos);

    // Broken files: exit 2, every problem on standard error with its line or key.
    const std::string head = "title = \"t\"\nreference = \"hlt\"\n";
    struct Broken {
        std::string text;
        std::vector<std::string> errors;
    } broken[] = {
        // Chinese first, then file:line:column and the reader's own words.
        {"title = \"t\n", {utf8(u8"关卡文件的TOML写法有误，请看这一行这一列：bad.toml:1:")}},
        // Saved as GBK by Notepad: the first byte that is not UTF-8 located.
        {"title = \"\xCF\xE0\xB5\xC8\"\nreference = \"hlt\"\n[check]\nregisters = [\"r4\"]\n",
         {utf8(u8"bad.toml:1:10: 请把关卡文件存成UTF-8")}},
        // A tab in the reference: the assembler's message, then the line with the tab shown.
        {"title = \"t\"\nreference = \"addi\tr4 r0 1\\nhlt\"\n[check]\nregisters = [\"r4\"]\n",
         {utf8(u8"reference line 1: "), utf8(u8"这一行是“addi→r4 r0 1”（→是制表符")}},
        // Input over the program: said as such, not "halted without hlt".
        {"title = \"t\"\nreference = \"addi r4 r0 1\\nhlt\"\n[[inputs.memory]]\naddress = 4\ncount = 8\nbytes = \"byte\"\n"
         "[check]\nregisters = [\"r4\"]\n",
         {utf8(u8"bad.toml: inputs.memory的输入块0x0004-0x000B与参考程序（0x0000-0x0007）重叠")}},
        {head + "passess = 3\n[check]\nregisters = [\"r4\"]\n", {utf8(u8"关卡文件有误：bad.toml:3:11: passess: unknown key")}},
        {head + "[inputs]\nr2 = { min = 5, max = 3 }\nr0 = \"byte\"\nr3 = \"word\"\n[check]\nregisters = [\"r4\"]\n",
         {"bad.toml:4:6: inputs.r2: min is greater than max", "bad.toml:5:6: inputs.r0: unknown key",
          "bad.toml:6:6: inputs.r3: expected \"byte\""}},
        {head + "[[inputs.memory]]\naddress = 0xFFFE\ncount = 4\nbytes = \"byte\"\n[check]\nregisters = [\"r4\"]\n",
         {"inputs.memory[0].count: the block runs past address 0xFFFF"}},
        {head + "[[boundary]]\nr1 = 0x100\n[check]\nregisters = [\"r4\"]\nmemory = [[0x207, 0x200]]\n",
         {"boundary[0].r1: expected an integer from 0 to 255", "check.memory[0]: first is greater than last"}},
        // One past the edge: min = max and first = last are fine, one more is not.
        {head + "[inputs]\nr1 = { min = 6, max = 5 }\n[check]\nmemory = [[0x200, 0x201], [0x201, 0x200]]\n",
         {"inputs.r1: min is greater than max", "check.memory[1]: first is greater than last"}},
        {"title = \"t\"\n[check]\nregisters = [\"r4\"]\n", {"reference: missing"}},
        {head, {"check: missing"}},
        {head + "[check]\nregisters = []\n", {"check: compares nothing"}},
        {"title = \"t\"\nreference = \"bogus r1\"\n[check]\nregisters = [\"r4\"]\n", {"reference line 1: "}},
        {"title = \"t\"\nmax_steps = 100\nreference = \"label l\\njmp r0 r0 l\"\n[check]\nregisters = [\"r4\"]\n",
         {"reference: the reference did not halt within 100 steps on a random run"}},
        {"title = \"t\"\nreference = \"addi r4 r0 1\"\n[check]\nregisters = [\"r4\"]\n",
         {"reference: the reference halted without hlt on a random run"}},
    };
    for (const Broken& b : broken) {
        SCOPED_TRACE(b.text);
        writeFile("bad.toml", b.text);
        for (const char* command : {"check-level bad.toml", "level bad.toml never.s", "grade . --level-file bad.toml"}) {
            Outcome refused = judge(command);
            EXPECT_EQ(refused.status, 2) << command;
            EXPECT_EQ(refused.out, "") << command;
            for (const std::string& error : b.errors) EXPECT_NE(refused.err.find(error), std::string::npos) << refused.err;
        }
    }
    // A reference the assembler reads differently from its writer: usable, with the game's warning shown.
    writeFile("warned.toml", "title = \"t\"\nreference = \"addi r4 r0 1 2\\nhlt\"\n[check]\nregisters = [\"r4\"]\n");
    const Outcome warned = judge("check-level warned.toml");
    EXPECT_EQ(warned.status, 0);
    EXPECT_NE(warned.err.find(utf8(u8"warned.toml: reference line 1：警告：")), std::string::npos) << warned.err;
    // Inputs at 0x10 miss the two-instruction reference but land in a longer
    // student program: its halt without hlt is said to be the level's doing.
    writeFile("over.toml", "title = \"t\"\nreference = \"addi r4 r0 1\\nhlt\"\n[[inputs.memory]]\naddress = 0x10\ncount = 4\n"
                           "bytes = \"byte\"\n[check]\nregisters = [\"r4\"]\n");
    writeFile("long.s", "addi r4 r0 0\naddi r4 r0 0\naddi r4 r0 0\naddi r4 r0 0\naddi r4 r0 0\naddi r4 r0 1\nhlt\n");
    EXPECT_NE(judge("level over.toml long.s --seed 1").out.find(
                  utf8(u8R"("overlap":"over.toml: inputs.memory的输入块0x0010-0x0013与程序（0x0000-0x001B）重叠)")),
              std::string::npos);
}

// A class graded on built-in levels and level files in one run: the code
// files named after each level file, found at any depth; the level column the
// file's name, the page and the grade book its title; a row for everyone.
TEST_F(JudgeCli, GradeWithLevelFiles) {
    const std::string levels = ASMQUEST_SOURCE_DIR + std::string("/custom-levels/");
    const std::string equal = levels + utf8(u8"相等.toml");
    const std::string code = utf8(u8"相等代码.txt");
    fs::create_directories("class/a/levels");
    fs::create_directories(utf8(u8"class/b/汇编闯关/levels"));
    fs::create_directories("class/c");
    writeFile("class/a/levels/" + code, "sub r0 r1 r2\njeq r0 r0 Y\nhlt\nlabel Y\naddi r4 r0 1\nhlt\n");
    writeFile(utf8(u8"class/a/levels/第1关代码.txt"), "add r3 r1 r2\nhlt\n");
    writeFile(utf8(u8"class/a/第1关代码.txt"), "hlt\n"); // a second copy: the one in levels/ counts
    writeFile(utf8(u8"class/b/汇编闯关/levels/") + code, "hlt\n"); // one folder deeper
    writeFile(utf8(u8"class/b/汇编闯关/levels/第1关代码.txt"), "add r3 r1 r2\n");
    // Seen but not usable: named, not passed over.
    writeFile(utf8(u8"class/c/第01关代码.txt"), "add r3 r1 r2\nhlt\n");
    writeFile(utf8(u8"class/c/第1关代码.TXT"), "add r3 r1 r2\nhlt\n");
    Outcome graded = judge("grade class --levels 1-1 --level-file '" + equal + "' --level-file '" + levels +
                           utf8(u8"数1.toml") + "' --seed 2 --jobs 2 --csv class.csv --gradebook book.csv "
                           "--html class.html --feedback pages");
    EXPECT_EQ(graded.status, 0) << graded.err;
    EXPECT_EQ(readFile("class.csv"),
              "\xEF\xBB\xBF" + utf8(u8"student,level,result,reason,passes,failed_run,first_mismatch,instructions,steps_mean,steps_max,inputs\n"
                   u8"a,1,completed,completed,257,,,2,2.0,2,\n"
                   u8"a,相等.toml,completed,completed,259,,,5,3.0,4,\n"
                   u8"a,数1.toml,not handed in,not handed in,0,,,,,,\n"
                   u8"b,1,failed,halted without hlt,0,1,,,,,R1=FA R2=7F\n"
                   u8"b,相等.toml,failed,wrong result,257,boundary 1,R4 expected 01 actual 00,,,,R1=37 R2=37\n"
                   u8"b,数1.toml,not handed in,not handed in,0,,,,,,\n"
                   u8"c,1,not handed in,not handed in,0,,,,,,\n"
                   u8"c,相等.toml,not handed in,not handed in,0,,,,,,\n"
                   u8"c,数1.toml,not handed in,not handed in,0,,,,,,\n"));
    EXPECT_EQ(readFile("book.csv"), "\xEF\xBB\xBF" + utf8(u8"Student,ID,SIS User ID,SIS Login ID,Section,第1关,相等,数1,Final Points\n"
                                                       u8"a,,a,a,,1,1,0,2\nb,,b,b,,0,0,0,0\nc,,c,c,,0,0,0,0\n"));
    EXPECT_NE(graded.err.find(utf8(u8"c/第01关代码.txt：文件名应为第1关代码.txt，本文件未评分")), std::string::npos) << graded.err;
    EXPECT_NE(graded.err.find(utf8(u8"c/第1关代码.TXT：文件名应为第1关代码.txt，本文件未评分")), std::string::npos);
    EXPECT_NE(graded.err.find(utf8(u8"a/第1关代码.txt：另有levels/第1关代码.txt，本文件未评分")), std::string::npos);
    const std::string page = readFile("class.html");
    EXPECT_NE(page.find(utf8(u8"<th>学生</th><th>第1关</th><th>相等</th><th>数1</th><th>完成数</th>")), std::string::npos);
    // The student's own page: the failing run, its inputs, expected and actual, in Chinese.
    const std::string b = readFile("pages/b.html");
    EXPECT_NE(b.find(utf8(u8"<li>边界检验1未通过：结果错误</li><li>本次输入：R1=37 R2=37</li><li>R4：应为01，实际为00</li>")),
              std::string::npos) << b;
    EXPECT_NE(readFile("pages/c.html").find(utf8(u8"<li>第1关代码.TXT：文件名应为第1关代码.txt，本文件未评分</li>")),
              std::string::npos);

    // The same run in shards merges to the same reports.
    std::string shards;
    for (const char* shard : {"1/2", "2/2"}) {
        Outcome part = judge("grade class --levels 1-1 --level-file '" + equal + "' --level-file '" + levels +
                             utf8(u8"数1.toml") + "' --seed 2 --shard " + shard);
        const std::string file = std::string("part") + shard[0] + ".jsonl";
        writeFile(file, part.out);
        shards += " " + file;
    }
    Outcome merged = judge("merge --csv merged.csv --gradebook merged-book.csv --feedback merged-pages" + shards);
    EXPECT_EQ(merged.status, 0) << merged.err;
    EXPECT_EQ(merged.out, graded.out);
    const auto undated = [](std::string page) {
        const std::size_t date = page.find(utf8(u8"；日期 "));
        return page.erase(date, page.find("</p>", date) - date);
    };
    for (const char* student : {"a.html", "b.html", "c.html"})
        EXPECT_EQ(undated(readFile(std::string("merged-pages/") + student)), undated(readFile(std::string("pages/") + student)));
    EXPECT_EQ(readFile("merged.csv"), readFile("class.csv"));
    EXPECT_EQ(readFile("merged-book.csv"), readFile("book.csv"));

    // --level-dir takes every level file in a folder, hidden ones left out with a word.
    fs::create_directories("levels");
    fs::copy_file(equal, utf8(u8"levels/相等.toml"));
    writeFile(utf8(u8"levels/._相等.toml"), "\x00\x05\x16\x07");
    Outcome dir = judge("grade class --level-dir levels --seed 2 --csv dir.csv");
    EXPECT_EQ(dir.status, 0) << dir.err;
    EXPECT_NE(dir.err.find("a hidden file, not graded"), std::string::npos);
    EXPECT_NE(readFile("dir.csv").find(utf8(u8"a,相等.toml,completed")), std::string::npos);

    // A report that cannot be written stops the run before any grading.
    fs::create_directories("locked.csv");
    for (const char* option : {"--csv", "--html", "--gradebook"}) {
        Outcome refused = judge("grade class --level-file '" + equal + "' " + option + " locked.csv");
        EXPECT_EQ(refused.status, 2);
        EXPECT_EQ(refused.out, "");
        EXPECT_NE(refused.err.find("nothing graded"), std::string::npos) << refused.err;
    }
}

// The texts a teacher prints, read from the judge as a teacher gets them.
// Example code in them (indented lines starting with a lower-case mnemonic,
// optionally after a 4-digit address) must still assemble, and every syntax
// line of the manual ("ADD Rd Rs Rt") must name a row of the instruction
// table, each row the manual lists appearing once.
namespace {
std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

const InstructionInfo* rowNamed(const std::string& name) {
    std::string upper = name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const InstructionInfo& row : instructionTable())
        if (row.mnemonic == upper) return &row;
    return nullptr;
}

bool isHex4(const std::string& token) {
    return token.size() == 4 && token.find_first_not_of("0123456789ABCDEF") == std::string::npos;
}

std::vector<std::string> tokensOf(const std::string& line) {
    std::vector<std::string> tokens;
    std::istringstream in(line);
    for (std::string token; in >> token;) tokens.push_back(token);
    return tokens;
}

// The example lines of a text, addresses removed, as one program.
std::string exampleCode(const std::string& text) {
    std::string code;
    for (const std::string& line : linesOf(text)) {
        if (line.empty() || line[0] != ' ') continue;
        std::size_t start = line.find_first_not_of(' ');
        const std::vector<std::string> tokens = tokensOf(line);
        if (tokens.empty()) continue;
        std::size_t first = 0;
        if (isHex4(tokens[0]) && tokens.size() > 1) {
            first = 1;
            start = line.find(tokens[1], start + 4);
        }
        const std::string& mnemonic = tokens[first];
        if (mnemonic.find_first_not_of("abcdefghijklmnopqrstuvwxyz") != std::string::npos || !rowNamed(mnemonic))
            continue;
        code += line.substr(start) + "\n";
    }
    return code;
}

// "ADD Rd Rs Rt": the mnemonic of a syntax line, or empty.
std::string syntaxMnemonic(const std::string& line) {
    const std::vector<std::string> tokens = tokensOf(line);
    if (tokens.size() < 2 || tokens[0].size() < 2 || tokens[0].size() > 6 ||
        tokens[0].find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ") != std::string::npos)
        return {};
    for (std::size_t i = 1; i < tokens.size(); ++i) {
        const std::string& t = tokens[i];
        const bool operand = t == "Rd" || t == "Rs" || t == "Rt" || t.rfind("Imm", 0) == 0 || t.rfind("Addr", 0) == 0 ||
                             t.rfind("ADDR", 0) == 0;
        if (!operand || t.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789") !=
                            std::string::npos)
            return {};
    }
    return tokens[0];
}
} // namespace

TEST_F(JudgeCli, PrintedTextsAreCleanUtf8AndTheirCodeAssembles) {
    std::size_t examples = 0;
    for (int level = 1; level <= 30; ++level) {
        SCOPED_TRACE(level);
        Outcome text = judge("describe " + std::to_string(level));
        ASSERT_EQ(text.status, 0);
        ASSERT_FALSE(text.out.empty());
        EXPECT_EQ(text.out.find(" \n"), std::string::npos) << "padding left in";
        EXPECT_EQ(text.out.find("\xEF\xBF\xBD"), std::string::npos) << "a character GBK could not hold";
        const std::string code = exampleCode(text.out);
        if (code.empty()) continue;
        ++examples;
        writeFile("example.s", code);
        Outcome assembled = judge("asm example.s");
        EXPECT_EQ(assembled.status, 0) << code << assembled.out;
    }
    EXPECT_GE(examples, 15u);
    EXPECT_NE(judge("describe 22").out.find("FC00"), std::string::npos);

    Outcome manual = judge("manual");
    ASSERT_EQ(manual.status, 0);
    EXPECT_EQ(manual.out.find("\xEF\xBF\xBD"), std::string::npos);
    // An outline: headings deeper in the tree are indented further.
    EXPECT_NE(manual.out.find(utf8(u8"\n  指令集\n")), std::string::npos);
    const std::string code = exampleCode(manual.out);
    if (!code.empty()) {
        writeFile("manual.s", code);
        Outcome assembled = judge("asm manual.s");
        EXPECT_EQ(assembled.status, 0) << code << assembled.out;
    }
    std::map<std::string, int> named;
    for (const std::string& line : linesOf(manual.out)) {
        const std::string mnemonic = syntaxMnemonic(line);
        if (mnemonic.empty()) continue;
        const InstructionInfo* row = rowNamed(mnemonic);
        ASSERT_NE(row, nullptr) << "the manual names an instruction the CPU lacks: " << line;
        EXPECT_TRUE(row->listedInManual) << line;
        ++named[mnemonic];
    }
    for (const InstructionInfo& row : instructionTable()) {
        if (!row.listedInManual || row.operandCount == 0) continue;
        EXPECT_EQ(named[std::string(row.mnemonic)], 1) << row.mnemonic;
        // A row the assembler refuses (SUBI) must be refused by the judge too.
        writeFile("one.s", std::string(row.mnemonic) + " r1 r1 r1 1\nhlt\n");
        const bool unknown = judge("asm one.s").out.find(utf8(u8"不存在的指令")) != std::string::npos;
        EXPECT_EQ(unknown, !row.assembles) << row.mnemonic;
    }
}
